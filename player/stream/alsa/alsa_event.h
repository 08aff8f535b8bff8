// Packed short messages (status | data1 << 8 | data2 << 16) as ALSA sequencer events.
#pragma once

#include <alsa/asoundlib.h>

#include <cstdint>

namespace quirelle::stream {

// Fills *event with the type and data of `message` (source, destination and timing are left to
// the sender). False for a message without a status byte or of a kind with no sequencer event.
// Data bytes are read as 7-bit values.
bool ToSeqEvent(std::uint32_t message, snd_seq_event_t* event);

}  // namespace quirelle::stream
