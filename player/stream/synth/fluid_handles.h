// Owning handles for FluidSynth objects, and one synthesizer with its SoundFont loaded. The
// members of FluidSynthInstance are declared so that they go in the order FluidSynth needs: the
// synthesizer (with its SoundFont) before its settings.
#pragma once

#include <fluidsynth.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "player/stream/mmsystem.h"

namespace quirelle::stream {

struct FluidSettingsDeleter {
  void operator()(fluid_settings_t* settings) const { delete_fluid_settings(settings); }
};
struct FluidSynthDeleter {
  void operator()(fluid_synth_t* synth) const;  // under SampleCacheLock()
};
struct FluidAudioDriverDeleter {
  void operator()(fluid_audio_driver_t* driver) const { delete_fluid_audio_driver(driver); }
};

// FluidSynth keeps one sample cache for all the synthesizers of a process, behind a GLib lock that
// ThreadSanitizer does not see. Whatever may load or free samples (a synthesizer made or deleted,
// its presets selected by a program change or a reset) also holds this lock, so that synthesizers
// on several threads (a rehearsal set's stems) are checked like the rest of the program.
std::mutex& SampleCacheLock();

using FluidSettingsPtr = std::unique_ptr<fluid_settings_t, FluidSettingsDeleter>;
using FluidSynthPtr = std::unique_ptr<fluid_synth_t, FluidSynthDeleter>;
using FluidAudioDriverPtr = std::unique_ptr<fluid_audio_driver_t, FluidAudioDriverDeleter>;

// A SoundFont loaded into a synthesizer. The synthesizer owns it and frees it with itself:
// unloading it earlier while a voice still sounds would make FluidSynth start a timer thread.
struct FluidSoundFont {
  int id = -1;
  std::string path;
};

// Which audio output a live synthesizer plays through.
struct AudioChoice {
  std::string driver;  // a FluidSynth audio driver name; empty: the first that opens, best first
  std::string device;  // for "alsa": the PCM ("null" plays nowhere, for benchmarks); empty: default
};

// How a synthesizer is set up.
struct FluidSetup {
  std::string soundFontPath;
  std::uint32_t sampleRate = 44100;
  double gain = 0.5;
  // Offline rendering loads only the samples of the instruments a song selects, when it selects
  // them, and does not pin them in memory; live playing keeps FluidSynth's defaults (all samples
  // loaded and locked, so the audio thread never waits for the disk).
  bool offline = false;
  AudioChoice audio;  // live only
  // Stereo outputs, each with effects of its own: FluidSynth's channel c sounds in output
  // c % outputs. With more than one there are 16 channels for each output (see fluid_renderer.h).
  std::uint32_t outputs = 1;
};

// Settings, synthesizer and SoundFont of one stream device.
struct FluidSynthInstance {
  FluidSettingsPtr settings;
  FluidSynthPtr synth;
  FluidSoundFont soundFont;
};

// Makes the settings for `setup` (no synthesizer yet: audio settings may still be added).
FluidSettingsPtr MakeFluidSettings(const FluidSetup& setup);

// Creates the synthesizer on `settings` and loads the SoundFont. On failure returns an instance
// without a synthesizer and sets *code and *reason.
FluidSynthInstance MakeFluidSynth(FluidSettingsPtr settings, const FluidSetup& setup,
                                  MMRESULT* code, std::string* reason);

}  // namespace quirelle::stream
