// One of the engine's two output buffers: the device's header over a 1024-byte event area, and
// the builder's bookkeeping for the fill in progress.
#pragma once

#include <array>
#include <cstdint>

#include "platform/byte_block.h"
#include "player/stream/mmsystem.h"

namespace quirelle::player {

inline constexpr std::uint32_t kStreamBufferBytes = 1024;

struct StreamBuffer {
  stream::MIDIHDR header;
  std::uint32_t startOffset = 0;
  std::uint32_t capacity = 0;
  std::uint32_t bytesUsed = 0;
  std::uint32_t startTime = 0;  // stream clock when the first event of this fill was offered
  std::uint32_t grace = 0;      // set once the fill has passed its span limit
  platform::ByteBlock block;    // the event area behind header.lpData
  // For each volume controller written, the value the song gave it (before the voice's
  // percentage scaled it), by event index.
  std::array<std::uint8_t, kStreamBufferBytes / sizeof(stream::MIDIEVENT)> songVolumes{};

  // Readies the record for a fill: start offset 0, capacity 1024, start time 0, grace 0.
  void ResetForFill() {
    startOffset = 0;
    capacity = kStreamBufferBytes;
    startTime = 0;
    grace = 0;
  }
};

}  // namespace quirelle::player
