// Opens a FluidSynth audio driver that pulls its blocks from a callback, trying the audio systems
// this FluidSynth build offers in a fixed order of preference.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "player/stream/synth/fluid_handles.h"

namespace quirelle::stream {

// The live output's buffer: long enough that a busy machine never lets it run dry, short enough
// that tempo, volume, pause and stop are heard within 100 ms (a block is rendered ahead of the
// buffer, so a change waits at most a period plus the buffer).
inline constexpr std::uint32_t kAudioBufferMillis = 40;
inline constexpr int kAudioPeriods = 4;

// FluidSynth's period size and count for `driver` at `sampleRate`: PulseAudio and PipeWire take
// one period as their whole buffer, so theirs is the whole buffer, in two periods counted; the
// others buffer kAudioPeriods periods. Periods are whole 64-frame blocks.
struct AudioPeriods {
  int frames = 0;
  int count = 0;
};
AudioPeriods AudioPeriodsFor(const std::string& driver, std::uint32_t sampleRate);

// The drivers tried, best first. "sdl2" is left out (it cannot call back), and so is "file"
// (it writes a file, it is not an output).
std::vector<std::string> PreferredAudioDrivers();

// The drivers of `preferred` that `settings` knows, in the order of `preferred`.
std::vector<std::string> AvailableAudioDrivers(fluid_settings_t* settings,
                                               const std::vector<std::string>& preferred);

struct OpenedAudio {
  FluidAudioDriverPtr driver;  // null when no output could be opened
  std::string name;            // the audio system that opened
  // Empty when the output's threads (FluidSynth's and its audio library's) run in real time,
  // else why they do not.
  std::string notRealtime;
};

// Tries each available driver in turn (only `choice.driver` when it names one) with `func` /
// `data` as the block callback, and puts the threads the opened driver started in real time
// where the system grants it. The period settings are written into `settings`.
OpenedAudio OpenAudioOutput(fluid_settings_t* settings, const AudioChoice& choice,
                            fluid_audio_func_t func, void* data);

}  // namespace quirelle::stream
