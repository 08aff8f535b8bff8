// How closely the position the window draws follows the sound: the engine plays clicks (side
// stick, every 500 ms) through the live synthesizer into a PulseAudio null sink, a capture of the
// sink's monitor dates each click's onset as it comes out, and the engine's heard position is
// read every quarter of a millisecond and dated as it passes each click's tick. The error is the
// heard position's time less the sound's; the same is measured for the position the device has
// rendered to, which runs ahead of the sound by the output's buffer.
#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "player/midi_stream_player.h"
#include "player/stream/synth/synth_driver.h"
#include "tests/support/memory_file.h"
#include "tests/support/midi_image.h"
#include "tests/support/null_sink.h"

namespace {

using namespace quirelle;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kRate = 48000;
constexpr int kClicks = 24;
constexpr std::size_t kSettling = 6;
constexpr std::uint32_t kClickTicks = 96;  // 500 ms at division 96, 120 beats a minute
constexpr std::uint32_t kFragmentFrames = 48;
constexpr float kOnset = 0.02f;

std::vector<std::uint8_t> ClickSong() {
  testing::TrackData track;
  track.Tempo(0, 500000);
  for (int i = 0; i < kClicks; ++i) {
    track.Event(i == 0 ? 0 : kClickTicks - 24, {0x99, 37, 127}).Event(24, {0x89, 37, 0});
  }
  return testing::MidiImage(0, 96, {track.End(kClickTicks)});
}

// Dates each onset in the monitor: the first sample above kOnset at least 300 ms after the last.
class OnsetListener {
 public:
  bool Start() {
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, kRate, 1};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = kFragmentFrames * sizeof(float);
    int error = 0;
    stream_.reset(pa_simple_new(nullptr, "quirelle-bench", PA_STREAM_RECORD, "bench.monitor",
                                "heard position", &spec, nullptr, &attr, &error));
    if (!stream_) {
      std::fprintf(stderr, "heard-position: no capture: %s\n", pa_strerror(error));
      return false;
    }
    thread_ = std::thread([this] { Run(); });
    return true;
  }
  void Stop() {
    running_ = false;
    if (thread_.joinable()) {
      thread_.join();
    }
  }
  // Read once the thread has stopped.
  const std::vector<Clock::time_point>& onsets() const { return onsets_; }

 private:
  struct Free {
    void operator()(pa_simple* s) const { pa_simple_free(s); }
  };
  void Run() {
    std::vector<float> fragment(kFragmentFrames);
    std::uint64_t sinceOnset = kRate;
    while (running_) {
      int error = 0;
      if (pa_simple_read(stream_.get(), fragment.data(), fragment.size() * sizeof(float), &error) <
          0) {
        return;
      }
      const Clock::time_point now = Clock::now();
      const pa_usec_t latency = pa_simple_get_latency(stream_.get(), &error);
      for (std::size_t i = kSettling; i < fragment.size(); ++i) {
        const float level = std::fabs(fragment[i]);
        if (level > kOnset && sinceOnset > kRate * 3 / 10) {
          const double ago = double(fragment.size() - i) / kRate + double(latency) / 1e6;
          onsets_.push_back(now - std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(ago)));
          sinceOnset = 0;
        }
        ++sinceOnset;
      }
    }
  }
  std::unique_ptr<pa_simple, Free> stream_;
  std::thread thread_;
  std::atomic<bool> running_{true};
  std::vector<Clock::time_point> onsets_;
};

// When each click's tick was first reached by `read`, polled every 250 µs while the song plays.
struct Passings {
  std::vector<Clock::time_point> heard;
  std::vector<Clock::time_point> rendered;
};
Passings WatchPositions(player::CMidiStreamPlayer& engine) {
  Passings found;
  const auto deadline = Clock::now() + std::chrono::seconds(kClicks / 2 + 2);
  while (Clock::now() < deadline &&
         (found.heard.size() < kClicks || found.rendered.size() < kClicks)) {
    stream::MMTIME heard{};
    stream::MMTIME rendered{};
    const bool ok = engine.GetHeardPosition(&heard) != 0 && engine.GetPosition(&rendered) != 0;
    const Clock::time_point now = Clock::now();
    if (ok && found.heard.size() < kClicks && heard.u.ticks >= found.heard.size() * kClickTicks) {
      found.heard.push_back(now);
    }
    if (ok && found.rendered.size() < kClicks &&
        rendered.u.ticks >= found.rendered.size() * kClickTicks) {
      found.rendered.push_back(now);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(250));
  }
  return found;
}

// The median and the largest error, in ms, of `seen` against `sound`, once the output has
// settled: the first clicks come while the SoundFont loads and the audio stream starts.
std::pair<double, double> Errors(const std::vector<Clock::time_point>& seen,
                                 const std::vector<Clock::time_point>& sound) {
  std::vector<double> errors;
  for (std::size_t i = kSettling; i < std::min(seen.size(), sound.size()); ++i) {
    errors.push_back(std::chrono::duration<double, std::milli>(seen[i] - sound[i]).count());
  }
  if (errors.empty()) {
    return {NAN, NAN};
  }
  std::sort(errors.begin(), errors.end());
  const double worst = std::max(std::fabs(errors.front()), std::fabs(errors.back()));
  return {errors[errors.size() / 2], worst};
}

}  // namespace

int main() {
  testing::NullSinkServer server(
      {.sink = "bench", .rate = kRate, .channels = 1, .monitorIsDefaultSource = true});
  if (!server.ready()) {
    std::fprintf(stderr, "heard-position: the PulseAudio daemon did not start\n");
    return 1;
  }
  OnsetListener listener;
  if (!listener.Start()) {
    return 1;
  }
  stream::SynthOptions options;
  options.audio = {"pulseaudio", ""};
  options.sampleRate = kRate;
  const std::unique_ptr<stream::SynthDriver> driver = stream::MakeLiveSynthDriver(options);
  Passings passings;
  {
    player::CMidiStreamPlayer engine(*driver);
    testing::MemoryFile song(ClickSong());
    if (engine.LoadFromFile(song) == 0 || engine.Play(false) == 0) {
      std::fprintf(stderr, "heard-position: the song could not play: %s\n",
                   engine.lastOpenError().c_str());
      return 1;
    }
    passings = WatchPositions(engine);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  listener.Stop();
  const auto [heard, heardWorst] = Errors(passings.heard, listener.onsets());
  const auto [rendered, renderedWorst] = Errors(passings.rendered, listener.onsets());
  std::printf(
      "heard-position: %zu clicks heard; the rendered position runs %.1f ms ahead "
      "(worst %.1f)\n",
      listener.onsets().size(), -rendered, renderedWorst);
  std::printf("SUMMARY heard-position: error_ms=%.1f worst_ms=%.1f\n", heard, heardWorst);
  return std::isnan(heard) ? 1 : 0;
}
