// Reopen cost on the window's thread: what Rewind, Open and the reload at a song's end do (stop
// the song, load the file again, open the live synthesizer device), with the default SoundFont.
// The audio goes to ALSA's null output so that the benchmark runs without a sound card. Prints
// the median of 20 cycles and the first song's start as the window sees it: the SoundFont loaded
// in the background since start-up, the time from loading the song and Play to its first audio
// block (the position moving).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/readable_file.h"
#include "player/midi_stream_player.h"
#include "player/stream/synth/synth_driver.h"

namespace {

using namespace quirelle;
using Clock = std::chrono::steady_clock;

constexpr int kCycles = 20;

const std::string kSong = std::string(QUIRELLE_CORPUS_DIR) + "/abc2midi/satb1_old_hundredth.mid";

double MillisSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool Load(player::CMidiStreamPlayer& engine) {
  platform::PosixFile file;
  return file.Open(kSong) && engine.LoadFromFile(file) != 0;
}

}  // namespace

int main() {
  stream::SynthOptions options;
  options.audio = {"alsa", "null"};
  const std::unique_ptr<stream::SynthDriver> driver = stream::MakeLiveSynthDriver(options);
  player::CMidiStreamPlayer engine(*driver);

  const Clock::time_point loadStart = Clock::now();
  driver->PrepareInBackground();
  driver->WaitUntilPrepared();
  const double soundFontMs = MillisSince(loadStart);

  const Clock::time_point load = Clock::now();
  if (!Load(engine)) {
    std::fprintf(stderr, "engine-reopen: %s cannot be played: %s\n", kSong.c_str(),
                 engine.lastOpenError().c_str());
    return 1;
  }
  const double loadMs = MillisSince(load);
  const Clock::time_point first = Clock::now();
  engine.Play(false);
  stream::MMTIME position{};
  do {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    position = {};
    position.wType = stream::TIME_MS;
    engine.GetPosition(&position);
  } while (position.u.ms == 0 && MillisSince(first) < 5000);
  const double firstMs = MillisSince(first);
  engine.Stop();
  if (!Load(engine)) {
    std::fprintf(stderr, "engine-reopen: the reload failed: %s\n", engine.lastOpenError().c_str());
    return 1;
  }

  std::vector<double> cycles;
  for (int i = 0; i < kCycles; ++i) {
    engine.Play(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const Clock::time_point start = Clock::now();
    engine.Stop();
    if (!Load(engine)) {
      std::fprintf(stderr, "engine-reopen: reload %d failed: %s\n", i,
                   engine.lastOpenError().c_str());
      return 1;
    }
    cycles.push_back(MillisSince(start));
  }
  std::sort(cycles.begin(), cycles.end());
  const double median = (cycles[kCycles / 2 - 1] + cycles[kCycles / 2]) / 2;
  std::printf(
      "engine-reopen: SoundFont loaded in the background in %.1f ms; the first song's load "
      "%.1f ms, its first block %.1f ms after Play; slowest reopen %.1f ms\n",
      soundFontMs, loadMs, firstMs, cycles.back());
  std::printf("SUMMARY engine-reopen: median_ms=%.1f first_ms=%.1f\n", median, firstMs);
  return 0;
}
