// Stream time versus device time: restart after a stop starts at 0, a resume continues where the
// pause froze it; the anchor keeps event times exact between events.
#include "player/stream/stream_timeline.h"

#include <algorithm>

namespace quirelle::stream {
namespace {

std::uint64_t Ceiling(Stamp point) {
  return point.whole + (point.rem != 0 ? 1 : 0);
}

ExactTime Shifted(Stamp point, std::int64_t shift, std::uint64_t denominator) {
  const std::int64_t whole = static_cast<std::int64_t>(point.whole) + shift;
  if (whole < 0) {
    return {0, 0, denominator};
  }
  return {static_cast<std::uint64_t>(whole), point.rem, denominator};
}

}  // namespace

void StreamTimeline::Restart(std::uint64_t now) {
  if (state_ == TransportState::kPlaying) {
    return;
  }
  if (!everStarted_) {
    everStarted_ = true;
    firstStart_ = now;
  }
  const std::uint64_t resumeAt = state_ == TransportState::kPaused ? pausedAt_ : 0;
  offset_ = static_cast<std::int64_t>(now) - static_cast<std::int64_t>(resumeAt);
  state_ = TransportState::kPlaying;
}

void StreamTimeline::Pause(std::uint64_t now) {
  if (state_ != TransportState::kPlaying) {
    return;
  }
  // Never freeze before an event that has already played.
  const std::int64_t streamTime = StreamTimeAt(now);
  pausedAt_ =
      std::max(streamTime < 0 ? 0 : static_cast<std::uint64_t>(streamTime), Ceiling(anchor_));
  state_ = TransportState::kPaused;
}

void StreamTimeline::Stop() {
  state_ = TransportState::kStopped;
  offset_ = 0;
  pausedAt_ = 0;
  anchor_ = Stamp{};
  anchorTick_ = 0;
  baseTick_ = 0;
}

std::int64_t StreamTimeline::StreamTimeAt(std::uint64_t now) const {
  switch (state_) {
    case TransportState::kPlaying:
      return static_cast<std::int64_t>(now) - offset_;
    case TransportState::kPaused:
      return static_cast<std::int64_t>(pausedAt_);
    case TransportState::kStopped:
      break;
  }
  return 0;
}

std::uint64_t StreamTimeline::PositionAt(std::uint64_t now) const {
  if (state_ == TransportState::kStopped) {
    return 0;
  }
  const std::int64_t streamTime = StreamTimeAt(now);
  if (streamTime < 0) {
    return anchorTick_;
  }
  return anchorTick_ + clock_.TicksUntil(anchor_, static_cast<std::uint64_t>(streamTime));
}

void StreamTimeline::Reanchor(std::int64_t streamTime, std::uint64_t limit) {
  if (streamTime < 0 || limit <= anchorTick_) {
    return;
  }
  const std::uint64_t ticks = std::min(
      clock_.TicksUntil(anchor_, static_cast<std::uint64_t>(streamTime)), limit - anchorTick_);
  anchor_ = clock_.After(anchor_, ticks);
  anchorTick_ += ticks;
}

void StreamTimeline::SetDivision(std::uint32_t division) {
  const std::uint64_t old = clock_.SetDivision(division);
  anchor_ = clock_.Rescale(anchor_, old);
}

Stamp StreamTimeline::DueOf(std::uint32_t delta) const {
  const std::uint64_t tick = TickOf(delta);
  if (tick <= anchorTick_) {
    return anchor_;
  }
  return clock_.After(anchor_, tick - anchorTick_);
}

void StreamTimeline::Played(Stamp due, std::uint64_t tick) {
  anchor_ = due;
  anchorTick_ = std::max(anchorTick_, tick);
  baseTick_ = tick;
}

ExactTime StreamTimeline::DeviceTime(Stamp point) const {
  return Shifted(point, offset_, clock_.denominator());
}

ExactTime StreamTimeline::SinceStart(Stamp point) const {
  if (!everStarted_) {
    return {0, 0, clock_.denominator()};
  }
  return Shifted(point, offset_ - static_cast<std::int64_t>(firstStart_), clock_.denominator());
}

ExactTime StreamTimeline::SinceStartOfNow(std::uint64_t now) const {
  if (!everStarted_ || now < firstStart_) {
    return {};
  }
  return {now - firstStart_, 0, 1};
}

std::uint64_t StreamTimeline::DeviceCeiling(Stamp point) const {
  const std::int64_t ceiling = static_cast<std::int64_t>(Ceiling(point)) + offset_;
  return ceiling < 0 ? 0 : static_cast<std::uint64_t>(ceiling);
}

}  // namespace quirelle::stream
