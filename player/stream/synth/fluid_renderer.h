// The SynthRenderer over a FluidSynth synthesizer.
#pragma once

#include <fluidsynth.h>

#include "player/stream/synth/synth_renderer.h"

namespace quirelle::stream {

class FluidRenderer final : public SynthRenderer {
 public:
  explicit FluidRenderer(fluid_synth_t* synth);  // not owned; must outlive the renderer
  void Apply(std::uint32_t message) override;
  void Render(float* left, float* right, std::uint32_t frames) override;
  std::uint32_t Quantum() const override { return quantum_; }

 private:
  fluid_synth_t* synth_;
  std::uint32_t quantum_;
};

}  // namespace quirelle::stream
