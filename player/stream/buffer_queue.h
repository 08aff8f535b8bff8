// The buffers queued on one stream, in queue order, and the reading of their events: 12-byte
// records (delta ticks, stream id, event word), longer when the word says the event carries
// parameters. Only whole events inside the recorded bytes are read.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "player/stream/mmsystem.h"

namespace quirelle::stream {

struct QueuedBuffer {
  MIDIHDR* header = nullptr;
  const std::uint8_t* data = nullptr;
  std::uint32_t bytes = 0;    // dwBytesRecorded when queued
  std::uint32_t next = 0;     // offset of the next event to play
  std::int64_t queuedAt = 0;  // stream time of the queueing
  bool queuedWhilePlaying = false;
};

struct StreamEvent {
  std::uint32_t delta = 0;
  std::uint32_t word = 0;
  std::uint32_t offset = 0;  // where the event starts in the buffer
  std::uint32_t size = 0;    // bytes up to the next event
};

// The event at buffer.next, when a whole one is there.
std::optional<StreamEvent> PeekEvent(const QueuedBuffer& buffer);

struct BufferQueue {
  std::deque<QueuedBuffer> entries;
  // Buffers a holding device kept at stop or reset: never played or touched again.
  std::vector<MIDIHDR*> held;
};

}  // namespace quirelle::stream
