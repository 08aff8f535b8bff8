// The kept live synthesizer.
#include "player/stream/synth/kept_synth.h"

#include "player/stream/synth/synth_library_log.h"

namespace quirelle::stream {

std::shared_ptr<FluidUnit> MakeFluidUnit(const FluidSetup& setup, SynthOpenFailure* failure) {
  auto unit = std::make_shared<FluidUnit>();
  unit->fluid = MakeFluidSynth(MakeFluidSettings(setup), setup, &failure->code, &failure->reason);
  if (!unit->fluid.synth) {
    return nullptr;
  }
  unit->renderer = std::make_unique<FluidRenderer>(unit->fluid.synth.get());
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
    fluid_synth_system_reset(kept_->fluid.synth.get());
    return std::make_unique<FluidLease>(kept_);
  }
  std::shared_ptr<FluidUnit> own = MakeFluidUnit(setup, failure);
  if (!own) {
    failure->detail = LibraryLog::JoinedSince(mark);
    return nullptr;
  }
  return std::make_unique<FluidLease>(std::move(own));
}

bool KeptSynth::Made() const {
  std::lock_guard lock(mutex_);
  return kept_ != nullptr;
}

}  // namespace quirelle::stream
