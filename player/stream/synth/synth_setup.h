// From the synthesizer options of the caller to a FluidSynth set-up: the checks and the SoundFont
// search shared by the live and the offline synthesizer.
#pragma once

#include <string>

#include "player/stream/mmsystem.h"
#include "player/stream/open_failure.h"
#include "player/stream/synth/fluid_handles.h"
#include "player/stream/synth/synth_driver.h"

namespace quirelle::stream {

// Why an open failed.
using SynthOpenFailure = OpenFailure;

// Fills *setup from `options`; false with *failure filled in when the options are unusable or no
// SoundFont is found.
bool MakeFluidSetup(const SynthOptions& options, FluidSetup* setup, SynthOpenFailure* failure);

}  // namespace quirelle::stream
