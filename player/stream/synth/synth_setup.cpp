// Synthesizer options checked and turned into a FluidSynth set-up.
#include "player/stream/synth/synth_setup.h"

#include <cmath>
#include <optional>

#include "player/stream/synth/fluid_renderer.h"
#include "player/stream/synth/soundfont.h"

namespace quirelle::stream {

std::string CheckSynthOptions(const SynthOptions& options) {
  if (options.sampleRate < kMinSampleRate || options.sampleRate > kMaxSampleRate) {
    return "sample rate " + std::to_string(options.sampleRate) + " Hz is not supported (" +
           std::to_string(kMinSampleRate) + " to " + std::to_string(kMaxSampleRate) + " Hz)";
  }
  if (!std::isfinite(options.gain) || options.gain < 0.0 || options.gain > kMaxSynthGain) {
    return "gain must be between 0 and " + std::to_string(static_cast<int>(kMaxSynthGain));
  }
  return {};
}

bool MakeFluidSetup(const SynthOptions& options, FluidSetup* setup, SynthOpenFailure* failure) {
  if (std::string bad = CheckSynthOptions(options); !bad.empty()) {
    failure->code = MMSYSERR_INVALPARAM;
    failure->reason = std::move(bad);
    return false;
  }
  const std::optional<std::string> soundFont = FindSoundFont(options.soundFont);
  if (!soundFont) {
    failure->code = MMSYSERR_NODRIVER;
    failure->reason =
        options.soundFont.empty() ? "no SoundFont found" : "no SoundFont at " + options.soundFont;
    return false;
  }
  setup->soundFontPath = *soundFont;
  setup->sampleRate = options.sampleRate;
  setup->gain = options.gain;
  setup->audio = options.audio;
  if (options.stems != nullptr) {
    setup->outputs = StemLayout(options.stemVoices, options.restStem).outputs;
  }
  return true;
}

}  // namespace quirelle::stream
