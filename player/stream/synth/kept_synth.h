// The live synthesizer kept for the program's run: made with its SoundFont at the first open and
// reset for each later stream, so that opening a song does not load the SoundFont again (that
// takes a fifth of a second with the default General MIDI SoundFont, seconds from a cold disk).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "player/stream/synth/fluid_handles.h"
#include "player/stream/synth/fluid_renderer.h"
#include "player/stream/synth/synth_setup.h"

namespace quirelle::stream {

// A synthesizer, its renderer and whether a stream plays on it.
struct FluidUnit {
  FluidSynthInstance fluid;
  std::unique_ptr<FluidRenderer> renderer;
  std::uint32_t sampleRate = 44100;
  std::atomic<bool> inUse{false};
};

// What a stream holds of a unit: gives the unit back when the stream is done with it.
class FluidLease {
 public:
  explicit FluidLease(std::shared_ptr<FluidUnit> unit) : unit_(std::move(unit)) {}
  ~FluidLease() { Release(); }
  FluidLease(const FluidLease&) = delete;
  FluidLease& operator=(const FluidLease&) = delete;

  FluidUnit& unit() const { return *unit_; }
  // Called once nothing renders with the unit any more (the audio output has stopped).
  void Release() {
    if (unit_) {
      unit_->inUse.store(false, std::memory_order_release);
      unit_.reset();
    }
  }

 private:
  std::shared_ptr<FluidUnit> unit_;
};

class KeptSynth {
 public:
  // The kept unit, made on first use and, when it was used before, silenced (every voice ended,
  // the effects emptied) and reset to its power-on state (every channel's program and
  // controllers as at start). While another stream
  // still plays on it, the new stream gets a unit of its own. Null with *failure filled in when
  // no unit can be made; a failed first make is tried again at the next call.
  std::unique_ptr<FluidLease> Lease(const FluidSetup& setup, SynthOpenFailure* failure);

  // Makes the kept unit now when it is not made yet (a failure is left for Lease to retry).
  void Prepare(const FluidSetup& setup, SynthOpenFailure* failure);

  // Whether the kept unit has been made (for tests and benchmarks).
  bool Made() const;

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<FluidUnit> kept_;
};

// Makes a unit for `setup`, marked in use; null with *failure filled in.
std::shared_ptr<FluidUnit> MakeFluidUnit(const FluidSetup& setup, SynthOpenFailure* failure);

}  // namespace quirelle::stream
