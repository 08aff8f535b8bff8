// Offline render speed: one real song through the engine and our offline synthesizer into a WAV
// file, against the FluidSynth command line (fluidsynth -ni -F) with the same SoundFont, sample
// rate and gain. Both times include loading the SoundFont and writing the file; each side's best
// of three runs, taken in turns, counts.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "platform/readable_file.h"
#include "player/midi_stream_player.h"
#include "player/stream/synth/soundfont.h"
#include "player/stream/synth/synth_driver.h"

namespace {

using namespace quirelle;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kSampleRate = 44100;
constexpr double kGain = stream::kDefaultSynthGain;

const std::string kSong = std::string(QUIRELLE_CORPUS_DIR) +
                          "/debian-openttd-openmsx/"
                          "games__openttd__baseset__openmsx__keep_on_rolling.mid";

std::string TempWav(const char* who) {
  return (std::filesystem::temp_directory_path() /
          ("quirelle-render-bench-" + std::to_string(::getpid()) + "-" + who + ".wav"))
      .string();
}

struct Run {
  double seconds = std::numeric_limits<double>::quiet_NaN();
  std::uint64_t bytes = 0;
  double cpuSeconds = std::numeric_limits<double>::quiet_NaN();  // user + system, all threads
};

// CPU time used so far by this process (every thread) or by its finished children.
double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::uint64_t FileBytes(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? 0 : static_cast<std::uint64_t>(size);
}

// The engine plays the song to its end on the offline synthesizer.
Run RenderOurs(const std::string& soundFont) {
  const std::string wav = TempWav("ours");
  const double cpuStart = CpuSeconds(RUSAGE_SELF);
  const Clock::time_point start = Clock::now();
  stream::SynthOptions options;
  options.soundFont = soundFont;
  options.sampleRate = kSampleRate;
  options.gain = kGain;
  std::unique_ptr<stream::OfflineSynthDriver> driver = stream::MakeOfflineSynthDriver(options, wav);
  {
    player::CMidiStreamPlayer engine(*driver);
    platform::PosixFile file;
    if (!file.Open(kSong) || engine.LoadFromFile(file) == 0 || engine.Play(false) == 0) {
      std::fprintf(stderr, "our render could not start: %s\n", driver->LastErrorText().c_str());
      return {};
    }
    driver->WaitUntilClosed();
  }
  if (!driver->Finish()) {
    std::fprintf(stderr, "our render failed: %s\n", driver->FinishError().c_str());
    return {};
  }
  Run run{std::chrono::duration<double>(Clock::now() - start).count(), FileBytes(wav),
          CpuSeconds(RUSAGE_SELF) - cpuStart};
  std::filesystem::remove(wav);
  return run;
}

Run RenderCli(const std::string& soundFont) {
  const std::string wav = TempWav("cli");
  char gain[32];
  std::snprintf(gain, sizeof gain, "%.3f", kGain);
  const std::string command = "fluidsynth -ni -q -g " + std::string(gain) + " -r " +
                              std::to_string(kSampleRate) + " -F '" + wav + "' '" + soundFont +
                              "' '" + kSong + "' >/dev/null 2>&1";
  const double cpuStart = CpuSeconds(RUSAGE_CHILDREN);
  const Clock::time_point start = Clock::now();
  if (std::system(command.c_str()) != 0 || FileBytes(wav) == 0) {
    std::fprintf(stderr, "fluidsynth could not render (is the fluidsynth package installed?)\n");
    return {};
  }
  Run run{std::chrono::duration<double>(Clock::now() - start).count(), FileBytes(wav),
          CpuSeconds(RUSAGE_CHILDREN) - cpuStart};
  std::filesystem::remove(wav);
  return run;
}

std::vector<Run> oursRuns;
std::vector<Run> cliRuns;

std::string SoundFont() {
  return stream::FindSoundFont("").value_or("");
}

// One iteration renders the song both ways, one after the other, so that a change in the load of
// the machine weighs on both sides alike.
void BM_RenderOursThenFluidsynth(benchmark::State& state) {
  for (auto _ : state) {
    const Run ours = RenderOurs(SoundFont());
    const Run cli = RenderCli(SoundFont());
    oursRuns.push_back(ours);
    cliRuns.push_back(cli);
    state.SetIterationTime(std::isnan(ours.seconds) ? 0.0 : ours.seconds);
    state.counters["fluidsynth_s"] = std::isnan(cli.seconds) ? 0.0 : cli.seconds;
  }
}

BENCHMARK(BM_RenderOursThenFluidsynth)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);

Run Best(const std::vector<Run>& runs) {
  Run best;
  for (const Run& run : runs) {
    if (!std::isnan(run.seconds) && (std::isnan(best.seconds) || run.seconds < best.seconds)) {
      best = run;
    }
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (SoundFont().empty()) {
    std::fprintf(stderr, "no General MIDI SoundFont installed\n");
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const Run ours = Best(oursRuns);
  const Run cli = Best(cliRuns);
  std::printf("song: %s\n", kSong.c_str());
  // Audio seconds in each file (16-bit stereo after a 44-byte header): the command line plays on
  // after the last event, we stop there and add the release tail.
  const auto audio = [](const Run& run) { return (run.bytes - 44) / 4.0 / kSampleRate; };
  std::printf("ours: %.3f s (cpu %.3f s) for %.1f s of audio\n", ours.seconds, ours.cpuSeconds,
              audio(ours));
  std::printf("fluidsynth -F: %.3f s (cpu %.3f s) for %.1f s of audio\n", cli.seconds,
              cli.cpuSeconds, audio(cli));
  std::printf("SUMMARY stream-render: ours_s=%.3f fluidsynth_s=%.3f speedup=%.2f\n", ours.seconds,
              cli.seconds, cli.seconds / ours.seconds);
  return 0;
}
