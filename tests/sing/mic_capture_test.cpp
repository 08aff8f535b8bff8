// The microphone through a real PulseAudio daemon the test starts: a tone played into its null
// sink is heard from the sink's monitor and tracked; silence, no server and a server that goes
// away are told.
#include "sing/mic_capture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "sing/pitch_tracker.h"
#include "tests/support/null_sink.h"
#include "tests/support/run_command.h"
#include "tests/support/sung_take.h"

namespace {

using quirelle::sing::MicCapture;
using State = MicCapture::State;

constexpr std::uint32_t kRate = 48000;

// Waits, on a generous deadline, until the capture is in `state`.
bool WaitFor(const MicCapture& mic, State state) {
  for (int i = 0; i < 500 && mic.state() != state; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return mic.state() == state;
}

// Plays `samples` into the server's default sink, to their end, from another process: two
// connections in one process share libpulse's lock-free memory pools, which ThreadSanitizer cannot
// follow.
bool Play(const std::vector<float>& samples) {
  const std::string path = ::testing::TempDir() + "quirelle-tone.wav";
  const bool played = quirelle::testing::WriteTake(path, samples, kRate) &&
                      quirelle::testing::RunCommand("paplay '" + path + "'").status == 0;
  std::remove(path.c_str());
  return played;
}

TEST(MicCapture, HearsATonePlayedIntoTheServerThenTellsSilenceAndTheServerGoing) {
  quirelle::testing::NullSinkServer server(
      {.sink = "sing", .rate = kRate, .channels = 1, .monitorIsDefaultSource = true});
  ASSERT_TRUE(server.ready());
  MicCapture mic({}, kRate, 0.3);
  // Filled on the capture thread, read after Stop has joined it.
  quirelle::sing::PitchTracker tracker(kRate);
  std::vector<quirelle::sing::PitchFrame> frames;
  std::size_t largest = 0;
  mic.Start([&](std::span<const float> samples) {
    largest = std::max(largest, samples.size());
    tracker.Feed(samples, frames);
  });
  ASSERT_TRUE(WaitFor(mic, State::kListening)) << mic.problem();
  quirelle::testing::TakeRecipe recipe;
  recipe.rate = kRate;
  recipe.tail = 0;
  ASSERT_TRUE(Play(quirelle::testing::SingTake({{0, 1.0, 69}}, recipe)));
  ASSERT_TRUE(WaitFor(mic, State::kSilent));
  EXPECT_EQ(mic.problem(), "the microphone gives only silence");
  server.Kill();
  ASSERT_TRUE(WaitFor(mic, State::kGone));
  EXPECT_NE(mic.problem().find("the microphone went away"), std::string::npos) << mic.problem();
  mic.Stop();
  EXPECT_EQ(mic.state(), State::kGone);
  EXPECT_LE(largest, kRate / 50);  // fragments of at most 20 ms
  std::size_t onA4 = 0;
  for (const auto& frame : frames) {
    onA4 += frame.voiced() && std::abs(frame.key - 69) < 0.5 ? 1 : 0;
  }
  EXPECT_GT(onA4 * tracker.hopSeconds(), 0.7) << frames.size() << " frames";
}

TEST(MicCapture, NoServerIsNoMicrophone) {
  ::setenv("PULSE_SERVER", "unix:/nonexistent/quirelle/native", 1);
  MicCapture mic;
  mic.Start([](std::span<const float>) {});
  ASSERT_TRUE(WaitFor(mic, State::kNone));
  EXPECT_NE(mic.problem().find("no microphone: "), std::string::npos) << mic.problem();
  mic.Stop();
  EXPECT_EQ(mic.state(), State::kNone);
}

}  // namespace
