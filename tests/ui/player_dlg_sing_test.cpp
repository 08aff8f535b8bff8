// Singing in the window: a take played into a PulseAudio null sink whose monitor is the
// microphone, while the song plays on the virtual device kept in step with real time. The Sing
// box mutes the followed voice, and the song's end sums the pass up in a line.
#include <pulse/simple.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>
#include <chrono>
#include <future>
#include <thread>

#include "tests/support/null_sink.h"
#include "tests/support/sung_take.h"
#include "tests/ui/player_dlg_fixture.h"

namespace quirelle::testing {
namespace {

constexpr std::uint32_t kRate = 48000;
// A mono sink named "sing" whose monitor is the microphone.
const NullSinkOptions kSinging{
    .sink = "sing", .rate = kRate, .channels = 1, .monitorIsDefaultSource = true};

// Sings `samples` into the null sink as a singer would, each 10 ms as it comes. When it reaches
// sample `zero`, `zeroHeard` is given the moment the sink will play it.
void SingIntoTheSink(const std::vector<float>& samples, std::size_t zero,
                     std::promise<std::chrono::steady_clock::time_point>& zeroHeard) {
  const pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, kRate, 1};
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = kRate / 50 * sizeof(float);  // 20 ms
  attr.prebuf = 0;
  attr.minreq = static_cast<std::uint32_t>(-1);
  pa_simple* voice = pa_simple_new(nullptr, "singer", PA_STREAM_PLAYBACK, "sing", "take", &spec,
                                   nullptr, &attr, nullptr);
  if (voice == nullptr) {
    zeroHeard.set_value(std::chrono::steady_clock::now());
    return;
  }
  constexpr std::size_t kChunk = kRate / 100;
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t at = 0; at < samples.size(); at += kChunk) {
    std::this_thread::sleep_until(start + std::chrono::milliseconds(at / kChunk * 10));
    if (at <= zero && zero < at + kChunk) {
      // The sink plays what is written now its latency later.
      zeroHeard.set_value(std::chrono::steady_clock::now() +
                          std::chrono::microseconds(pa_simple_get_latency(voice, nullptr)));
    }
    const std::size_t n = std::min(kChunk, samples.size() - at);
    pa_simple_write(voice, samples.data() + at, n * sizeof(float), nullptr);
  }
  pa_simple_free(voice);  // the test has heard what it needs: the rest need not play out
}

// Four notes of a second each (two bars of 4/4 at 120), with a syllable each, over a held chord.
Bytes KyrieSong() {
  TrackData tenor;
  const std::uint8_t keys[] = {60, 62, 64, 65};
  const char* syllables[] = {"Ky", "ri", "e", "son"};
  for (int i = 0; i < 4; ++i) {
    tenor.Text(0, 0x05, syllables[i]).Event(0, {0x90, keys[i], 80}).Event(960, {0x80, keys[i], 0});
  }
  TrackData alto;
  alto.Event(0, {0x91, 55, 60}).Event(3840, {0x81, 55, 0});
  TrackData conductor;
  conductor.Meta(0, 0x58, {4, 2, 24, 8}).Tempo(0, 500000).End();
  return MidiImage(1, 480, {conductor, tenor.End(), alto.End()});
}

class PlayerDlgSingTest : public PlayerDlgTest {
 protected:
  // Sings `notes` into the microphone, pressing `button` as the take's time 0 is heard, and keeps
  // the virtual clock up with real time for `seconds` after.
  void SingAlong(const std::vector<SungNote>& notes, QAbstractButton* button, double seconds) {
    TakeRecipe recipe;
    recipe.rate = kRate;
    recipe.lead = 2.0;  // time for the sink to take the stream on
    const std::vector<float> take = SingTake(notes, recipe);
    std::promise<std::chrono::steady_clock::time_point> zeroHeard;
    std::thread singer(
        [&] { SingIntoTheSink(take, static_cast<std::size_t>(recipe.lead * kRate), zeroHeard); });
    std::this_thread::sleep_until(zeroHeard.get_future().get());
    QTest::mouseClick(button, Qt::LeftButton);
    const auto start = std::chrono::steady_clock::now();
    std::uint64_t advanced = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::duration<double>(seconds)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      const auto now =
          static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                         std::chrono::steady_clock::now() - start)
                                         .count());
      driver.Advance(now - advanced);
      advanced = now;
      Deliver();
      dialog->notesView().FollowHeard();
    }
    singer.join();
  }
  QLabel* Line() const { return dialog->findChild<QLabel*>(QStringLiteral("singLine")); }
};

TEST_F(PlayerDlgSingTest, SingingMutesTheFollowedVoiceAndSumsUpThePass) {
  NullSinkServer server(kSinging);
  ASSERT_TRUE(server.ready());
  OpenFile(WriteTempFile(KyrieSong(), "kyrie.mid"));
  auto* sing = dialog->findChild<QCheckBox*>(QStringLiteral("sing"));
  ASSERT_TRUE(sing != nullptr && sing->isEnabled());
  sing->click();
  EXPECT_TRUE(Checked(res::kIdcMute1)) << "the singer hears the others, not their own part";
  const auto remembered = ui::SongMemory().Recall(dialog->fileName());
  ASSERT_TRUE(remembered);
  EXPECT_FALSE(remembered->muted[0]) << "the song is not remembered with the Sing box's mute";
  // The third note sung 80 cents sharp.
  std::vector<SungNote> notes;
  const int keys[] = {60, 62, 64, 65};
  for (int i = 0; i < 4; ++i) {
    notes.push_back({i * 1.0, i + 1.0, keys[i], i == 2 ? 80.0 : 0.0});
  }
  SingAlong(notes, qobject_cast<QAbstractButton*>(dialog->GetDlgItem(res::kIdcPlay)), 5.5);
  static const QRegularExpression kSummary(
      QStringLiteral("^3 of 4 notes in tune \u00b7 bar 2 \"e\" [0-9]+ cents sharp$"));
  EXPECT_TRUE(kSummary.match(Line()->text()).hasMatch()) << Line()->text().toStdString();
  sing->click();
  EXPECT_FALSE(Checked(res::kIdcMute1)) << "the Sing box's mute goes with it";
}

// Calibrate plays four clicks a beat apart from one second on; a singer 120 ms late on each gives
// a mic delay of about that, and the song is back, waiting for Play.
TEST_F(PlayerDlgSingTest, CalibrationMeasuresTheMicDelayFromFourTas) {
  NullSinkServer server(kSinging);
  ASSERT_TRUE(server.ready());
  OpenFile(WriteTempFile(KyrieSong(), "kyrie.mid"));
  std::vector<SungNote> tas;
  for (int i = 0; i < 4; ++i) {
    tas.push_back({1.0 + 0.5 * i + 0.12, 1.0 + 0.5 * i + 0.3, 57});
  }
  auto* calibrate = dialog->findChild<QPushButton*>(QStringLiteral("calibrate"));
  ASSERT_TRUE(calibrate != nullptr && calibrate->isEnabled());
  SingAlong(tas, calibrate, 3.5);
  auto* delay = dialog->findChild<QSpinBox*>(QStringLiteral("micDelay"));
  ASSERT_NE(delay, nullptr);
  EXPECT_NEAR(delay->value(), 120, 50) << Line()->text().toStdString();
  EXPECT_EQ(Buttons(), (ButtonStates{false, false, true, false, true}));
}

}  // namespace
}  // namespace quirelle::testing
