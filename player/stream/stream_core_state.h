// The parts of StreamCore, shared by its operation and playing code.
#pragma once

#include <optional>

#include "player/stream/buffer_queue.h"
#include "player/stream/callback_thread.h"
#include "player/stream/stream_core.h"
#include "player/stream/stream_timeline.h"

namespace quirelle::stream {

// The time line plus the rest of the state guarded by StreamCore::mutex_.
struct StreamCore::Timeline : StreamTimeline {
  using StreamTimeline::StreamTimeline;
  bool closed = false;
  RefillStats stats;
  // Stream time at which the last buffer ended with none behind it while playing.
  std::optional<std::int64_t> dryAt;
};

struct StreamCore::Queue : BufferQueue {};

struct StreamCore::Callbacks : CallbackThread {
  using CallbackThread::CallbackThread;
};

}  // namespace quirelle::stream
