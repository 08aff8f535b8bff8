// Audio output through FluidSynth's drivers.
#include "player/stream/synth/fluid_audio.h"

#include <algorithm>

#include "player/stream/synth/realtime_threads.h"

namespace quirelle::stream {
namespace {

// The output's threads' real-time priority when FluidSynth's settings do not give one.
constexpr int kAudioPriority = 60;

void CollectOption(void* data, const char* /*name*/, const char* option) {
  static_cast<std::vector<std::string>*>(data)->emplace_back(option);
}

}  // namespace

std::vector<std::string> PreferredAudioDrivers() {
  return {"pulseaudio", "pipewire", "alsa", "jack", "oss"};
}

std::vector<std::string> AvailableAudioDrivers(fluid_settings_t* settings,
                                               const std::vector<std::string>& preferred) {
  std::vector<std::string> known;
  fluid_settings_foreach_option(settings, "audio.driver", &known, CollectOption);
  std::vector<std::string> result;
  for (const std::string& name : preferred) {
    if (std::find(known.begin(), known.end(), name) != known.end()) {
      result.push_back(name);
    }
  }
  return result;
}

AudioPeriods AudioPeriodsFor(const std::string& driver, std::uint32_t sampleRate) {
  constexpr std::uint32_t kBlock = 64;
  const std::uint32_t buffer = sampleRate * kAudioBufferMillis / 1000;
  if (driver == "pulseaudio" || driver == "pipewire") {
    return {static_cast<int>((buffer + kBlock - 1) / kBlock * kBlock), 2};
  }
  const std::uint32_t period = buffer / kAudioPeriods;
  return {static_cast<int>((period + kBlock - 1) / kBlock * kBlock), kAudioPeriods};
}

OpenedAudio OpenAudioOutput(fluid_settings_t* settings, const AudioChoice& choice,
                            fluid_audio_func_t func, void* data) {
  double rate = 44100;
  fluid_settings_getnum(settings, "synth.sample-rate", &rate);
  // PulseAudio is asked for the latency the buffer makes, not its own default of 2 s.
  fluid_settings_setint(settings, "audio.pulseaudio.adjust-latency", 1);
  // Without this a JACK client would play into unconnected ports.
  fluid_settings_setint(settings, "audio.jack.autoconnect", 1);
  if (!choice.device.empty()) {
    fluid_settings_setstr(settings, "audio.alsa.device", choice.device.c_str());
  }
  const std::vector<std::string> wanted =
      choice.driver.empty() ? PreferredAudioDrivers() : std::vector<std::string>{choice.driver};
  OpenedAudio opened;
  for (const std::string& name : AvailableAudioDrivers(settings, wanted)) {
    if (fluid_settings_setstr(settings, "audio.driver", name.c_str()) != FLUID_OK) {
      continue;
    }
    const AudioPeriods periods = AudioPeriodsFor(name, static_cast<std::uint32_t>(rate));
    fluid_settings_setint(settings, "audio.period-size", periods.frames);
    fluid_settings_setint(settings, "audio.periods", periods.count);
    std::vector<pid_t> before = ThreadsOfProcess();
    opened.driver.reset(new_fluid_audio_driver2(settings, func, data));
    if (opened.driver) {
      opened.name = name;
      // FluidSynth's thread renders the blocks and hands them to the audio library, whose own
      // thread (PulseAudio's main loop) sends them on: either one kept waiting is a gap.
      int priority = kAudioPriority;
      fluid_settings_getint(settings, "audio.realtime-prio", &priority);
      std::sort(before.begin(), before.end());
      for (const pid_t thread : ThreadsOfProcess()) {
        if (!std::binary_search(before.begin(), before.end(), thread)) {
          if (std::string refused = MakeThreadRealtime(thread, priority); !refused.empty()) {
            opened.notRealtime = std::move(refused);
          }
        }
      }
      return opened;
    }
  }
  return opened;
}

}  // namespace quirelle::stream
