// Dropouts of the live output, heard as a listener hears them: a PulseAudio daemon of our own
// with a null sink (no session daemon needed), the engine playing 30 s of dense sustained chords
// through the live synthesizer while two busy loops load both cores, then again under four busy
// loops and a disk writer (load=4), and the sink's monitor recorded with parec. A gap is a run of
// at least 32 frames at exactly zero inside the sound (an underrun plays zeros; a synthesized chord
// never holds zero that long). The end is checked too: the release after the last note-off must be
// there, fade out (no cut above -54 dBFS before the final zeros) and be followed by nothing.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "player/midi_stream_player.h"
#include "player/stream/synth/synth_driver.h"
#include "tests/support/memory_file.h"
#include "tests/support/midi_image.h"
#include "tests/support/null_sink.h"

namespace {

using namespace quirelle;
namespace fs = std::filesystem;

constexpr std::uint32_t kRate = 44100;
constexpr int kSongSeconds = 30;
constexpr int kAfterSeconds = 4;  // recorded after the last note-off: the tail and what follows
constexpr std::size_t kGapFrames = 32;
constexpr std::size_t kEndFrames = kRate / 5;  // zeros this long after the song are its end
constexpr float kAudible = 0.001f;             // -60 dBFS
constexpr float kCutLevel = 0.002f;  // -54 dBFS: louder than this just before zeros is a cut

// Four channels (choir aahs, voice oohs, strings, organ) holding three-note chords that change
// every second, each chord starting as the last one ends, for kSongSeconds.
std::vector<std::uint8_t> ChordSong() {
  using testing::TrackData;
  constexpr std::uint32_t kSecond = 192;  // ticks: division 96 at 120 beats per minute
  std::vector<TrackData> tracks(1);
  tracks[0].Tempo(0, 500000).End(kSongSeconds * kSecond);
  const std::uint8_t programs[] = {52, 53, 48, 19};
  const int roots[] = {48, 53, 55, 50, 52, 57, 45, 47};
  for (std::uint8_t channel = 0; channel < 4; ++channel) {
    TrackData track;
    const auto on = static_cast<std::uint8_t>(0x90 | channel);
    track.Event(0, {static_cast<std::uint8_t>(0xC0 | channel), programs[channel]});
    for (int chord = 0; chord < kSongSeconds; ++chord) {
      const int root = roots[chord % 8] + 12 * (channel % 2);
      const int keys[] = {root, root + 4, root + 7};
      for (const int key : keys) {
        track.Event(0, {on, static_cast<std::uint8_t>(key), 90});
      }
      for (int i = 0; i < 3; ++i) {
        track.Event(i == 0 ? kSecond : 0, {on, static_cast<std::uint8_t>(keys[i]), 0});
      }
    }
    tracks.push_back(track.End());
  }
  return testing::MidiImage(1, 96, tracks);
}

struct Findings {
  bool heard = false;
  int gaps = 0;
  double worstMs = 0;
  bool tailOk = false;
  double tailMs = 0;  // from the last note-off to the last audible frame
};

float FramePeak(const std::vector<float>& s, std::size_t frame) {
  return std::max(std::fabs(s[2 * frame]), std::fabs(s[2 * frame + 1]));
}

Findings Analyse(const std::vector<float>& samples) {
  Findings found;
  const std::size_t frames = samples.size() / 2;
  std::size_t first = 0;
  while (first < frames && FramePeak(samples, first) == 0.0f) {
    ++first;
  }
  const std::size_t noteOff = first + static_cast<std::size_t>(kSongSeconds) * kRate;
  if (first == frames || noteOff >= frames) {
    return found;
  }
  found.heard = true;
  std::size_t lastAudible = noteOff;
  for (std::size_t f = noteOff; f < frames; ++f) {
    if (FramePeak(samples, f) >= kAudible) {
      lastAudible = f;
    }
  }
  found.tailMs = 1000.0 * static_cast<double>(lastAudible - noteOff) / kRate;
  // Zero runs inside the sound (the tail included) are gaps; a long one after the last note-off
  // is the end, which must come after a fade (no cut) and be the last (no sound after it).
  bool tailBroken = false;
  std::size_t run = 0;
  for (std::size_t f = first; f <= frames; ++f) {
    if (f < frames && FramePeak(samples, f) == 0.0f) {
      ++run;
      continue;
    }
    const std::size_t start = f - run;
    if (run >= kEndFrames && start >= noteOff) {
      const bool cut = FramePeak(samples, start - 1) >= kCutLevel;
      const bool soundAfter = f < frames && lastAudible > start;
      tailBroken = tailBroken || cut || soundAfter;
    } else if (run >= kGapFrames && f < frames) {
      ++found.gaps;
      found.worstMs = std::max(found.worstMs, 1000.0 * static_cast<double>(run) / kRate);
    }
    run = 0;
  }
  found.tailOk = !tailBroken && found.tailMs >= 100 && found.tailMs <= 3200;
  return found;
}

// One run: the song played while `loadProcesses` busy loops (and with `diskWriter`, a loop
// writing and syncing a file) load the machine; false when nothing could be heard.
bool Run(testing::NullSinkServer& server, int loadProcesses, bool diskWriter,
         const fs::path& scratch) {
  if (!server.StartRecording()) {
    std::fprintf(stderr, "audio-dropouts: parec did not start (pulseaudio-utils installed?)\n");
    return false;
  }
  std::vector<std::unique_ptr<testing::Child>> load;
  for (int i = 0; i < loadProcesses; ++i) {
    load.push_back(std::make_unique<testing::Child>(
        testing::Spawn({"sh", "-c", "while :; do :; done"}), SIGTERM));
  }
  if (diskWriter) {
    const std::string file = (scratch / "disk-load").string();
    load.push_back(std::make_unique<testing::Child>(
        testing::Spawn({"sh", "-c",
                        "while :; do dd if=/dev/zero of='" + file +
                            "' bs=1M count=64 conv=fsync 2>/dev/null; done"}),
        SIGTERM));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));

