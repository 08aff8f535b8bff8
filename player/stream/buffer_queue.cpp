// Reads stream events with memcpy, so buffers need no particular alignment.
#include "player/stream/buffer_queue.h"

#include <cstring>

namespace quirelle::stream {
namespace {

constexpr std::uint32_t kEventBytes = 12;

std::uint32_t ReadWord(const std::uint8_t* at) {
  std::uint32_t word = 0;
  std::memcpy(&word, at, sizeof word);
  return word;
}

}  // namespace

std::optional<StreamEvent> PeekEvent(const QueuedBuffer& buffer) {
  if (buffer.next > buffer.bytes || buffer.bytes - buffer.next < kEventBytes) {
    return std::nullopt;
  }
  const std::uint8_t* at = buffer.data + buffer.next;
  StreamEvent event;
  event.delta = ReadWord(at);
  event.word = ReadWord(at + 8);
  event.offset = buffer.next;
  event.size = kEventBytes;
  if ((event.word & MEVT_F_LONG) != 0) {
    // Parameters follow, padded to whole 32-bit words.
    const std::uint64_t parameters = (MevtEventParm(event.word) + 3ull) & ~3ull;
    if (parameters > buffer.bytes - buffer.next - kEventBytes) {
      return std::nullopt;
    }
    event.size += static_cast<std::uint32_t>(parameters);
  }
  return event;
}

}  // namespace quirelle::stream
