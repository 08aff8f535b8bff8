// The cost of the stream timing core: per event played (a buffer of 85 events against a buffer
// of 1, so the per-buffer work cancels out), and per 85-event buffer queued through the stream
// calls, played and returned to the callback thread.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "player/stream/midi_stream.h"
#include "player/stream/stream_core.h"

namespace quirelle::stream {
namespace {

constexpr std::uint32_t kEventsPerBuffer = 85;  // as many as the engine's 1024-byte buffers hold
constexpr std::uint64_t kFarFuture = 1ull << 62;

// A device with a clock standing at 0 and a sink that only counts.
class CountingDevice final : public StreamDevice {
 public:
  std::uint64_t UnitsPerSecond() const override { return 1000000; }
  std::uint64_t Now() const override { return 0; }
  void Send(const SentMessage& message) override { sum_ += message.message; }

 private:
  std::uint64_t sum_ = 0;
};

void Ignore(HMIDISTRM, std::uint32_t, std::uintptr_t, std::uintptr_t, std::uintptr_t) {}

struct Bench {
  explicit Bench(std::uint32_t events) : data(events * sizeof(MIDIEVENT)) {
    for (std::uint32_t i = 0; i < events; ++i) {
      const MIDIEVENT event{1, 0, 0x00403C90u + (i % 2) * 0x10u};
      std::memcpy(data.data() + i * sizeof(MIDIEVENT), &event, sizeof event);
    }
    header.lpData = data.data();
    header.dwBufferLength = static_cast<std::uint32_t>(data.size());
    header.dwBytesRecorded = header.dwBufferLength;
    core = keeper.Open(std::make_unique<CountingDevice>(), &Ignore, 0, &handle);
    MIDIPROPTIMEDIV division{sizeof(MIDIPROPTIMEDIV), 480};
    midiStreamProperty(handle, reinterpret_cast<std::uint8_t*>(&division),
                       MIDIPROP_SET | MIDIPROP_TIMEDIV);
    midiOutPrepareHeader(handle, &header, sizeof header);
    midiStreamRestart(handle);
  }
  ~Bench() {
    midiStreamStop(handle);
    core->WaitCallbacksIdle();
    midiOutUnprepareHeader(handle, &header, sizeof header);
    midiStreamClose(handle);
  }

  std::vector<std::uint8_t> data;
  MIDIHDR header;
  StreamKeeper keeper;
  HMIDISTRM handle = nullptr;
  std::shared_ptr<StreamCore> core;
};

// Plays one buffer per iteration on the core directly; MOM_DONE is posted, not waited for.
void PlayBuffer(benchmark::State& state) {
  Bench bench(static_cast<std::uint32_t>(state.range(0)));
  std::uint64_t played = 0;
  for (auto _ : state) {
    bench.core->Out(&bench.header, sizeof bench.header);
    bench.core->PlayUntil(kFarFuture);
    if (++played % 1024 == 0) {
      state.PauseTiming();
      bench.core->WaitCallbacksIdle();  // keep the callback queue short
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(played) * state.range(0));
}

// Queues through the handle, plays, and waits until the callback thread has taken MOM_DONE.
void BufferRoundTrip(benchmark::State& state) {
  Bench bench(kEventsPerBuffer);
  for (auto _ : state) {
    midiStreamOut(bench.handle, &bench.header, sizeof bench.header);
    bench.core->PlayUntil(kFarFuture);
    bench.core->WaitCallbacksIdle();
  }
}

BENCHMARK(PlayBuffer)->Name("stream_core/play_buffer")->Arg(1)->Arg(kEventsPerBuffer);
BENCHMARK(BufferRoundTrip)->Name("stream_core/buffer_round_trip");

class SummaryReporter final : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0) {
        const double iterations = static_cast<double>(run.iterations);
        nanos[run.benchmark_name()] = run.real_accumulated_time * 1e9 / iterations;
        cpuNanos[run.benchmark_name()] = run.cpu_accumulated_time * 1e9 / iterations;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  static double Find(const std::map<std::string, double>& in, const std::string& name) {
    const auto found = in.find(name);
    return found == in.end() ? 0 : found->second;
  }
  double Nanos(const std::string& name) const { return Find(nanos, name); }
  double CpuNanos(const std::string& name) const { return Find(cpuNanos, name); }
  std::map<std::string, double> nanos;     // wall clock
  std::map<std::string, double> cpuNanos;  // this thread's processor time
};

}  // namespace
}  // namespace quirelle::stream

int main(int argc, char** argv) {
  using quirelle::stream::kEventsPerBuffer;
  benchmark::Initialize(&argc, argv);
  quirelle::stream::SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  // The events are played on the benchmark's own thread, so its processor time is their cost;
  // the wall clock also counts the time other processes on a shared machine take from it.
  const auto perEvent = [&](auto nanos) {
    return (nanos("stream_core/play_buffer/85") - nanos("stream_core/play_buffer/1")) /
           (kEventsPerBuffer - 1);
  };
  const double cpuPerEvent = perEvent([&](const char* n) { return reporter.CpuNanos(n); });
  const double wallPerEvent = perEvent([&](const char* n) { return reporter.Nanos(n); });
  // A round trip includes the hand-over to the callback thread: wall clock.
  const double perBuffer = reporter.Nanos("stream_core/buffer_round_trip");
  std::printf("\nper event: %.1f ns processor time (%.1f ns wall clock)\n", cpuPerEvent,
              wallPerEvent);
  std::printf("one buffer of %u events queued, played and returned to the callback: %.0f ns\n",
              kEventsPerBuffer, perBuffer);
  std::printf("SUMMARY stream-core: ns_per_event=%.1f ns_per_buffer=%.0f\n", cpuPerEvent,
              perBuffer);
  return 0;
}
