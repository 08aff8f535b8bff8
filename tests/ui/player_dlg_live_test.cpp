// The real window over the live synthesizer, heard from a PulseAudio null sink: the song's last
// chord rings out after its note-off, whatever the window does at the song's end (it reloads the
// song, ready to play again).
#include <QAbstractButton>
#include <QCoreApplication>
#include <QSettings>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "player/stream/synth/synth_driver.h"
#include "tests/support/midi_image.h"
#include "tests/support/null_sink.h"
#include "tests/ui/player_dlg_fixture.h"
#include "ui/song_memory.h"

namespace quirelle::testing {
namespace {

constexpr std::uint32_t kRate = 44100;
constexpr float kAudible = 0.001f;   // -60 dBFS
constexpr float kCutLevel = 0.002f;  // -54 dBFS: louder than this just before the zeros is a cut

// One second of a held chord of choir aahs, whose release lasts well beyond its note-off.
Bytes ChordSecond() {
  TrackData conductor;
  conductor.Tempo(0, 500000).End();
  TrackData voice;
  voice.Event(0, {0xC0, 52});
  for (const std::uint8_t key : {60, 64, 67}) {
    voice.Event(0, {0x90, key, 100});
  }
  voice.Event(192, {0x80, 60, 0}).Event(0, {0x80, 64, 0}).Event(0, {0x80, 67, 0});
  return MidiImage(1, 96, {conductor, voice.End()});
}

float FramePeak(const std::vector<float>& samples, std::size_t frame) {
  return std::max(std::fabs(samples[2 * frame]), std::fabs(samples[2 * frame + 1]));
}

void Press(ui::CPlayerDlg& dialog, int id) {
  auto* button = qobject_cast<QAbstractButton*>(dialog.GetDlgItem(id));
  ASSERT_NE(button, nullptr);
  ASSERT_TRUE(button->isEnabled()) << id;
  QTest::mouseClick(button, Qt::LeftButton);
}

TEST(PlayerDlgLive, TheSongsLastChordRingsOutAfterTheWindowReloadsIt) {
  NullSinkServer server({.rate = kRate, .channels = 2, .realtime = true});
  ASSERT_TRUE(server.ready()) << "the PulseAudio daemon did not start (pulseaudio installed?)";
  framework::SetResourceModule(&res::Module());
  QSettings(QSettings::UserScope, ui::kSettingsName, ui::kSettingsName).clear();
  stream::SynthOptions options;
  options.audio = {"pulseaudio", ""};
  const std::unique_ptr<stream::SynthDriver> driver = stream::MakeLiveSynthDriver(options);
  ScriptedChooser chooser;
  chooser.answers.push_back(QString::fromStdString(WriteTempFile(ChordSecond(), "chord.mid")));
  {
    ui::CPlayerDlg dialog(*driver, chooser);
    ASSERT_TRUE(dialog.Create());
    Press(dialog, res::kIdcOpen);
    ASSERT_TRUE(server.StartRecording()) << "parec (pulseaudio-utils) did not start";
    Press(dialog, res::kIdcPlay);
    // The second of the song, then up to the release's longest and some more.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(5000);
    while (std::chrono::steady_clock::now() < end) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    EXPECT_EQ(dialog.state(), ui::StateRewound) << "the window reloaded the song at its end";
  }
  const std::vector<float> samples = server.StopRecording();
  framework::SetResourceModule(nullptr);

  const std::size_t frames = samples.size() / 2;
  std::size_t first = 0;
  while (first < frames && FramePeak(samples, first) < kAudible) {
    ++first;
  }
  const std::size_t noteOff = first + kRate;
  ASSERT_LT(noteOff, frames) << "the chord was not heard";
  std::size_t lastAudible = noteOff;
  for (std::size_t frame = noteOff; frame < frames; ++frame) {
    if (FramePeak(samples, frame) >= kAudible) {
      lastAudible = frame;
    }
  }
  const double releaseMs = 1000.0 * static_cast<double>(lastAudible - noteOff) / kRate;
  // The release dies away (to -60 dBFS) or is faded at 3 s; either way it is not cut short.
  EXPECT_GE(releaseMs, 300.0);
  EXPECT_LE(releaseMs, 3200.0);
  EXPECT_LT(FramePeak(samples, lastAudible), kCutLevel) << "cut at " << releaseMs << " ms";
}

}  // namespace
}  // namespace quirelle::testing