  stream::SynthOptions options;
  options.audio = {"pulseaudio", ""};
  const std::unique_ptr<stream::SynthDriver> driver = stream::MakeLiveSynthDriver(options);
  {
    player::CMidiStreamPlayer engine(*driver);
    testing::MemoryFile song(ChordSong());
    if (engine.LoadFromFile(song) == 0 || engine.Play(false) == 0) {
      std::fprintf(stderr, "audio-dropouts: the song could not play: %s\n",
                   engine.lastOpenError().c_str());
      return false;
    }
    std::this_thread::sleep_for(std::chrono::seconds(kSongSeconds + kAfterSeconds));
  }
  load.clear();
  std::error_code ignored;
  fs::remove(scratch / "disk-load", ignored);
  const Findings found = Analyse(server.StopRecording());
  if (!found.heard) {
    std::fprintf(stderr, "audio-dropouts: nothing was recorded from the null sink\n");
    return false;
  }
  std::printf(
      "audio-dropouts: %d s of chords under %d busy loops%s, %d gaps, the worst %.1f ms; tail "
      "%.0f ms after the last note-off\n",
      kSongSeconds, loadProcesses, diskWriter ? " and a disk writer" : "", found.gaps,
      found.worstMs, found.tailMs);
  std::printf("SUMMARY audio-dropouts: gaps=%d worst_ms=%.1f load=%d tail_ok=%d\n", found.gaps,
              found.worstMs, loadProcesses, found.tailOk ? 1 : 0);
  return true;
}

}  // namespace

int main() {
  testing::NullSinkServer server({.rate = kRate, .channels = 2, .realtime = true});
  if (!server.ready()) {
    std::fprintf(stderr,
                 "audio-dropouts: the PulseAudio daemon did not start (pulseaudio and "
                 "pulseaudio-utils installed?)\n");
    return 1;
  }
  const fs::path scratch = fs::temp_directory_path();
  // Both cores busy; then twice as many busy loops as cores and a disk that syncs.
  return Run(server, 2, false, scratch) && Run(server, 4, true, scratch) ? 0 : 1;
}
