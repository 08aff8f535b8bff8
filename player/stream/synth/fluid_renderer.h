// The SynthRenderer over a FluidSynth synthesizer. With a stem sink it renders the synthesizer's
// several outputs (each with its own reverb and chorus), hands them all to the sink and gives
// their sum as its own two channels. FluidSynth sends its channel c to output c % outputs, so a
// song's channel plays on the synthesizer's channel c + 16 k that reaches its output: the voices
// (0 to 3) on their own channels, the rest on the first that reaches output 4. Channel 9 stays
// itself and so stays the drums.
#pragma once

#include <fluidsynth.h>

#include <array>
#include <cstdint>
#include <vector>

#include "midi/vocabulary.h"
#include "player/stream/synth/synth_audio_sink.h"
#include "player/stream/synth/synth_renderer.h"

namespace quirelle::stream {

// A synthesizer of stems: each voice (channels 0 to 3) in the output of its number, and the rest
// of the song, when it plays, in the output after them.
inline constexpr std::uint32_t kStemVoices = 4;
inline constexpr std::uint32_t kRestStem = kStemVoices;
constexpr std::uint32_t StemOutputs(bool rest) {
  return rest ? kStemVoices + 1 : kStemVoices;
}

class FluidRenderer final : public SynthRenderer {
 public:
  // `synth` (made with StemOutputs(restStem) outputs when there is a stem sink) and `stems` are
  // not owned and must outlive the renderer.
  explicit FluidRenderer(fluid_synth_t* synth, SynthStemSink* stems = nullptr,
                         bool restStem = false);
  void Apply(std::uint32_t message) override;
  void Render(float* left, float* right, std::uint32_t frames) override;
  std::uint32_t Quantum() const override { return quantum_; }

 private:
  void RenderStems(float* left, float* right, std::uint32_t frames);

  fluid_synth_t* synth_;
  std::uint32_t quantum_;
  std::uint32_t outputs_;
  SynthStemSink* stems_;
  std::array<int, midi::kChannels> synthChannel_{};  // where each of the song's channels plays
  std::vector<std::vector<float>> channels_;         // 2 per output, as long as the longest piece
  std::vector<float*> dry_;
  std::vector<float*> effects_;
};

}  // namespace quirelle::stream
