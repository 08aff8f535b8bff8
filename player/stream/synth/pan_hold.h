// Channels whose pan the synthesizer holds at the centre: every pan controller a song sends them
// is played as the centre, so that a voice heard on its own sits between the speakers.
#pragma once

#include <bitset>
#include <cstdint>

#include "midi/vocabulary.h"
#include "player/stream/synth/synth_renderer.h"

namespace quirelle::stream {

// Bit n: channel n (0-based) is held.
using HeldPanChannels = std::bitset<midi::kChannels>;

inline constexpr std::uint32_t kPanCentre = 64;

// `message` as the synthesizer plays it: a pan controller (coarse or fine) on a held channel
// becomes the centre; everything else is left as it is.
std::uint32_t WithPanHeld(std::uint32_t message, const HeldPanChannels& held);

// Puts each held channel's pan at the centre now.
void CentreHeldPans(SynthRenderer& renderer, const HeldPanChannels& held);

}  // namespace quirelle::stream
