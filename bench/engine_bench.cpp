// Engine benchmarks: the cost of filling one full buffer, the latency of a user's Stop while the
// device is open and buffers are out (playing or paused), and the drift of device time over an hour
// with 1000 tempo changes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "player/notifying_player.h"
#include "player/stream/virtual/virtual_device.h"
#include "tests/support/memory_file.h"
#include "tests/support/midi_image.h"
#include "tests/support/refusing_driver.h"
#include "tools/render/render_session.h"

namespace {

using namespace quirelle;
using testing::Bytes;
using testing::MidiImage;
using testing::RefusingDriver;
using testing::TrackData;

// Sixteen tracks of chords: every buffer fills up to its 85 events.
Bytes DenseSong() {
  std::vector<TrackData> tracks(16);
  for (std::uint8_t t = 0; t < 16; ++t) {
    for (int i = 0; i < 2000; ++i) {
      tracks[t].Event(i % 8 == 0 ? 1 : 0, {static_cast<std::uint8_t>(0x90 | t), 60, 100});
    }
    tracks[t].End();
  }
  return MidiImage(1, 480, tracks);
}

// An engine holding the dense song, looping, its builder at the start; and one buffer for it.
struct FillRig {
  RefusingDriver driver;
  player::CMidiStreamPlayer engine{driver};
  player::StreamBuffer buffer;

