// Holding pans at the centre.
#include "player/stream/synth/pan_hold.h"

namespace quirelle::stream {
namespace {

// The fine pan controller, which FluidSynth adds to the coarse one.
constexpr std::uint8_t kPanLsb = midi::kPan + 32;

}  // namespace

std::uint32_t WithPanHeld(std::uint32_t message, const HeldPanChannels& held) {
  const std::uint8_t status = midi::StatusOf(message);
  if (midi::KindOf(status) != midi::kControlChange || !held.test(midi::ChannelOf(status))) {
    return message;
  }
  // The synthesizer reads data bytes as 7-bit values, so this does too.
  const std::uint8_t controller = midi::Data1Of(message);
  if (controller == midi::kPan) {
    return midi::ShortMessage(status, midi::kPan, kPanCentre);
  }
  if (controller == kPanLsb) {
    return midi::ShortMessage(status, kPanLsb, 0);
  }
  return message;
}

void CentreHeldPans(SynthRenderer& renderer, const HeldPanChannels& held) {
  for (int channel = 0; channel < midi::kChannels; ++channel) {
    if (held.test(static_cast<std::size_t>(channel))) {
      const auto status = static_cast<std::uint8_t>(midi::kControlChange | channel);
      renderer.Apply(midi::ShortMessage(status, midi::kPan, kPanCentre));
      renderer.Apply(midi::ShortMessage(status, kPanLsb, 0));
    }
  }
}

}  // namespace quirelle::stream
