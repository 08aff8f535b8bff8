// The rehearsal set of a song against one plain render of it: quirelle-render --parts (the four
// voices' tracks and the tutti) over quirelle-render -o, and five FluidSynth command-line renders
// (what making the set one file after another with it costs) over our --parts. Wall times, best
// of five runs taken in turns, so that a change in the load of the machine weighs on every side.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <thread>

#include "player/stream/synth/soundfont.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 5;
constexpr int kSetFiles = 5;
const std::string kSong = std::string(QUIRELLE_CORPUS_DIR) + "/abc2midi/satb1_old_hundredth.mid";

std::string Quote(const std::string& text) {
  return "'" + text + "'";
}

// Wall seconds of `command`; infinity when it fails.
double Seconds(const std::string& command) {
  const Clock::time_point start = Clock::now();
  if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) {
    std::fprintf(stderr, "parts-set: failed: %s\n", command.c_str());
    return std::numeric_limits<double>::infinity();
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main() {
  const std::string soundFont = quirelle::stream::FindSoundFont("").value_or("");
  if (soundFont.empty()) {
    std::fprintf(stderr, "parts-set: no General MIDI SoundFont installed\n");
    return 1;
  }
  const fs::path dir = fs::temp_directory_path() / ("quirelle-parts-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string render = std::string(QUIRELLE_RENDER_BIN) + " ";
  const std::string fluidsynth =
      "fluidsynth -ni -q -o synth.dynamic-sample-loading=1 -o synth.lock-memory=0"
      " -o synth.cpu-cores=1 -g 0.5 -r 44100 -T wav -O s16 -F " +
      Quote((dir / "cli.wav").string()) + " " + Quote(soundFont) + " " + Quote(kSong);
  double plain = std::numeric_limits<double>::infinity();
  double parts = plain;
  double cli = plain;
  for (int run = 0; run < kRuns; ++run) {
    plain = std::min(
        plain, Seconds(render + "-o " + Quote((dir / "plain.wav").string()) + " " + Quote(kSong)));
    parts = std::min(
        parts, Seconds(render + "--parts " + Quote((dir / "set").string()) + " " + Quote(kSong)));
    double five = 0;
    for (int file = 0; file < kSetFiles; ++file) {
      five += Seconds(fluidsynth);
    }
    cli = std::min(cli, five);
  }
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  std::printf(
      "parts-set: %s: one render %.3f s, --parts %.3f s, five fluidsynth -F %.3f s, %u "
      "cores\n",
      kSong.c_str(), plain, parts, cli, std::thread::hardware_concurrency());
  std::printf("SUMMARY parts-set: ratio=%.2f fluidsynth5/ours=%.2f\n", parts / plain, cli / parts);
  return 0;
}