  FillRig() {
    testing::MemoryFile file(DenseSong());
    engine.LoadFromFile(file);
    engine.SetLoop(true);
    engine.RewindTracks();
    buffer.block = platform::AllocateBlock(player::kStreamBufferBytes);
    buffer.header.lpData = buffer.block.get();
  }
  void Fill(bool first) {
    buffer.ResetForFill();
    benchmark::DoNotOptimize(engine.FillBuffer(first, buffer));
  }
};

void BM_FillBuffer(benchmark::State& state) {
  FillRig rig;
  bool first = true;
  std::uint64_t events = 0;
  for (auto _ : state) {
    rig.Fill(first);
    first = false;
    events += rig.buffer.bytesUsed / 12;
  }
  state.counters["events_per_buffer"] =
      static_cast<double>(events) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FillBuffer);

// Times one full buffer fill directly, for the summary line.
double MeasureFillMicros() {
  FillRig rig;
  constexpr int kFills = 200000;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kFills; ++i) {
    rig.Fill(i == 0);
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  return std::chrono::duration<double, std::micro>(elapsed).count() / kFills;
}

Bytes FourVoices(int quarters) {
  std::vector<TrackData> tracks(4);
  for (std::uint8_t v = 0; v < 4; ++v) {
    for (int i = 0; i < quarters; ++i) {
      tracks[v].Event(0, {static_cast<std::uint8_t>(0x90 | v), 60, 80});
      tracks[v].Event(480, {static_cast<std::uint8_t>(0x80 | v), 60, 0});
    }
    tracks[v].End();
  }
  return MidiImage(1, 480, tracks);
}

// The states in which a user's Stop has a device to stop and buffers out to wait for. (After the
// song's end or a read error the engine has closed the device already, and Stop has nothing to
// do: no latency to measure.)
enum class StopCase { kPlaying, kPaused };

// Milliseconds one user Stop takes in the given state, on the virtual device in real time; a
// negative value when the engine was not in that state when Stop was called.
double StopLatencyMillis(StopCase which) {
  stream::VirtualDriver driver(stream::VirtualDriver::Mode::kRealTime);
  player::CMidiStreamPlayer engine(driver, driver.clock());
  testing::MemoryFile file(FourVoices(64));
  engine.LoadFromFile(file);
  engine.SetTempoPercent(500);  // refills come often: a buffer is in flight at any moment
  engine.Play(false);
  std::this_thread::sleep_for(std::chrono::milliseconds(which == StopCase::kPaused ? 50 : 100));
  if (which == StopCase::kPaused) {
    engine.Pause();
  }
  // The song lasts 6.4 s at this tempo: it is still playing, the device open, its two buffers out.
  stream::MMTIME time{};
  const bool open = engine.GetPosition(&time) != 0;
  if (!open || !engine.playing() || engine.paused() != (which == StopCase::kPaused)) {
    std::fprintf(stderr, "engine-stop: the engine is not in the state to measure\n");
    return -1;
  }
  const auto start = std::chrono::steady_clock::now();
  engine.Stop();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

void BM_StopLatency(benchmark::State& state) {
  const auto which = static_cast<StopCase>(state.range(0));
  double worst = 0;
  for (auto _ : state) {
    const double millis = StopLatencyMillis(which);
    if (millis < 0) {
      state.SkipWithError("not in the state to measure");
      return;
    }
    worst = std::max(worst, millis);
  }
  state.counters["max_ms"] = worst;
}
BENCHMARK(BM_StopLatency)->DenseRange(0, 1)->Iterations(5)->Unit(benchmark::kMillisecond);

// An hour of quarter notes at 480 ticks per quarter with 1000 tempo changes; returns the exact
// time of the last note in whole µs.
Bytes HourSong(std::uint64_t* exactLastMicros) {
  std::mt19937 random(7);
  std::uniform_int_distribution<std::uint32_t> tempo(300000, 900000);
  TrackData track;
  std::uint64_t micros480 = 0;  // µs × 480
  std::uint32_t current = 500000;
  int tempoChanges = 0;
  std::uint32_t pending = 0;
  while (micros480 < 3600ull * 1000000 * 480) {
    if (tempoChanges < 1000 && micros480 >= (3600ull * 1000000 * 480) / 1000 * tempoChanges) {
      current = tempo(random);
      track.Tempo(pending, current);
      pending = 0;
      ++tempoChanges;
    }
    const std::uint32_t ticks = 97 + random() % 400;  // deltas that do not divide evenly
    track.Event(pending, {0x90, 64, 90});
    track.Event(ticks, {0x80, 64, 0});
    pending = 0;
    micros480 += std::uint64_t{ticks} * current;
  }
  track.End();
  *exactLastMicros = micros480 / 480;
  return MidiImage(0, 480, {track});
}

long long MeasureDriftMicros() {
  std::uint64_t exact = 0;
  const Bytes song = HourSong(&exact);
  const std::string path = testing::WriteTempFile(song, "hour.mid");
  render::Options options;
  options.events = true;
  options.midiPath = path;
  std::ostringstream out;
  std::ostringstream err;
  if (render::RunRender(options, out, err) != 0) {
    std::fprintf(stderr, "render failed: %s\n", err.str().c_str());
    return -1;
  }
  // The last note-off printed.
  std::istringstream lines(out.str());
  std::string line;
  unsigned long long last = 0;
  while (std::getline(lines, line)) {
    unsigned long long time = 0;
    unsigned tick = 0, status = 0;
    if (std::sscanf(line.c_str(), "%llu %u %x", &time, &tick, &status) == 3 &&
        (status & 0xF0) == 0x80) {
      last = time;
    }
  }
  return static_cast<long long>(last) - static_cast<long long>(exact);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const double fill = MeasureFillMicros();
  double worstStop = 0;
  for (const StopCase c : {StopCase::kPlaying, StopCase::kPaused}) {
    for (int i = 0; i < 5; ++i) {
      const double millis = StopLatencyMillis(c);
      if (millis < 0) {
        return 1;
      }
      worstStop = std::max(worstStop, millis);
    }
  }
  const long long drift = MeasureDriftMicros();
  std::printf("SUMMARY engine-fill: us_per_buffer=%.3f\n", fill);
  std::printf("SUMMARY engine-stop: max_ms=%.3f (playing or paused, device open, buffers out)\n",
              worstStop);
  std::printf("SUMMARY engine-drift: us=%lld\n", drift < 0 ? -drift : drift);
  return 0;
}
