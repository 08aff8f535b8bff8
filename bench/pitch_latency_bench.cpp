// How long the sung pitch takes to show: a PulseAudio daemon of our own with a null sink whose
// monitor is the capture source, a harmonic tone stepping between A3 and E4 every half second
// played into the sink, and the microphone capture and the pitch tracker listening to the monitor.
// The latency of a step runs from the moment its first sample is played (when it was written plus
// what the playback stream still held, as PulseAudio reports it) to the moment the tracker first
// reports the new pitch; the median over the steps is printed, with the capture thread's share of
// one core while it listens.
#include <pulse/error.h>
#include <pulse/simple.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "sing/mic_capture.h"
#include "sing/pitch_tracker.h"
#include "tests/support/null_sink.h"
#include "tests/support/sung_take.h"

namespace {

using Clock = std::chrono::steady_clock;
using quirelle::sing::PitchFrame;

constexpr std::uint32_t kRate = 48000;
constexpr std::uint32_t kBlock = kRate / 200;  // 5 ms written at a time
constexpr double kStepSeconds = 0.5;
constexpr int kSteps = 20;
constexpr int kKeys[] = {57, 64};

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Heard {
  Clock::time_point at;
  float key;
};

// Plays the steps; the time each step's first sample is heard, or nothing when playback fails.
std::vector<Clock::time_point> PlaySteps() {
  std::vector<quirelle::testing::SungNote> notes;
  for (int step = 0; step <= kSteps; ++step) {
    notes.push_back({step * kStepSeconds, (step + 1) * kStepSeconds, kKeys[step % 2]});
  }
  quirelle::testing::TakeRecipe recipe;
  recipe.rate = kRate;
  recipe.tail = 0;
  const std::vector<float> tone = quirelle::testing::SingTake(notes, recipe);
  const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, kRate, 1};
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = 2 * kBlock * sizeof(float);
  attr.prebuf = static_cast<std::uint32_t>(-1);
  attr.minreq = static_cast<std::uint32_t>(-1);
  int error = 0;
  pa_simple* out = pa_simple_new(nullptr, "bench", PA_STREAM_PLAYBACK, nullptr, "steps", &spec,
                                 nullptr, &attr, &error);
  std::vector<Clock::time_point> steps;
  if (out == nullptr) {
    std::fprintf(stderr, "pitch-latency: cannot play: %s\n", pa_strerror(error));
    return steps;
  }
  const auto stepFrames = static_cast<std::size_t>(kStepSeconds * kRate);
  for (std::size_t at = 0; at + kBlock <= tone.size(); at += kBlock) {
    if (pa_simple_write(out, tone.data() + at, kBlock * sizeof(float), &error) < 0) {
      break;
    }
    if (at % stepFrames == 0 && at > 0) {
      const pa_usec_t latency = pa_simple_get_latency(out, &error);
      // The block's first sample is heard a block before the written data's end.
      steps.push_back(Clock::now() + std::chrono::microseconds(latency) -
                      std::chrono::microseconds(kBlock * 1000000ull / kRate));
    }
  }
  pa_simple_drain(out, &error);
  pa_simple_free(out);
  return steps;
}

}  // namespace

int main() {
  quirelle::testing::NullSinkServer server(
      {.sink = "bench", .rate = kRate, .channels = 1, .monitorIsDefaultSource = true});
  if (!server.ready()) {
    std::printf("pitch-latency: no PulseAudio daemon could be started\n");
    return 1;
  }
  quirelle::sing::MicCapture mic({}, kRate);
  quirelle::sing::PitchTracker tracker(kRate);
  std::vector<Heard> heard;  // the capture thread's until Stop
  std::vector<PitchFrame> frames;
  double cpuFirst = -1;
  double cpuLast = 0;
  Clock::time_point wallFirst;
  Clock::time_point wallLast;
  mic.Start([&](std::span<const float> samples) {
    if (cpuFirst < 0) {
      cpuFirst = ThreadCpuSeconds();
      wallFirst = Clock::now();
    }
    frames.clear();
    tracker.Feed(samples, frames);
    const Clock::time_point now = Clock::now();
    for (const PitchFrame& frame : frames) {
      heard.push_back({now, frame.key});
    }
    cpuLast = ThreadCpuSeconds();
    wallLast = now;
  });
  const std::vector<Clock::time_point> steps = PlaySteps();
  mic.Stop();
  if (mic.state() == quirelle::sing::MicCapture::State::kNone || steps.empty()) {
    std::printf("pitch-latency: %s\n", mic.problem().c_str());
    return 1;
  }
  std::vector<double> latencies;
  for (std::size_t step = 0; step < steps.size(); ++step) {
    const int key = kKeys[(step + 1) % 2];
    const auto found = std::find_if(heard.begin(), heard.end(), [&](const Heard& h) {
      return h.at >= steps[step] - std::chrono::milliseconds(100) && std::abs(h.key - key) < 0.5;
    });
    if (found != heard.end()) {
      latencies.push_back(
          std::chrono::duration<double, std::milli>(found->at - steps[step]).count());
    }
  }
  if (latencies.size() < steps.size() / 2) {
    std::printf("pitch-latency: the tracker heard %zu of %zu steps\n", latencies.size(),
                steps.size());
    return 1;
  }
  std::sort(latencies.begin(), latencies.end());
  const double median = latencies[latencies.size() / 2];
  const double wall = std::chrono::duration<double>(wallLast - wallFirst).count();
  const double cpu = wall > 0 ? 100 * (cpuLast - cpuFirst) / wall : 0;
  std::printf("steps heard: %zu of %zu, fastest %.1f ms, slowest %.1f ms\n", latencies.size(),
              steps.size(), latencies.front(), latencies.back());
  std::printf("pitch-latency: ms=%.0f cpu_pct=%.1f\n", median, cpu);
  std::printf("SUMMARY pitch-latency: ms=%.0f cpu_pct=%.1f\n", median, cpu);
  return 0;
}
