// Decodes the events of one track in place from the image, one at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "midi/vocabulary.h"
#include "smf/track_cursor.h"
#include "smf/track_event.h"

namespace quirelle::smf {

// The texts a failed read leaves in the cursor's `error`.
inline constexpr const char* kMissingRunningStatus = "Reference to missing running status.";
inline constexpr const char* kSysExTruncatedLength = "SysEx event truncated (length)";
inline constexpr const char* kSysExTruncated = "SysEx event truncated";
inline constexpr const char* kMetaTruncatedLength = "Meta event truncated (length)";
inline constexpr const char* kMetaTruncated = "Meta event truncated";
inline constexpr const char* kOutOfMemory = "Out of memory during malloc call";

// Reads one variable-length quantity at the cursor. 1 on success, 0 when the track is finished or
// its data end inside the quantity (then `value` is not written).
int ReadVarLen(TrackCursor& cursor, std::uint32_t& value);

// Puts a cursor on its track's first event. A track whose data end right after that delta is
// finished there, like an empty one. False when the first delta time is cut short.
bool PlaceOnFirstEvent(TrackCursor& cursor);

namespace detail {

// Everything but the fast case below, every byte checked against the end of the track.
int ReadEventChecked(TrackCursor& cursor, TrackEvent& event);
// Reads the delta time at `next` after a channel message decoded by ReadEvent.
int FinishFastEvent(TrackCursor& cursor, TrackEvent& event, const std::uint8_t* next);

// At least this many bytes left: a channel message (by status or running status, at most three
// bytes) and two bytes after it lie inside the track.
inline constexpr std::ptrdiff_t kFastPathRoom = 5;

}  // namespace detail

// Decodes the event at the cursor into `event` and moves past it and the delta time after it.
// 1 when an event was delivered, 0 otherwise. When 0, `event` holds no data block and the
// cursor's `error` says why. A delivered SysEx or meta event owns its data block in `event.data`.
//
// Inline for the bulk of a song, channel messages followed by a delta time of one or two bytes
// away from the end of the track. Everything else goes to ReadEventChecked.
inline int ReadEvent(TrackCursor& cursor, TrackEvent& event) {
  const std::uint8_t* p = cursor.position;
  const std::uint8_t* end = cursor.start + cursor.length;
  if (end - p < detail::kFastPathRoom || cursor.finished() || event.data) {
    return detail::ReadEventChecked(cursor, event);
  }
  const std::uint8_t b = p[0];
  if (b >= midi::kSysEx || (!midi::IsStatus(b) && cursor.runningStatus == 0)) {
    return detail::ReadEventChecked(cursor, event);
  }
  std::uint8_t status = cursor.runningStatus;
  const std::uint8_t* q = p;
  if (midi::IsStatus(b)) {
    status = b;
    cursor.runningStatus = b;
    ++q;
  }
  const bool two = midi::DataBytes(status) == 2;
  event.time = cursor.nextTime;
  event.status = status;
  event.data1 = q[0];
  event.data2 = two ? q[1] : 0;
  event.length = two ? 3 : 2;
  q += two ? 2 : 1;
  // The delta time after it, when it takes one or two bytes and is not the last of the track.
  std::uint32_t delta = q[0];
  std::ptrdiff_t size = 1;
  if (delta >= 0x80) {
    if (q[1] >= 0x80) {
      return detail::FinishFastEvent(cursor, event, q);
    }
    delta = ((delta & 0x7F) << 7) | q[1];
    size = 2;
  }
  if (end - q <= size) {
    return detail::FinishFastEvent(cursor, event, q);
  }
  cursor.nextTime += delta;
  cursor.position = q + size;
  return 1;
}

}  // namespace quirelle::smf
