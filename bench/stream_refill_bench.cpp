// Refills against real time: a dense made-up song (16 voices of 32nd notes with tempo changes)
// played at 500 % tempo on the real-time virtual device, its two buffers refilled on the callback
// thread the way the engine fills them (at most 85 events, about 60 ms of written music each).
// Reports how close each refill came to the moment its buffer was needed, and any starvation.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "player/stream/midi_stream.h"
#include "player/stream/virtual/virtual_device.h"

namespace quirelle::stream {
namespace {

constexpr std::uint32_t kDivision = 480;
constexpr std::uint32_t kVoices = 16;
constexpr std::uint32_t kThirtySecond = kDivision / 8;
constexpr std::uint32_t kSteps = 32 * 12;  // 12 bars of 32nd notes
constexpr std::uint32_t kTempoPercent = 500;
constexpr std::uint32_t kBufferBytes = 1024;
constexpr std::uint32_t kMaxEvents = kBufferBytes / sizeof(MIDIEVENT);  // 85
constexpr std::uint32_t kSpanMicros = 60000;
constexpr int kRuns = 3;

struct SongEvent {
  std::uint32_t tick;
  std::uint32_t word;
  bool tempo;
};

// Each 32nd step: the 16 notes of the step before end, 16 new ones start; tempo changes every
// three bars.
std::vector<SongEvent> DenseSong() {
  std::vector<SongEvent> song;
  const std::uint32_t tempos[] = {500000, 428571, 600000, 461538};
  for (std::uint32_t step = 0; step <= kSteps; ++step) {
    const std::uint32_t tick = step * kThirtySecond;
    if (step % (32 * 3) == 0 && step < kSteps) {
      song.push_back({tick, tempos[(step / 96) % 4], true});
    }
    for (std::uint32_t voice = 0; voice < kVoices && step > 0; ++voice) {
      const std::uint32_t key = 36 + voice * 3 + (step - 1) % 3;
      song.push_back({tick, (0x80 | voice) | (key << 8), false});
    }
    for (std::uint32_t voice = 0; voice < kVoices && step < kSteps; ++voice) {
      const std::uint32_t key = 36 + voice * 3 + step % 3;
      song.push_back({tick, (0x90 | voice) | (key << 8) | (90u << 16), false});
    }
  }
  return song;
}

// The engine's way of cutting the merged song into buffers.
class Filler {
 public:
  explicit Filler(const std::vector<SongEvent>& song) : song_(song) {}

  // Fills `header` with the next events; false when the song has no more.
  bool Fill(MIDIHDR& header) {
    if (next_ >= song_.size()) {
      return false;
    }
    const std::uint32_t start = song_[next_].tick;
    std::uint32_t count = 0;
    bool grace = false;
    while (next_ < song_.size() && count < kMaxEvents) {
      const SongEvent& event = song_[next_];
      if (event.tick - start > SpanTicks()) {
        if (grace) {
          break;
        }
        grace = true;
      }
      std::uint32_t word = event.word;
      if (event.tempo) {
        writtenTempo_ = event.word;
        word = (static_cast<std::uint32_t>(MEVT_TEMPO) << 24) | (event.word * 100 / kTempoPercent);
      }
      const MIDIEVENT out{event.tick - clock_, 0, word};
      std::memcpy(header.lpData + count * sizeof(MIDIEVENT), &out, sizeof out);
      clock_ = event.tick;
      ++count;
      ++next_;
    }
    header.dwBytesRecorded = count * static_cast<std::uint32_t>(sizeof(MIDIEVENT));
    return true;
  }

 private:
  std::uint32_t SpanTicks() const {
    return static_cast<std::uint32_t>(std::uint64_t{kSpanMicros} * kDivision / writtenTempo_);
  }

