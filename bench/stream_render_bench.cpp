// Offline render speed: three real songs of different density through the engine and our
// offline synthesizer into a WAV file, against the FluidSynth command line (fluidsynth -ni -F)
// with the same settings: the same SoundFont, sample rate and gain, dynamic sample loading and one
// rendering thread on both sides, 16-bit stereo WAV out. Both times include loading the SoundFont
// and writing the file. Speed is the real-time factor, seconds of audio written per second of
// wall time (the two sides end their files differently: the command line plays on after the last
// event, we add a release tail); each side's best of three runs per song, taken in turns, counts.
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

struct Song {
  const char* name;
  std::string path;
};

std::string Corpus(const char* file) {
  return std::string(QUIRELLE_CORPUS_DIR) + "/" + file;
}

// Sparse to dense: a four-voice hymn, a two-voice keyboard invention, a General MIDI arrangement.
const std::vector<Song> kSongs = {
    {"hymn", Corpus("abc2midi/satb1_old_hundredth.mid")},
    {"invention", Corpus("debian-playmidi/doc__playmidi__examples__bach-invention-01.mid")},
    {"arrangement", Corpus("debian-playmidi/doc__playmidi__examples__gmstriving.mid")},
};

std::string TempWav(const char* who) {
  return (std::filesystem::temp_directory_path() /
          ("quirelle-render-bench-" + std::to_string(::getpid()) + "-" + who + ".wav"))
      .string();
}

struct Run {
  double seconds = std::numeric_limits<double>::quiet_NaN();     // wall time
  double audioSeconds = 0;                                       // in the file written
  double cpuSeconds = std::numeric_limits<double>::quiet_NaN();  // user + system, all threads
  double Factor() const { return audioSeconds / seconds; }
};

// CPU time used so far by this process (every thread) or by its finished children.
double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Seconds of 16-bit stereo audio in a WAV file at kSampleRate (a 44-byte header on both sides).
double AudioSeconds(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error || size < 44 ? 0 : static_cast<double>(size - 44) / 4.0 / kSampleRate;
}

// The engine plays the song to its end on the offline synthesizer.
Run RenderOurs(const Song& song, const std::string& soundFont) {
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
    if (!file.Open(song.path) || engine.LoadFromFile(file) == 0 || engine.Play(false) == 0) {
      std::fprintf(stderr, "our render of %s could not start: %s\n", song.path.c_str(),
                   driver->LastErrorText().c_str());
      return {};
    }
    driver->WaitUntilClosed();
  }
  if (!driver->Finish()) {
    std::fprintf(stderr, "our render failed: %s\n", driver->FinishError().c_str());
    return {};
  }
  Run run{std::chrono::duration<double>(Clock::now() - start).count(), AudioSeconds(wav),
          CpuSeconds(RUSAGE_SELF) - cpuStart};
  std::filesystem::remove(wav);
  return run;
}

// The command line with our synthesizer's settings: dynamic sample loading, memory not locked,
// one rendering thread, the same gain and rate, a 16-bit WAV file.
Run RenderCli(const Song& song, const std::string& soundFont) {
  const std::string wav = TempWav("cli");
  char gain[32];
  std::snprintf(gain, sizeof gain, "%.3f", kGain);
  const std::string command =
      "fluidsynth -ni -q -o synth.dynamic-sample-loading=1 -o synth.lock-memory=0"
      " -o synth.cpu-cores=1 -g " +
      std::string(gain) + " -r " + std::to_string(kSampleRate) + " -T wav -O s16 -F '" + wav +
      "' '" + soundFont + "' '" + song.path + "' >/dev/null 2>&1";
  const double cpuStart = CpuSeconds(RUSAGE_CHILDREN);
  const Clock::time_point start = Clock::now();
  if (std::system(command.c_str()) != 0 || AudioSeconds(wav) == 0) {
    std::fprintf(stderr, "fluidsynth could not render (is the fluidsynth package installed?)\n");
    return {};
  }
  Run run{std::chrono::duration<double>(Clock::now() - start).count(), AudioSeconds(wav),
          CpuSeconds(RUSAGE_CHILDREN) - cpuStart};
  std::filesystem::remove(wav);
  return run;
}

std::vector<std::vector<Run>> oursRuns(kSongs.size());
std::vector<std::vector<Run>> cliRuns(kSongs.size());

std::string SoundFont() {
  return stream::FindSoundFont("").value_or("");
}

// One iteration renders every song both ways, one side after the other, so that a change in the
// load of the machine weighs on both sides alike.
void BM_RenderOursThenFluidsynth(benchmark::State& state) {
  for (auto _ : state) {
    double ours = 0;
    double cli = 0;
    for (std::size_t i = 0; i < kSongs.size(); ++i) {
      oursRuns[i].push_back(RenderOurs(kSongs[i], SoundFont()));
      cliRuns[i].push_back(RenderCli(kSongs[i], SoundFont()));
      ours += std::isnan(oursRuns[i].back().seconds) ? 0.0 : oursRuns[i].back().seconds;
      cli += std::isnan(cliRuns[i].back().seconds) ? 0.0 : cliRuns[i].back().seconds;
    }
    state.SetIterationTime(ours);
    state.counters["fluidsynth_s"] = cli;
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
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("soundfont: %s, %u Hz, gain %.2f\n", SoundFont().c_str(), kSampleRate, kGain);
  std::string perSong;
  double oursAudio = 0, oursWall = 0, cliAudio = 0, cliWall = 0;
  bool complete = true;
  for (std::size_t i = 0; i < kSongs.size(); ++i) {
    const Run ours = Best(oursRuns[i]);
    const Run cli = Best(cliRuns[i]);
    complete = complete && !std::isnan(ours.seconds) && !std::isnan(cli.seconds);
    std::printf(
        "%s (%s): ours %.1f s of audio in %.3f s (cpu %.3f s), x%.1f real time; "
        "fluidsynth -F %.1f s in %.3f s (cpu %.3f s), x%.1f real time\n",
        kSongs[i].name, kSongs[i].path.c_str(), ours.audioSeconds, ours.seconds, ours.cpuSeconds,
        ours.Factor(), cli.audioSeconds, cli.seconds, cli.cpuSeconds, cli.Factor());
    char part[160];
    std::snprintf(part, sizeof part, " %s=%.1f/%.1f", kSongs[i].name, ours.Factor(), cli.Factor());
    perSong += part;
    oursAudio += ours.audioSeconds;
    oursWall += ours.seconds;
    cliAudio += cli.audioSeconds;
    cliWall += cli.seconds;
  }
  const double oursFactor = oursAudio / oursWall;
  const double cliFactor = cliAudio / cliWall;
  // Per song: our real-time factor / the command line's; then both over all three songs.
  std::printf(
      "SUMMARY stream-render: rtf ours/fluidsynth%s; all songs ours=%.1f fluidsynth=%.1f"
      " ratio=%.2f\n",
      perSong.c_str(), oursFactor, cliFactor, oursFactor / cliFactor);
  return complete ? 0 : 1;
}
