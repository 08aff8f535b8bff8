// The practice rows (a passage of bars, looped or counted in; the key, the voices muted or
// soloed), what the window remembers of each song, the recent files on Open's context menu, and
// the words line following a passage.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QTest>
#include <filesystem>
#include <functional>

#include "tests/ui/player_dlg_fixture.h"

namespace quirelle::testing {
namespace {

using player::Passage;

constexpr ButtonStates kOnlyOpen{true, false, false, false, false};
constexpr ButtonStates kLoaded{false, false, true, false, false};
constexpr int kPracticeRow[] = {res::kIdcFromBar, res::kIdcToBar, res::kIdcLoop, res::kIdcCountIn};

// Five bars of 4/4 at 84 beats a minute: 2.86 s a bar.
std::string Hymn() {
  return std::string(QUIRELLE_CORPUS_DIR) + "/abc2midi/satb1_old_hundredth.mid";
}

TEST_F(PlayerDlgTest, BarFieldsTakeTheSongsBarsAndPlayStartsAtFromBar) {
  for (int id : kPracticeRow) {
    EXPECT_FALSE(dialog->GetDlgItem(id)->isEnabled()) << id;
  }
  OpenFile(Hymn());
  for (int id : kPracticeRow) {
    EXPECT_TRUE(dialog->GetDlgItem(id)->isEnabled()) << id;
  }
  for (int id : {res::kIdcFromBar, res::kIdcToBar}) {
    EXPECT_EQ(Spin(id)->GetRangeMax(), 5) << "the hymn's last bar";
  }
  struct Step {
    int field;
    const char* typed;
    const char* from;
    const char* to;
  };
  // An empty field is the song's start or end; a start past the end takes the end along, and
  // an end before the start the start.
  const Step steps[] = {{res::kIdcToBar, "3", "Start", "3"},  {res::kIdcFromBar, "4", "4", "4"},
                        {res::kIdcToBar, "2", "2", "2"},      {res::kIdcFromBar, "", "Start", "2"},
                        {res::kIdcToBar, "", "Start", "End"}, {res::kIdcToBar, "3", "Start", "3"},
                        {res::kIdcFromBar, "2", "2", "3"}};
  for (const Step& step : steps) {
    EnterBar(step.field, QString::fromLatin1(step.typed));
    EXPECT_EQ(Spin(res::kIdcFromBar)->text(), step.from) << step.typed;
    EXPECT_EQ(Spin(res::kIdcToBar)->text(), step.to) << step.typed;
  }
  // Loaded again at once, ready to play from bar 2.
  const smf::MidiFile& file = dialog->engine().file();
  EXPECT_EQ(dialog->engine().passage(), (Passage{*file.BarStartTick(2), *file.BarStartTick(4)}));
  EXPECT_EQ(Buttons(), kLoaded);
  Click(res::kIdcPlay);
  PlayFor(1'500'000);
  EXPECT_EQ(Text(res::kIdcPosition), "Bar:2 ");
  Click(res::kIdcStop);
  for (int id : kPracticeRow) {
    EXPECT_FALSE(dialog->GetDlgItem(id)->isEnabled()) << "no song after Stop";
  }
  EXPECT_EQ(Spin(res::kIdcFromBar)->text(), "Start");
  Deliver();
  // A song timed in frames has no bars to choose or count in; it still loops.
  OpenFile(std::string(QUIRELLE_CORPUS_DIR) + "/openjdk-tests/MidiSMPTE_bug4291250.mid");
  EXPECT_EQ(Buttons(), kLoaded);
  const bool enabled[] = {false, false, true, false};
  for (std::size_t i = 0; i < std::size(kPracticeRow); ++i) {
    EXPECT_EQ(dialog->GetDlgItem(kPracticeRow[i])->isEnabled(), enabled[i]) << kPracticeRow[i];
  }
}

TEST_F(PlayerDlgTest, LoopPlaysBarsTwoToThreeOverAndOver) {
  OpenFile(Hymn());
  EnterBar(res::kIdcFromBar, QStringLiteral("2"));
  EnterBar(res::kIdcToBar, QStringLiteral("3"));
  Click(res::kIdcLoop);
  EXPECT_TRUE(Checked(res::kIdcLoop));
  EXPECT_EQ(dialog->engine().passage().plays, Passage::kForever);
  std::vector<std::string> shown{Text(res::kIdcPosition).toStdString()};  // each new text
  Click(res::kIdcPlay);
  for (int step = 0; step < 550; ++step) {  // 11 s: the two bars twice, at 2.86 s a bar
    PlayFor(20'000);
    if (shown.back() != Text(res::kIdcPosition).toStdString()) {
      shown.push_back(Text(res::kIdcPosition).toStdString());
    }
  }
  const std::vector<std::string> twice{"0", "Bar:2 ", "Bar:3 ", "Bar:2 ", "Bar:3 "};
  EXPECT_EQ(shown, twice);
  EXPECT_TRUE(dialog->engine().playing()) << "a loop plays until stopped";
  Click(res::kIdcStop);
  Deliver();
}

TEST_F(PlayerDlgTest, EachSongComesBackAsItWasLeft) {
  OpenFile(songPath);
  EnterBar(res::kIdcFromBar, QStringLiteral("3"));
  EnterBar(res::kIdcToBar, QStringLiteral("6"));
  Click(res::kIdcLoop);
  Click(res::kIdcCountIn);
  Click(res::kIdcPlay);
  Key(res::kIdcTempo, Qt::Key_PageDown, true);
  Key(res::kIdcTempo, Qt::Key_PageDown, false);
  Key(res::kIdcVolume2, Qt::Key_PageUp, true);
  Key(res::kIdcVolume2, Qt::Key_PageUp, false);
  const int tempo = dialog->tempo();
  ASSERT_NE(tempo, 100);
  ASSERT_EQ(dialog->volumes()[1], 80);

  Drop(WriteTempFile(RehearsalSong(4), "other.mid"));  // another song: the defaults
  EXPECT_EQ(Spin(res::kIdcFromBar)->text(), "Start");
  EXPECT_EQ(Spin(res::kIdcToBar)->text(), "End");
  EXPECT_FALSE(Checked(res::kIdcLoop));
  EXPECT_FALSE(Checked(res::kIdcCountIn));
  EXPECT_EQ(dialog->tempo(), 100);
  EXPECT_EQ(dialog->volumes()[1], 100);

  StartWith(songPath);  // the next run
  EXPECT_EQ(Spin(res::kIdcFromBar)->text(), "3");
  EXPECT_EQ(Spin(res::kIdcToBar)->text(), "6");
  EXPECT_TRUE(Checked(res::kIdcLoop));
  EXPECT_TRUE(Checked(res::kIdcCountIn));
  EXPECT_EQ(dialog->tempo(), tempo);
  EXPECT_EQ(Slider(res::kIdcTempo)->GetPos(), tempo);
  EXPECT_EQ(dialog->volumes()[1], 80);
  EXPECT_EQ(Slider(res::kIdcVolume2)->GetPos(), 80);
  EXPECT_EQ(dialog->engine().tempoPercent(), static_cast<std::uint32_t>(tempo));
  const smf::MidiFile& file = dialog->engine().file();
  EXPECT_EQ(dialog->engine().passage(),
            (Passage{*file.BarStartTick(3), *file.BarStartTick(7), Passage::kForever, true}));
}

// A chorale exported by music21, which writes no trace of its one-beat pickup (0.5 s here): the
// pickup given shows as bar 0, then bar 1 follows, and the song comes back with it. MuseScore's
// export of the same chorale writes its pickup, so none is given there.
TEST_F(PlayerDlgTest, PickupGivenIsBarZeroAndComesBackWithTheSong) {
  const std::string exports = std::string(QUIRELLE_CORPUS_DIR) + "/choir-exports/";
  const std::string music21 = exports + "music21/bach_bwv256.mid";
  OpenFile(music21);
  EXPECT_EQ(Spin(res::kIdcPickup)->GetRangeMax(), 3) << "up to a beat less than a 4/4 bar";
  EXPECT_EQ(Text(res::kIdcPickupUnit), "quarters before bar 1, where the file has none");
  EnterBar(res::kIdcPickup, QStringLiteral("1"));
  Click(res::kIdcPlay);
  PlayFor(250'000);
  EXPECT_EQ(Text(res::kIdcPosition), "Bar:0 ");
  PlayFor(500'000);
  EXPECT_EQ(Text(res::kIdcPosition), "Bar:1 ");
  Click(res::kIdcStop);
  Deliver();
  EXPECT_EQ(Text(res::kIdcPickupUnit), "beats before bar 1, where the file has none");

  OpenFile(exports + "musescore3/bach_bwv256.mid");
  EXPECT_FALSE(Spin(res::kIdcPickup)->isEnabled()) << "the file writes its own";
  Click(res::kIdcPlay);
  PlayFor(250'000);
  EXPECT_EQ(Text(res::kIdcPosition), "Bar:0 ");
  Click(res::kIdcStop);
  Deliver();

  StartWith(music21);
  EXPECT_EQ(Spin(res::kIdcPickup)->text(), "1");
  EXPECT_EQ(dialog->engine().file().BarStartTick(1), 10080u);
}

// A madrigal in five parts: a fifth row under the controls, its M box silencing exactly its
// channel, and the box back when the song is opened again.
TEST_F(PlayerDlgTest, AFifthVoiceHasARowOfItsOwn) {
  std::vector<TrackData> tracks(1);
  tracks[0].Tempo(0, 500000).End(1920);
  const char* names[] = {"Canto", "Quinto", "Alto", "Tenore", "Basso"};
  for (std::uint8_t voice = 0; voice < 5; ++voice) {
    TrackData track;
    track.Text(0, 0x03, names[voice])
        .Event(0, {static_cast<std::uint8_t>(0x90 | voice), 60, 100})
        .Event(1920, {static_cast<std::uint8_t>(0x80 | voice), 60, 0})
        .End();
    tracks.push_back(track);
  }
  const std::string path = WriteTempFile(MidiImage(1, 480, tracks), "madrigal.mid");
  OpenFile(path);
  auto* rows = dialog->findChild<ui::VoiceRows*>();
  ASSERT_NE(rows, nullptr);
  ASSERT_EQ(rows->rowCount(), 1);
  EXPECT_TRUE(rows->isVisible());
  EXPECT_EQ(rows->nameLabel(0)->text(), "Basso");
  EXPECT_EQ(rows->muteBox(0)->accessibleName(), "Mute Basso");
  EXPECT_GE(rows->geometry().top(), dialog->GetDlgItem(res::kIdcMute1 + 3)->geometry().bottom());
  rows->muteBox(0)->click();
  Click(res::kIdcPlay);
  PlayFor(500'000);
  std::array<int, 5> volume{-1, -1, -1, -1, -1};  // the last volume each voice was sent
  for (const auto& m : driver.Messages()) {
    const std::uint32_t channel = m.message & 0x0F;
    if ((m.message & 0xFFF0) == 0x07B0 && channel < 5) {
      volume[channel] = static_cast<int>(m.message >> 16);
    }
  }
  EXPECT_EQ(volume, (std::array<int, 5>{100, 100, 100, 100, 0}));
  Click(res::kIdcStop);
  Deliver();

  StartWith(path);
  rows = dialog->findChild<ui::VoiceRows*>();
  ASSERT_EQ(rows->rowCount(), 1);
  EXPECT_TRUE(rows->muteBox(0)->isChecked());
  EXPECT_FALSE(rows->soloBox(0)->isChecked());
  for (int channel = 0; channel < 4; ++channel) {
    EXPECT_FALSE(Checked(res::kIdcMute1 + channel)) << channel;
  }
}

// Key +2 and the alto muted: the soprano's first note (72 written) sounds at 74 and the alto at
// volume 0; the song comes back with the row and the boxes.
TEST_F(PlayerDlgTest, KeyAndMuteActOnWhatPlaysAndComeBackWithTheSong) {
  OpenFile(songPath);
  // Clicked into and typed in, as a person does: the 0 shown gives way to what is typed.
  framework::CSpinCtrl* key = Spin(res::kIdcKey);
  QTest::mouseClick(key->findChild<QLineEdit*>(), Qt::LeftButton, {}, QPoint(3, 3));
  QTest::keyClicks(key, QStringLiteral("-3"));
  QTest::keyClick(key, Qt::Key_Return);
  EXPECT_EQ(key->text(), "-3");
  EnterBar(res::kIdcKey, QStringLiteral("2"));
  EXPECT_EQ(Spin(res::kIdcKey)->text(), "+2");
  Click(res::kIdcMute1 + 1);
  EXPECT_EQ(dialog->GetDlgItem(res::kIdcMute1 + 1)->accessibleName(), "Mute Alto");
  EXPECT_EQ(dialog->GetDlgItem(res::kIdcSolo1 + 3)->accessibleName(), "Solo Bass");
  Click(res::kIdcPlay);
  PlayFor(1'000'000);
  std::optional<std::uint32_t> firstSoprano;
  std::array<int, 4> volume{-1, -1, -1, -1};  // the last volume each voice was sent
  for (const auto& m : driver.Messages()) {
    const std::uint32_t channel = m.message & 0x0F;
    if ((m.message & 0xF0) == 0x90 && channel == 0 && !firstSoprano) {
      firstSoprano = m.message >> 8 & 0x7F;
    }
    if ((m.message & 0xFFF0) == 0x07B0 && channel < 4) {
      volume[channel] = static_cast<int>(m.message >> 16);
    }
  }
  EXPECT_EQ(firstSoprano, 74u);
  EXPECT_EQ(volume, (std::array<int, 4>{100, 0, 100, 100}));
  Click(res::kIdcStop);
  Deliver();

  StartWith(songPath);
  EXPECT_EQ(Spin(res::kIdcKey)->text(), "+2");
  EXPECT_TRUE(Checked(res::kIdcMute1 + 1));
  for (int channel : {0, 2, 3}) {
    EXPECT_FALSE(Checked(res::kIdcMute1 + channel)) << channel;
  }
  for (int channel = 0; channel < 4; ++channel) {
    EXPECT_FALSE(Checked(res::kIdcSolo1 + channel)) << channel;
  }
  EnterBar(res::kIdcKey, QString());
  EXPECT_EQ(Spin(res::kIdcKey)->text(), "0") << "an emptied key is the written one";
}

TEST_F(PlayerDlgTest, OpenOffersTheEightLatestFilesAndDropsOneThatWentAway) {
  EXPECT_EQ(RecentFiles(), std::vector<QString>{}) << "a first run has none";
  std::vector<std::string> paths;
  for (int i = 0; i < 9; ++i) {
    paths.push_back(WriteTempFile(RehearsalSong(1), "song" + std::to_string(i) + ".mid"));
    Drop(paths.back());
  }
  EXPECT_EQ(RecentFiles(), std::nullopt) << "Open is disabled while a song is loaded";
  Click(res::kIdcPlay);
  Click(res::kIdcStop);
  Deliver();
  auto latest = [&](std::initializer_list<int> order) {
    std::vector<QString> files;
    for (int i : order) {
      files.push_back(QString::fromStdString(paths[static_cast<std::size_t>(i)]));
    }
    return files;
  };
  EXPECT_EQ(RecentFiles(), latest({8, 7, 6, 5, 4, 3, 2, 1}));

  ChooseRecentFile(paths[5]);
  EXPECT_EQ(Buttons(), kLoaded);
  EXPECT_EQ(dialog->windowTitle(), "Quirelle playing: song5.mid");
  Click(res::kIdcPlay);
  Click(res::kIdcStop);
  Deliver();
  EXPECT_EQ(RecentFiles(), latest({5, 8, 7, 6, 4, 3, 2, 1}));

  std::filesystem::remove(paths[7]);
  ChooseRecentFile(paths[7]);
  ASSERT_EQ(dialog->problems.size(), 1u);
  EXPECT_TRUE(dialog->problems[0].contains("cannot be opened"))
      << dialog->problems[0].toStdString();
  EXPECT_EQ(Buttons(), kOnlyOpen);
  EXPECT_EQ(RecentFiles(), latest({5, 8, 6, 4, 3, 2, 1}));
}

// A path holding a space and a byte that is not UTF-8 (a Latin-1 "é") opens from the command line
// and from a drop, and the song's tempo and its place in the recent files come back.
TEST_F(PlayerDlgTest, ASongWhosePathIsNotUtf8OpensAndIsRemembered) {
  const std::string path = WriteTempFile(RehearsalSong(4), "caf\xE9 hymn.mid");
  const std::function<void(const std::string&)> ways[] = {
      [this](const std::string& p) { StartWith(p); },
      [this](const std::string& p) { Drop(p); },
  };
  for (const auto& openIt : ways) {
    openIt(path);
    EXPECT_TRUE(dialog->problems.empty()) << dialog->problems.front().toStdString();
    EXPECT_EQ(Buttons(), kLoaded);
  }
  Key(res::kIdcTempo, Qt::Key_PageDown, true);
  Key(res::kIdcTempo, Qt::Key_PageDown, false);
  const int tempo = dialog->tempo();
  ASSERT_NE(tempo, 100);
  Drop(songPath);
  Click(res::kIdcPlay);
  Click(res::kIdcStop);
  Deliver();
  ASSERT_EQ(RecentFiles()->size(), 2u);
  ChooseRecentFile(path);
  EXPECT_TRUE(dialog->problems.empty());
  EXPECT_EQ(dialog->tempo(), tempo);
}

// Settings that cannot be saved (a folder stands where the file goes) are told once a run.
TEST_F(PlayerDlgTest, SettingsThatCannotBeSavedAreToldOnce) {
  const QString file =
      QSettings(QSettings::UserScope, ui::kSettingsName, ui::kSettingsName).fileName();
  QFile::remove(file);
  ASSERT_TRUE(QDir().mkpath(file));
  OpenFile(songPath);
  for (int i = 0; i < 3; ++i) {
    Key(res::kIdcTempo, Qt::Key_PageDown, true);
    Key(res::kIdcTempo, Qt::Key_PageDown, false);
    Deliver();
  }
  QDir(file).removeRecursively();
  ASSERT_EQ(dialog->problems.size(), 1u);
  EXPECT_TRUE(dialog->problems[0].contains("settings cannot be saved"))
      << dialog->problems[0].toStdString();
}

// The words line as the singer reads it: the line sung (up to the next line's start) and the
// syllable in bold.
struct WordsShown {
  std::string line;
  std::string sung;
  bool operator==(const WordsShown&) const = default;
  friend void PrintTo(const WordsShown& shown, std::ostream* out) {
    *out << shown.line << " [" << shown.sung << "]";
  }
};

WordsShown ReadWords(const QString& html) {
  const qsizetype open = html.indexOf(QStringLiteral("<b>"));
  const qsizetype close = html.indexOf(QStringLiteral("</b>"));
  QString plain = html;
  plain.remove(QStringLiteral("<b>")).remove(QStringLiteral("</b>"));
  return {plain.section(QStringLiteral(" / "), 0, 0).toStdString(),
          open < 0 ? "" : html.mid(open + 3, close - open - 3).toStdString()};
}

// The hymn's karaoke text, at 84 beats a minute: a syllable every 0.71 s or 1.43 s.
TEST_F(PlayerDlgTest, WordsLineFollowsTheSongAndEachRepeatOfAPassage) {
  const std::string first = "All people that on earth do dwell,";
  const std::string second = "sing to the Lord with cheerful voice";
  auto playAndRead = [&](int steps) {
    std::vector<WordsShown> shown{ReadWords(Text(res::kIdcWords))};
    Click(res::kIdcPlay);
    for (int step = 0; step < steps; ++step) {
      PlayFor(20'000);
      dialog->PostMessage(ui::rwm_positionchanged);  // as the window's timer asks while playing
      Deliver();
      if (!(shown.back() == ReadWords(Text(res::kIdcWords)))) {
        shown.push_back(ReadWords(Text(res::kIdcWords)));
      }
    }
    return shown;
  };
  OpenFile(Hymn());
  std::vector<WordsShown> whole{{first, ""}};
  for (const char* sung : {"All", "peo", "ple", "that", "on", "earth", "do", "dwell,"}) {
    whole.push_back({first, sung});
  }
  for (const char* sung : {"sing", "to", "the", "Lord", "with", "cheer", "ful", "voice"}) {
    whole.push_back({second, sung});
  }
  whole.push_back({first, ""});  // the end: back at the start, waiting for Play
  EXPECT_EQ(playAndRead(800), whole);

  // Bars 2 and 3, from "that" to "to", counted in: the first line comes back at each repeat,
  // nothing sung through the count-in.
  EnterBar(res::kIdcFromBar, QStringLiteral("2"));
  EnterBar(res::kIdcToBar, QStringLiteral("3"));
  Click(res::kIdcLoop);
  Click(res::kIdcCountIn);
  const std::vector<WordsShown> looped =
      playAndRead(840);  // 16.8 s: into the second line of the second play of 8.57 s
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < looped.size(); ++i) {
    if (lines.empty() || lines.back() != looped[i].line) {
      lines.push_back(looped[i].line);
      EXPECT_EQ(looped[i].sung, looped[i].line == first ? "" : "sing") << i;
    }
  }
  EXPECT_EQ(lines, (std::vector<std::string>{first, second, first, second}));
  Click(res::kIdcStop);
  Deliver();
  EXPECT_EQ(Text(res::kIdcWords), "") << "no song, no words";
}

// Voices 1 and 2 with words of their own, 3 and 4 without: a click on a name with words follows
// them, one without changes nothing, and the song comes back following the voice clicked.
TEST_F(PlayerDlgTest, AClickOnAVoiceNameFollowsItsWordsRememberedWithTheSong) {
  std::vector<TrackData> tracks{TrackData().Tempo(0, 500000).End()};
  const char* words[] = {"Ave", "Sancta", "", ""};
  for (std::uint8_t voice = 0; voice < 4; ++voice) {
    TrackData track;
    if (*words[voice] != 0) {
      track.Text(0, 0x05, words[voice]);
    }
    tracks.push_back(track.Event(0, {static_cast<std::uint8_t>(0x90 | voice), 60, 80})
                         .Event(480, {static_cast<std::uint8_t>(0x80 | voice), 60, 0})
                         .End());
  }
  const std::string path = WriteTempFile(MidiImage(1, 480, tracks), "two_texts.mid");
  OpenFile(path);
  EXPECT_EQ(Text(res::kIdcWords), "Ave");
  for (const auto& [name, shown] :
       {std::pair{res::kIdcName2, "Sancta"}, {res::kIdcName3, "Sancta"}}) {
    QTest::mouseClick(dialog->GetDlgItem(name), Qt::LeftButton);
    EXPECT_EQ(Text(res::kIdcWords), shown) << name;
  }
  StartWith(path);
  EXPECT_EQ(Text(res::kIdcWords), "Sancta");
}

// The notes view on a music21 chorale: while it plays, its playhead stands in the bar the bar
// display shows, and a click on a bar goes on from there; waiting for Play, a click on a bar number
// chooses From bar and a drag across bar numbers From and To.
TEST_F(PlayerDlgTest, NotesViewFollowsTheBarsAndChoosesThePassage) {
  const std::string chorale =
      std::string(QUIRELLE_CORPUS_DIR) + "/choir-exports/music21/bach_bwv256.mid";
  OpenFile(chorale);
  ui::NotesView& view = dialog->notesView();
  auto barX = [&](int bar) {
    return QPoint(
        static_cast<int>(view.Painter().XOf(*dialog->engine().file().BarStartTick(bar)) + 6), 8);
  };
  ASSERT_EQ(view.scene().voices.size(), 4u);
  EXPECT_EQ(view.scene().voices[0].look, ui::VoiceLook::kFollowed);  // the voice with words
  Click(res::kIdcPlay);
  EXPECT_TRUE(view.moving());
  for (const std::uint64_t micros : {1'500'000, 4'000'000, 3'000'000}) {
    PlayFor(micros);
    view.FollowHeard();
    const auto bar = dialog->engine().GetBarNumber(view.playhead());
    ASSERT_TRUE(bar);
    EXPECT_EQ(Text(res::kIdcPosition), QStringLiteral("Bar:%1 ").arg(*bar)) << view.playhead();
  }
  QTest::mouseClick(&view, Qt::LeftButton, {}, barX(6));  // the music goes on from bar 6
  Deliver();
  ASSERT_TRUE(dialog->engine().playing());
  PlayFor(100'000);
  view.FollowHeard();
  EXPECT_EQ(dialog->engine().GetBarNumber(view.playhead()), 6);
  Click(res::kIdcPause);
  EXPECT_FALSE(view.moving()) << "a pause stands still";
  Click(res::kIdcStop);
  OpenFile(chorale);
  QTest::mouseClick(&view, Qt::LeftButton, {}, barX(2));
  EXPECT_EQ(Spin(res::kIdcFromBar)->GetPos(), 2);
  EXPECT_EQ(view.playhead(), *dialog->engine().file().BarStartTick(2)) << "Play starts there";
  QTest::mousePress(&view, Qt::LeftButton, {}, barX(3));
  QTest::mouseRelease(&view, Qt::LeftButton, {}, barX(4));
  EXPECT_EQ(Spin(res::kIdcFromBar)->GetPos(), 3);
  EXPECT_EQ(Spin(res::kIdcToBar)->GetPos(), 4);
}

}  // namespace
}  // namespace quirelle::testing
