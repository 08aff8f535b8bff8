// Renders audio blocks so that each stream event takes effect at its own sample. A block is cut
// at the renderer's grid points; just before the synthesizer starts the grid step at sample G it
// is given every event due before G + quantum / 2 (rounded up), so an event lands on the grid
// point nearest its exact time: exact for a renderer whose quantum is 1 frame, within half a
// quantum (32 frames, 0.7 ms at 44.1 kHz, for FluidSynth) otherwise. When the source knows that
// no event is due for a while, the grid steps up to it are rendered in one piece (FluidSynth is
// faster so, and the samples are the same). Nothing here waits or allocates: the live device runs
// it on the audio thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include "player/stream/synth/synth_renderer.h"

namespace quirelle::stream {

// Where the scheduler gets its events: plays every event due strictly before `limit` (a sample
// index) into the renderer.
class SynthEventSource {
 public:
  virtual ~SynthEventSource() = default;
  virtual void PlayBefore(std::uint64_t limit) = 0;
  // The sample (rounded up) of the next event, when nothing can come before it: the scheduler
  // then renders up to its grid point in one piece. Nothing when unknown (events may arrive at
  // any time): it asks at every grid point.
  virtual std::optional<std::uint64_t> NextEventSample() { return std::nullopt; }
};

class SynthBlockScheduler {
 public:
  // The block length of offline rendering (a live audio driver chooses its own).
  static constexpr std::uint32_t kBlockFrames = 256;

  explicit SynthBlockScheduler(SynthRenderer& renderer) : renderer_(renderer) {}

  // Renders the next `frames` frames into left / right, taking the events from `source`. Blocks
  // of any length give the same samples: only the grid decides where an event lands.
  void Render(float* left, float* right, std::uint32_t frames, SynthEventSource& source);
  // The limit passed to the source at grid point `gridPoint`.
  std::uint64_t LimitAt(std::uint64_t gridPoint) const;
  // After asking at `gridPoint`: the next grid point that needs asking, given the next event.
  std::uint64_t NextAsk(std::uint64_t gridPoint, std::optional<std::uint64_t> nextEvent) const;
  // Frames rendered so far: the sample index of the next frame. Readable from any thread.
  std::uint64_t Position() const { return position_.load(std::memory_order_acquire); }

 private:
  SynthRenderer& renderer_;
  std::atomic<std::uint64_t> position_{0};
};

}  // namespace quirelle::stream
