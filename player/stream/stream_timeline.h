// The time line of one stream: started / paused / stopped, the mapping between device time and
// stream time (which stands still while paused and is 0 until the first restart after a stop), the
// anchor (the last point on the tick grid that has been reached, normally the last event played)
// and the position in ticks.
#pragma once

#include <cstdint>

#include "player/stream/tick_clock.h"

namespace quirelle::stream {

enum class TransportState { kStopped, kPlaying, kPaused };

class StreamTimeline {
 public:
  explicit StreamTimeline(std::uint64_t unitsPerSecond) : clock_(unitsPerSecond) {}

  TickClock& clock() { return clock_; }
  const TickClock& clock() const { return clock_; }
  TransportState state() const { return state_; }
  bool everStarted() const { return everStarted_; }

  void Restart(std::uint64_t now);
  void Pause(std::uint64_t now);
  // Position and stream time back to 0, not started.
  void Stop();

  // Stream time at device time `now`: may be negative just after a resume of a device whose
  // events run ahead of its clock (audio blocks), never while stopped (0).
  std::int64_t StreamTimeAt(std::uint64_t now) const;
  std::uint64_t PositionAt(std::uint64_t now) const;

  // Moves the anchor to the last whole tick reached by stream time `streamTime`, but not past
  // tick `limit`.
  void Reanchor(std::int64_t streamTime, std::uint64_t limit);
  // The next event's deltas count from the anchor (a buffer queued into a dry stream).
  void BaseOnAnchor() { baseTick_ = anchorTick_; }
  // Division changes keep the anchor's time.
  void SetDivision(std::uint32_t division);

  // Where an event `delta` ticks after the last one falls, and what playing it makes of the line.
  std::uint64_t TickOf(std::uint32_t delta) const { return baseTick_ + delta; }
  Stamp DueOf(std::uint32_t delta) const;
  void Played(Stamp due, std::uint64_t tick);

  Stamp anchor() const { return anchor_; }
  std::uint64_t anchorTick() const { return anchorTick_; }

  // Device time of a stream-time stamp, and the same since the first restart.
  ExactTime DeviceTime(Stamp point) const;
  ExactTime SinceStart(Stamp point) const;
  // Device time `now` since the first restart (0 before it).
  ExactTime SinceStartOfNow(std::uint64_t now) const;
  // The first whole device unit at or after `point`.
  std::uint64_t DeviceCeiling(Stamp point) const;

 private:
  TickClock clock_;
  TransportState state_ = TransportState::kStopped;
  bool everStarted_ = false;
  std::uint64_t firstStart_ = 0;  // device time of the first restart
  std::int64_t offset_ = 0;       // device time = stream time + offset_
  std::uint64_t pausedAt_ = 0;    // stream time while paused
  Stamp anchor_;
  std::uint64_t anchorTick_ = 0;
  std::uint64_t baseTick_ = 0;  // tick of the last event played: deltas count from here
};

}  // namespace quirelle::stream