  const std::vector<SongEvent>& song_;
  std::size_t next_ = 0;
  std::uint32_t clock_ = 0;
  std::uint32_t writtenTempo_ = 500000;
};

struct Player {
  Filler filler;
  HMIDISTRM stream = nullptr;
  std::atomic<int> refills{0};
};

void Callback(HMIDISTRM stream, std::uint32_t message, std::uintptr_t instance,
              std::uintptr_t param1, std::uintptr_t) {
  auto& player = *reinterpret_cast<Player*>(instance);
  if (message != MOM_DONE) {
    return;
  }
  auto* header = reinterpret_cast<MIDIHDR*>(param1);
  if (player.filler.Fill(*header)) {
    midiStreamOut(stream, header, sizeof(MIDIHDR));
    ++player.refills;
  }
}

struct RunResult {
  RefillStats stats;
  int refills = 0;
  std::size_t events = 0;
};

RunResult PlayOnce(const std::vector<SongEvent>& song) {
  VirtualDriver driver(VirtualDriver::Mode::kRealTime);
  Player player{Filler(song)};
  std::vector<std::uint8_t> blocks(2 * kBufferBytes);
  MIDIHDR headers[2];
  std::uint32_t device = MIDI_MAPPER;
  driver.midiStreamOpen(&player.stream, &device, 1, &Callback,
                        reinterpret_cast<std::uintptr_t>(&player), CALLBACK_FUNCTION);
  MIDIPROPTIMEDIV division{sizeof(MIDIPROPTIMEDIV), kDivision};
  midiStreamProperty(player.stream, reinterpret_cast<std::uint8_t*>(&division),
                     MIDIPROP_SET | MIDIPROP_TIMEDIV);
  for (int i = 0; i < 2; ++i) {
    headers[i].lpData = blocks.data() + i * kBufferBytes;
    headers[i].dwBufferLength = kBufferBytes;
    player.filler.Fill(headers[i]);
    midiOutPrepareHeader(player.stream, &headers[i], sizeof(MIDIHDR));
    midiStreamOut(player.stream, &headers[i], sizeof(MIDIHDR));
  }
  midiStreamRestart(player.stream);
  driver.RunUntilDrained(120000000);
  RunResult result;
  result.stats = driver.RefillStatistics();
  result.refills = player.refills.load();
  result.events = driver.Messages().size();
  midiStreamStop(player.stream);
  driver.WaitIdle();
  for (MIDIHDR& header : headers) {
    midiOutUnprepareHeader(player.stream, &header, sizeof(MIDIHDR));
  }
  midiStreamClose(player.stream);
  return result;
}

std::int64_t g_minMargin = std::numeric_limits<std::int64_t>::max();
std::uint64_t g_starvations = 0;

// One iteration plays the whole song in real time.
void RefillRun(benchmark::State& state) {
  const std::vector<SongEvent> song = DenseSong();
  for (auto _ : state) {
    const RunResult result = PlayOnce(song);
    g_minMargin = std::min(g_minMargin, result.stats.minMargin);
    g_starvations += result.stats.starvations;
    state.counters["refills"] = result.refills;
    state.counters["messages"] = static_cast<double>(result.events);
  }
  state.counters["min_margin_us"] = static_cast<double>(g_minMargin);
  state.counters["starvations"] = static_cast<double>(g_starvations);
}

BENCHMARK(RefillRun)
    ->Name("stream_refill/dense_song_500_percent")
    ->Iterations(kRuns)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quirelle::stream

int main(int argc, char** argv) {
  using namespace quirelle::stream;
  std::printf("song: %zu events, %u voices of 32nd notes, played at %u %% tempo, %d runs\n",
              DenseSong().size(), kVoices, kTempoPercent, kRuns);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("smallest margin between a refill and the moment its buffer was needed: %lld us\n",
              static_cast<long long>(g_minMargin));
  std::printf("starvations (goal 0): %llu\n", static_cast<unsigned long long>(g_starvations));
  std::printf("SUMMARY stream-refill: min_margin_us=%lld starvations=%llu\n",
              static_cast<long long>(g_minMargin), static_cast<unsigned long long>(g_starvations));
  return 0;
}
