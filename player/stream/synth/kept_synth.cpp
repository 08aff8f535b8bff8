// The kept live synthesizer.
#include "player/stream/synth/kept_synth.h"

#include <algorithm>
#include <cmath>

#include "player/stream/synth/synth_library_log.h"

namespace quirelle::stream {
namespace {

// Ends every voice, lets the reverb die away (a reset does not empty it) and resets the channels,
// rendering into nothing: sound the last stream left must not be the next stream's first blocks.
void Silence(FluidUnit& unit) {
  fluid_synth_t* synth = unit.fluid.synth.get();
  fluid_synth_all_sounds_off(synth, -1);
  constexpr std::uint32_t kFrames = 64;
  constexpr float kQuiet = 3e-5f;  // -90 dBFS
  const std::uint32_t mostBlocks = unit.sampleRate * 3 / kFrames;
  float left[kFrames];
  float right[kFrames];
  for (std::uint32_t block = 0; block < mostBlocks; ++block) {
    unit.renderer->Render(left, right, kFrames);
    float peak = 0.0f;
    for (std::uint32_t i = 0; i < kFrames; ++i) {
      peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    }
    if (peak < kQuiet && fluid_synth_get_active_voice_count(synth) == 0) {
      break;
    }
  }
  {
    std::lock_guard lock(SampleCacheLock());
    fluid_synth_system_reset(synth);
  }
  unit.renderer->Render(left, right, kFrames);
}

}  // namespace

std::shared_ptr<FluidUnit> MakeFluidUnit(const FluidSetup& setup, SynthOpenFailure* failure) {
  auto unit = std::make_shared<FluidUnit>();
  unit->fluid = MakeFluidSynth(MakeFluidSettings(setup), setup, &failure->code, &failure->reason);
  if (!unit->fluid.synth) {
    return nullptr;
  }
  unit->renderer = std::make_unique<FluidRenderer>(unit->fluid.synth.get());
  unit->sampleRate = setup.sampleRate;
  unit->inUse.store(true, std::memory_order_relaxed);
  return unit;
}

std::unique_ptr<FluidLease> KeptSynth::Lease(const FluidSetup& setup, SynthOpenFailure* failure) {
  LibraryLog::Install();
  const std::uint64_t mark = LibraryLog::Mark();
  std::lock_guard lock(mutex_);
  if (!kept_) {
    kept_ = MakeFluidUnit(setup, failure);
    if (!kept_) {
      failure->detail = LibraryLog::JoinedSince(mark);
      return nullptr;
    }
    return std::make_unique<FluidLease>(kept_);
  }
  if (!kept_->inUse.exchange(true, std::memory_order_acq_rel)) {
    // The last song's release tails and settings must not reach the new one.
    Silence(*kept_);
    return std::make_unique<FluidLease>(kept_);
  }
  std::shared_ptr<FluidUnit> own = MakeFluidUnit(setup, failure);
  if (!own) {
    failure->detail = LibraryLog::JoinedSince(mark);
    return nullptr;
  }
  return std::make_unique<FluidLease>(std::move(own));
}

void KeptSynth::Prepare(const FluidSetup& setup, SynthOpenFailure* failure) {
  LibraryLog::Install();
  std::lock_guard lock(mutex_);
  if (!kept_) {
    kept_ = MakeFluidUnit(setup, failure);
    if (kept_) {
      kept_->inUse.store(false, std::memory_order_release);
    }
  }
}

bool KeptSynth::Made() const {
  std::lock_guard lock(mutex_);
  return kept_ != nullptr;
}

}  // namespace quirelle::stream
