// The gap at a passage's jump back to its start, in samples of the offline render: a song of
// three bars with a side-stick click on each bar line plays bar 2 four times, and its clicks must
// fall where those of a plain song of four such bars fall. (Both are rendered: the synthesizer
// starts notes on its 64-sample block boundaries, so bar lines 88200 samples apart come out
// 88192 or 88256 apart in either.)
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "player/midi_stream_player.h"
#include "player/stream/synth/synth_driver.h"
#include "tests/stream/synth_wav_reader.h"
#include "tests/support/memory_file.h"
#include "tests/support/midi_image.h"

namespace quirelle {
namespace {

constexpr std::uint32_t kSampleRate = 44100;
constexpr std::uint32_t kBarSamples = 2 * kSampleRate;  // 4/4 at 500000 µs a quarter
constexpr std::uint32_t kPlays = 4;
constexpr int kThreshold = 300;                    // of 32767: well above the silence
constexpr std::uint64_t kQuiet = kSampleRate / 2;  // silence before an onset

testing::Bytes ClickOnEveryBarLine(int bars) {
  testing::TrackData track;
  track.Tempo(0, 500000);
  for (int bar = 0; bar < bars; ++bar) {
    track.Event(bar == 0 ? 0 : 1920 - 120, {0x99, 37, 110}).Event(120, {0x89, 37, 0});
  }
  return testing::MidiImage(0, 480, {track.End(1920 - 120)});
}

// Sample frames at which a sound starts after at least kQuiet frames of silence.
std::vector<std::uint64_t> Onsets(const stream::testing::WavContents& wav) {
  std::vector<std::uint64_t> onsets;
  std::uint64_t quiet = kQuiet;
  for (std::uint64_t frame = 0; frame < wav.frames(); ++frame) {
    bool loud = false;
    for (int c = 0; c < wav.channels; ++c) {
      loud = loud || std::abs(wav.samples[frame * static_cast<std::uint64_t>(wav.channels) +
                                          static_cast<std::uint64_t>(c)]) > kThreshold;
    }
    if (loud && quiet >= kQuiet) {
      onsets.push_back(frame);
    }
    quiet = loud ? 0 : quiet + 1;
  }
  return onsets;
}

// The click onsets of `song` played as `passage` on the offline synthesizer; empty on failure.
std::vector<std::uint64_t> RenderOnsets(const testing::Bytes& song,
                                        const player::Passage& passage) {
  const std::string wav = (std::filesystem::temp_directory_path() /
                           ("quirelle-loop-jump-" + std::to_string(::getpid()) + ".wav"))
                              .string();
  stream::SynthOptions options;
  options.sampleRate = kSampleRate;
  auto driver = stream::MakeOfflineSynthDriver(options, wav);
  {
    player::CMidiStreamPlayer engine(*driver);
    engine.SetPassage(passage);
    testing::MemoryFile file(song);
    if (engine.LoadFromFile(file) == 0 || engine.Play(false) == 0) {
      std::fprintf(stderr, "loop-jump: the song could not start: %s\n",
                   driver->LastErrorText().c_str());
      return {};
    }
    driver->WaitUntilClosed();
  }
  if (!driver->Finish()) {
    std::fprintf(stderr, "loop-jump: the render failed: %s\n", driver->FinishError().c_str());
    return {};
  }
  const stream::testing::WavContents contents = stream::testing::ReadWav(wav);
  std::filesystem::remove(wav);
  return contents.ok ? Onsets(contents) : std::vector<std::uint64_t>{};
}

int Run() {
  const auto looped =
      RenderOnsets(ClickOnEveryBarLine(3), player::Passage{1920, 3840, kPlays, false});
  const auto plain = RenderOnsets(ClickOnEveryBarLine(kPlays), player::Passage{});
  if (looped.size() != kPlays || plain.size() != kPlays) {
    std::fprintf(stderr, "loop-jump: %zu and %zu clicks heard, %u expected\n", looped.size(),
                 plain.size(), kPlays);
    return 1;
  }
  long long worst = 0;
  for (std::size_t i = 1; i < kPlays; ++i) {
    const auto apart = static_cast<long long>(looped[i] - looped[i - 1]);
    const long long gap = apart - static_cast<long long>(plain[i] - plain[i - 1]);
    std::printf("jump %zu: clicks %lld samples apart (bar %u), gap %lld\n", i, apart, kBarSamples,
                gap);
    worst = std::llabs(gap) > std::llabs(worst) ? gap : worst;
  }
  std::printf("SUMMARY loop-jump: gap_samples=%lld jumps=%u\n", worst, kPlays - 1);
  return 0;
}

}  // namespace
}  // namespace quirelle

int main() {
  return quirelle::Run();
}
