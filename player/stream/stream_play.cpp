// The device side of the core: playing what is due, finishing buffers, the refill statistics,
// the messages to the device's sink, and the start and end of the stream's callback thread.
#include <algorithm>
#include <limits>

#include "midi/vocabulary.h"
#include "player/stream/handle_registry.h"
#include "player/stream/stream_core.h"
#include "player/stream/stream_core_state.h"

namespace quirelle::stream {
namespace {

std::uint64_t Ceiling(const Stamp& point) {
  return point.whole + (point.rem != 0 ? 1 : 0);
}

bool IsDue(const Stamp& due, std::int64_t streamTime, bool inclusive) {
  if (streamTime < 0) {
    return false;
  }
  const auto limit = static_cast<std::uint64_t>(streamTime);
  return due.whole < limit || (inclusive && due.whole == limit && due.rem == 0);
}

}  // namespace

PlayOutcome StreamCore::PlayUntil(std::uint64_t deviceTime, CallbackPolicy policy) {
  return PlayDue(deviceTime, true, policy);
}

PlayOutcome StreamCore::PlayBefore(std::uint64_t deviceTime, CallbackPolicy policy) {
  return PlayDue(deviceTime, false, policy);
}

PlayOutcome StreamCore::PlayDue(std::uint64_t deviceTime, bool inclusive, CallbackPolicy policy) {
  const bool stopAtCallback = policy == CallbackPolicy::kStopAtCallback;
  std::lock_guard lock(mutex_);
  if (timeline_->closed || timeline_->state() != TransportState::kPlaying) {
    return PlayOutcome::kReached;
  }
  const std::int64_t streamTime = timeline_->StreamTimeAt(deviceTime);
  while (!queue_->entries.empty()) {
    QueuedBuffer& front = queue_->entries.front();
    const std::optional<StreamEvent> event = PeekEvent(front);
    if (!event) {
      FinishFrontBuffer();
      if (stopAtCallback) {
        return PlayOutcome::kStoppedAtCallback;
      }
      continue;
    }
    const Stamp due = timeline_->DueOf(event->delta);
    if (!IsDue(due, streamTime, inclusive)) {
      break;
    }
    front.next += event->size;
    PlayEvent(event->word, timeline_->TickOf(event->delta), due);
    if ((event->word & MEVT_F_CALLBACK) != 0) {
      callbacks_->Post(MOM_POSITIONCB, front.header, event->offset);
      if (stopAtCallback) {
        return PlayOutcome::kStoppedAtCallback;
      }
    }
  }
  return PlayOutcome::kReached;
}

std::optional<std::uint64_t> StreamCore::NextDueTime() const {
  std::lock_guard lock(mutex_);
  if (timeline_->closed || timeline_->state() != TransportState::kPlaying ||
      queue_->entries.empty()) {
    return std::nullopt;
  }
  const std::optional<StreamEvent> event = PeekEvent(queue_->entries.front());
  if (!event) {
    return timeline_->DeviceCeiling(timeline_->anchor());
  }
  return timeline_->DeviceCeiling(timeline_->DueOf(event->delta));
}

void StreamCore::WaitCallbacksIdle() {
  callbacks_->WaitIdle();
}

void StreamCore::Enqueue(MIDIHDR* header) {
  const std::int64_t streamTime = timeline_->StreamTimeAt(device_->Now());
  const bool playing = timeline_->state() == TransportState::kPlaying;
  if (queue_->entries.empty()) {
    // A buffer queued into a dry stream counts its deltas from the position reached, so a late
    // refill does not rush through the time it missed.
    if (timeline_->state() != TransportState::kStopped &&
        streamTime > static_cast<std::int64_t>(Ceiling(timeline_->anchor()))) {
      timeline_->Reanchor(streamTime, std::numeric_limits<std::uint64_t>::max());
      timeline_->BaseOnAnchor();
    }
    if (playing && timeline_->dryAt) {
      RecordMargin(*timeline_->dryAt - streamTime);
    }
    timeline_->dryAt.reset();
  }
  header->dwFlags = (header->dwFlags & ~MHDR_DONE) | MHDR_INQUEUE | MHDR_ISSTRM;
  QueuedBuffer entry;
  entry.header = header;
  entry.data = header->lpData;
  entry.bytes = header->dwBytesRecorded;
  entry.queuedAt = streamTime;
  entry.queuedWhilePlaying = playing;
  queue_->entries.push_back(entry);
}

void StreamCore::ReanchorAtNow() {
  if (timeline_->state() == TransportState::kStopped) {
    return;
  }
  std::uint64_t limit = std::numeric_limits<std::uint64_t>::max();
  if (!queue_->entries.empty()) {
    if (const std::optional<StreamEvent> event = PeekEvent(queue_->entries.front())) {
      limit = timeline_->TickOf(event->delta);
    }
  }
  timeline_->Reanchor(timeline_->StreamTimeAt(device_->Now()), limit);
}

void StreamCore::ReturnAllBuffers() {
  auto& entries = queue_->entries;
  if (device_->HoldsBuffers()) {
    for (const QueuedBuffer& entry : entries) {
      queue_->held.push_back(entry.header);
    }
    entries.clear();
    return;
  }
  for (const QueuedBuffer& entry : entries) {
    entry.header->dwFlags = (entry.header->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
    callbacks_->Post(MOM_DONE, entry.header);
  }
  entries.clear();
}

void StreamCore::FinishFrontBuffer() {
  MIDIHDR* header = queue_->entries.front().header;
  queue_->entries.pop_front();
  header->dwFlags = (header->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
  callbacks_->Post(MOM_DONE, header);
  const auto end = static_cast<std::int64_t>(timeline_->anchor().whole);
  if (queue_->entries.empty()) {
    timeline_->dryAt = end;
    return;
  }
  const QueuedBuffer& next = queue_->entries.front();
  if (next.queuedWhilePlaying) {
    RecordMargin(end - next.queuedAt);
  }
}

void StreamCore::RecordMargin(std::int64_t margin) {
  RefillStats& stats = timeline_->stats;
  ++stats.measured;
  stats.minMargin = std::min(stats.minMargin, margin);
  if (margin < 0) {
    ++stats.starvations;
  }
}

void StreamCore::PlayEvent(std::uint32_t word, std::uint64_t tick, const Stamp& due) {
  timeline_->Played(due, tick);
  if ((word & MEVT_F_LONG) != 0) {
    return;  // parameters (system exclusive, comments) are skipped; their delta still counts
  }
  switch (MevtEventType(word)) {
    case MEVT_SHORTMSG: {
      SentMessage message;
      message.kind = SentMessage::Kind::kEvent;
      message.message = MevtEventParm(word);
      message.tick = static_cast<std::uint32_t>(tick);
      message.time = timeline_->DeviceTime(due);
      message.sinceStart = timeline_->SinceStart(due);
      device_->Send(message);
      break;
    }
    case MEVT_TEMPO:
      timeline_->clock().SetTempo(MevtEventParm(word));
      break;
    default:
      break;  // MEVT_NOP and unknown kinds only take their time
  }
}

void StreamCore::SendSilence(std::uint64_t now) {
  SentMessage message;
  message.kind = SentMessage::Kind::kSilence;
  message.tick = static_cast<std::uint32_t>(timeline_->PositionAt(now));
  message.time = {now, 0, 1};
  message.sinceStart = timeline_->SinceStartOfNow(now);
  for (int channel = 0; channel < midi::kChannels; ++channel) {
    const auto status = static_cast<std::uint8_t>(midi::kControlChange | channel);
    for (const std::uint8_t controller :
         {midi::kAllNotesOff, midi::kAllSoundOff, midi::kSustainPedal, midi::kSostenutoPedal}) {
      message.message = midi::ShortMessage(status, controller, 0);
      device_->Send(message);
    }
  }
}

void StreamCore::SendNow(SentMessage::Kind kind, std::uint32_t messageWord, std::uint64_t now) {
  SentMessage message;
  message.kind = kind;
  message.message = messageWord;
  message.tick = static_cast<std::uint32_t>(timeline_->PositionAt(now));
  message.time = {now, 0, 1};
  message.sinceStart = timeline_->SinceStartOfNow(now);
  device_->Send(message);
}

void StreamCore::Begin(HMIDISTRM handle) {
  handle_ = handle;
  callbacks_->Start(handle);
  callbacks_->Post(MOM_OPEN);
  device_->Start(*this);
}

void StreamCore::EndWithoutCallbacks() {
  {
    std::lock_guard lock(mutex_);
    if (timeline_->closed) {
      return;
    }
    timeline_->closed = true;
    queue_->entries.clear();
    queue_->held.clear();
    timeline_->Stop();
  }
  HandleRegistry::Instance().Unregister(handle_);
  callbacks_->Discard();
  device_->Shutdown();
  JoinCallbackThread();
}

bool StreamCore::CallbackThreadFinished() const {
  return callbacks_->Finished();
}

void StreamCore::JoinCallbackThread() {
  callbacks_->Join();
}

}  // namespace quirelle::stream
