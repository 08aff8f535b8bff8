// FluidSynth settings, synthesizer and SoundFont set-up.
#include "player/stream/synth/fluid_handles.h"

#include <mutex>
#include <utility>

#include "midi/vocabulary.h"
#include "player/stream/synth/synth_library_log.h"

namespace quirelle::stream {

std::mutex& SampleCacheLock() {
  static std::mutex lock;
  return lock;
}

void FluidSynthDeleter::operator()(fluid_synth_t* synth) const {
  std::lock_guard lock(SampleCacheLock());
  delete_fluid_synth(synth);
}

FluidSettingsPtr MakeFluidSettings(const FluidSetup& setup) {
  LibraryLog::Install();
  FluidSettingsPtr settings(new_fluid_settings());
  if (!settings) {
    return settings;
  }
  fluid_settings_setnum(settings.get(), "synth.sample-rate", static_cast<double>(setup.sampleRate));
  fluid_settings_setnum(settings.get(), "synth.gain", setup.gain);
  // One rendering thread: the output then depends only on the events and their samples.
  fluid_settings_setint(settings.get(), "synth.cpu-cores", 1);
  fluid_settings_setint(settings.get(), "synth.threadsafe-api", 1);
  if (setup.outputs > 1) {
    const auto outputs = static_cast<int>(setup.outputs);
    fluid_settings_setint(settings.get(), "synth.audio-groups", outputs);
    fluid_settings_setint(settings.get(), "synth.audio-channels", outputs);
    fluid_settings_setint(settings.get(), "synth.effects-groups", outputs);
    fluid_settings_setint(settings.get(), "synth.midi-channels", outputs * midi::kChannels);
  }
  if (setup.offline) {
    fluid_settings_setint(settings.get(), "synth.dynamic-sample-loading", 1);
    fluid_settings_setint(settings.get(), "synth.lock-memory", 0);
  }
  // No MIDI input, no shell, no lash: the synthesizer only hears this program.
  fluid_settings_setint(settings.get(), "synth.verbose", 0);
  return settings;
}

FluidSynthInstance MakeFluidSynth(FluidSettingsPtr settings, const FluidSetup& setup,
                                  MMRESULT* code, std::string* reason) {
  FluidSynthInstance instance;
  instance.settings = std::move(settings);
  if (!instance.settings) {
    *code = MMSYSERR_NOMEM;
    *reason = "the synthesizer settings could not be made";
    return instance;
  }
  // FluidSynth also fills its shared tables when the first synthesizer is made.
  FluidSynthPtr synth;
  {
    std::lock_guard lock(SampleCacheLock());
    synth.reset(new_fluid_synth(instance.settings.get()));
  }
  if (!synth) {
    *code = MMSYSERR_NOMEM;
    *reason = "the synthesizer could not be made";
    return instance;
  }
  // The SoundFont is read without the lock (the longest part, and each synthesizer's own); only
  // selecting its presets, which loads their samples, takes it.
  const int id = fluid_synth_sfload(synth.get(), setup.soundFontPath.c_str(), 0);
  if (id == FLUID_FAILED) {
    *code = MMSYSERR_ERROR;
    *reason = "SoundFont " + setup.soundFontPath + " could not be loaded";
    return instance;
  }
  {
    std::lock_guard lock(SampleCacheLock());
    fluid_synth_program_reset(synth.get());
  }
  instance.soundFont = FluidSoundFont{id, setup.soundFontPath};
  instance.synth = std::move(synth);
  return instance;
}

}  // namespace quirelle::stream
