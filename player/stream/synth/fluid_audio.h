// Opens a FluidSynth audio driver that pulls its blocks from a callback, trying the audio systems
// this FluidSynth build offers in a fixed order of preference.
#pragma once

#include <string>
#include <vector>

#include "player/stream/synth/fluid_handles.h"

namespace quirelle::stream {

// Frames per audio callback asked of the driver, and how many such periods it buffers
// (4 x 256 frames is about 23 ms at 44.1 kHz).
inline constexpr int kAudioPeriodFrames = 256;
inline constexpr int kAudioPeriods = 4;

// The drivers tried, best first. "sdl2" is left out (it cannot call back), and so is "file"
// (it writes a file, it is not an output).
std::vector<std::string> PreferredAudioDrivers();

// The drivers of `preferred` that `settings` knows, in the order of `preferred`.
std::vector<std::string> AvailableAudioDrivers(fluid_settings_t* settings,
                                               const std::vector<std::string>& preferred);

struct OpenedAudio {
  FluidAudioDriverPtr driver;  // null when no output could be opened
  std::string name;            // the audio system that opened
};

// Tries each available driver in turn (only `choice.driver` when it names one) with `func` /
// `data` as the block callback. The period settings are written into `settings`.
OpenedAudio OpenAudioOutput(fluid_settings_t* settings, const AudioChoice& choice,
                            fluid_audio_func_t func, void* data);

}  // namespace quirelle::stream
