// Short messages to FluidSynth calls, and rendering into two float channels.
#include "player/stream/synth/fluid_renderer.h"

#include "midi/vocabulary.h"

namespace quirelle::stream {

FluidRenderer::FluidRenderer(fluid_synth_t* synth)
    : synth_(synth), quantum_(static_cast<std::uint32_t>(fluid_synth_get_internal_bufsize(synth))) {
  if (quantum_ == 0) {
    quantum_ = 1;
  }
}

void FluidRenderer::Apply(std::uint32_t message) {
  const int status = static_cast<int>(message & 0xFF);
  // Data bytes with bit 7 set occur in real files (velocity 0xFF); the synthesizer would refuse
  // them, so they are read as 7-bit values.
  const int data1 = midi::Data1Of(message);
  const int data2 = midi::Data2Of(message);
  const int channel = status & 0x0F;
  switch (midi::KindOf(static_cast<std::uint8_t>(status))) {
    case midi::kNoteOff:
      fluid_synth_noteoff(synth_, channel, data1);
      break;
    case midi::kNoteOn:
      fluid_synth_noteon(synth_, channel, data1, data2);  // velocity 0 is a note-off
      break;
    case midi::kKeyPressure:
      fluid_synth_key_pressure(synth_, channel, data1, data2);
      break;
    case midi::kControlChange:
      fluid_synth_cc(synth_, channel, data1, data2);
      break;
    case midi::kProgramChange:
      fluid_synth_program_change(synth_, channel, data1);
      break;
    case midi::kChannelPressure:
      fluid_synth_channel_pressure(synth_, channel, data1);
      break;
    case midi::kPitchBend:
      fluid_synth_pitch_bend(synth_, channel, data1 | (data2 << 7));
      break;
    case midi::kSysEx:
      if (status == midi::kSystemReset) {
        fluid_synth_system_reset(synth_);
      }
      break;
    default:
      break;  // no status byte: nothing to play
  }
}

void FluidRenderer::Render(float* left, float* right, std::uint32_t frames) {
  fluid_synth_write_float(synth_, static_cast<int>(frames), left, 0, 1, right, 0, 1);
}

}  // namespace quirelle::stream
