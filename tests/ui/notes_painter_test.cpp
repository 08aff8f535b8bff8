// The notes painter's geometry: where a note, a bar and a syllable fall for a playhead or a sheet,
// on songs with a pickup, a split bar and a key change; the pitch range fitted to a voice.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QRegularExpression>
#include <QSvgGenerator>

#include "tests/support/memory_file.h"
#include "tests/support/midi_image.h"
#include "ui/notes_painter.h"

namespace quirelle::testing {
namespace {

TrackData& TimeSignature(TrackData& track, std::uint32_t delta, std::uint8_t numerator,
                         std::uint8_t power) {
  return track.Meta(delta, 0x58, {numerator, power, 24, 8});
}

// Notes of (key, ticks) one after the other on `channel`, each with a syllable when given.
TrackData Line(std::uint8_t channel, std::vector<std::pair<std::uint8_t, std::uint32_t>> notes,
               std::vector<std::string> syllables = {}) {
  TrackData track;
  for (std::size_t i = 0; i < notes.size(); ++i) {
    if (i < syllables.size()) {
      track.Text(0, 0x05, syllables[i]);
    }
    track.Event(0, {static_cast<std::uint8_t>(0x90 | channel), notes[i].first, 80})
        .Event(notes[i].second, {static_cast<std::uint8_t>(0x80 | channel), notes[i].first, 0});
  }
  return track.End();
}

// A MuseScore pickup (1/4, then 4/4): bar 0 at 0, bar 1 at 480, bar 2 at 2400.
Bytes PickupSong() {
  TrackData metre;
  TimeSignature(metre, 0, 1, 2);
  TimeSignature(metre, 480, 4, 2).End();
  return MidiImage(1, 480,
                   {metre, Line(0, {{60, 480}, {64, 960}, {67, 960}}, {"A", "ve", "Ma"}),
                    Line(1, {{57, 2880}})});
}

// A bar split at a repeat sign (3/4 + 1/4) counts once: bar 1 at 0, 2 at 1920, 3 at 3840.
Bytes SplitBarSong() {
  TrackData metre;
  TimeSignature(metre, 0, 4, 2);
  TimeSignature(metre, 1920, 3, 2);
  TimeSignature(metre, 1440, 1, 2);
  TimeSignature(metre, 480, 4, 2).End();
  return MidiImage(1, 480, {metre, Line(0, {{72, 5760}})});
}

struct Loaded {
  smf::MidiFile file;
  explicit Loaded(const Bytes& song) {
    MemoryFile memory(song);
    EXPECT_EQ(file.LoadFromFile(memory), 1);
  }
};

struct GeometryCase {
  const char* name;
  Bytes (*song)();
  int transpose;
  std::size_t followed;
  ui::KeyRange range;
  std::vector<std::pair<std::uint32_t, std::int32_t>> bars;  // a tick and the bar it is in
};

TEST(NotesPainter, NotesBarsAndRangeFallWhereTheSongPutsThem) {
  const GeometryCase cases[] = {
      {"pickup", PickupSong, 0, 0, {58, 70}, {{0, 0}, {479, 0}, {480, 1}, {2399, 1}, {2400, 2}}},
      {"pickup up a tone", PickupSong, 2, 0, {60, 72}, {{480, 1}}},
      {"lower voice followed", PickupSong, 0, 1, {51, 63}, {{2400, 2}}},
      {"split bar", SplitBarSong, -12, 0, {54, 66}, {{1919, 1}, {1920, 2}, {3400, 2}, {3840, 3}}},
  };
  for (const GeometryCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Loaded song(c.song());
    ui::SceneChoice choice;
    choice.followed = c.followed;
    choice.transpose = c.transpose;
    const ui::NotesScene scene = ui::MakeScene(song.file, choice);
    EXPECT_EQ(scene.range, c.range);
    const std::uint32_t playhead = 960;
    const auto view = ui::NotesPainter::Following(scene, QSizeF(800, 400), playhead, 1.0);
    const QRectF plot = view.Plot();
    EXPECT_DOUBLE_EQ(view.XOf(playhead), plot.left() + plot.width() / 4);
    EXPECT_DOUBLE_EQ(view.XOf(playhead + 4.0 * scene.barTicks), plot.right());  // 4 bars ahead
    EXPECT_DOUBLE_EQ(view.YOf(c.range.high), plot.top());
    EXPECT_DOUBLE_EQ(view.YOf(c.range.low) + view.RowHeight(), plot.bottom());
    for (const smf::WrittenNote& note : song.file.voiceNotes()[c.followed].notes()) {
      const QRectF rect = view.NoteRect(note);
      EXPECT_DOUBLE_EQ(rect.left(), view.XOf(note.start));
      EXPECT_DOUBLE_EQ(rect.right(), view.XOf(note.end));
      EXPECT_DOUBLE_EQ(rect.top(), view.YOf(note.key + c.transpose));
    }
    for (const auto& [tick, bar] : c.bars) {
      ASSERT_TRUE(view.BarAt(view.XOf(tick) + 0.01)) << tick;
      EXPECT_EQ(view.BarAt(view.XOf(tick) + 0.01)->number, bar) << tick;
    }
  }
}

// On a sheet each syllable stands where its note begins, and the bar numbers where their bars do.
TEST(NotesPainter, SheetWritesTheWordsUnderTheirNotesAndTheNumbersAtTheBars) {
  const Loaded song(PickupSong());
  ui::SceneChoice choice;
  choice.words = smf::WordsOnChannel(song.file.words(), song.file.voiceMap(), 0);
  const ui::NotesScene scene = ui::MakeScene(song.file, choice);
  const auto sheet = ui::NotesPainter::Sheet(scene, QSizeF(600, 300), 0, 2400);
  QBuffer svg;
  QSvgGenerator generator;
  generator.setOutputDevice(&svg);
  generator.setSize(QSize(600, 300));
  QPainter painter(&generator);
  sheet.Paint(painter);
  painter.end();
  QStringList texts;
  std::vector<double> xs;
  static const QRegularExpression kText(R"re(<text[^>]*\sx="([-0-9.]+)"[^>]*>([^<]*)</text>)re");
  for (auto m = kText.globalMatch(QString::fromUtf8(svg.data())); m.hasNext();) {
    const auto match = m.next();
    texts << match.captured(2).trimmed();
    xs.push_back(match.captured(1).toDouble());
  }
  ASSERT_EQ(texts.mid(0, 5), (QStringList{"0", "1", "A", "ve", "Ma"}));
  const auto& notes = song.file.voiceNotes()[0].notes();
  EXPECT_NEAR(xs[0], sheet.XOf(0) + 3, 0.5);
  EXPECT_NEAR(xs[1], sheet.XOf(480) + 3, 0.5);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(xs[2 + i], sheet.NoteRect(notes[i]).left(), 0.5) << i;
  }
}

}  // namespace
}  // namespace quirelle::testing
