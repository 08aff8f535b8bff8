// The SynthRenderer over a FluidSynth synthesizer. With a stem sink it renders the synthesizer's
// several outputs (each with its own reverb and chorus), hands them all to the sink and gives
// their sum as its own two channels. FluidSynth sends its channel c to output c % outputs, so each
// of the song's channels plays on a synthesizer channel of its own that reaches its output.
// Channel 9 stays itself and so stays the drums; no other channel plays on one FluidSynth would
// take for drums.
#pragma once

#include <fluidsynth.h>

#include <array>
#include <cstdint>
#include <vector>

#include "midi/vocabulary.h"
#include "player/stream/synth/synth_audio_sink.h"
#include "player/stream/synth/synth_renderer.h"

namespace quirelle::stream {

// A synthesizer of stems: each voice (bit c of `voices`: channel c) in an output of its own, in
// channel order, and the rest of the song, when it plays, in one more output: the one channel 9
// reaches, so that the drums stay on it.
struct StemLayout {
  static constexpr std::uint16_t kFirstFourChannels = 0x000F;
  StemLayout(std::uint16_t voices, bool rest);
  std::uint32_t outputs = 1;
  std::uint32_t restOutput = 0;                           // with a rest
  std::array<std::uint32_t, midi::kChannels> outputOf{};  // of each of the song's channels
};

class FluidRenderer final : public SynthRenderer {
 public:
  // `synth` (made with StemOutputs(restStem) outputs when there is a stem sink) and `stems` are
  // not owned and must outlive the renderer.
  explicit FluidRenderer(fluid_synth_t* synth, SynthStemSink* stems = nullptr,
                         bool restStem = false,
                         std::uint16_t stemVoices = StemLayout::kFirstFourChannels);
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
