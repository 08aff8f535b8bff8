// Decodes the events of one track in place from the image, one at a time.
#pragma once

#include <cstdint>

#include "smf/reader_hooks.h"
#include "smf/track_cursor.h"
#include "smf/track_event.h"

namespace quirelle::smf {

// Parse-error texts, as the engine's OnParseError receives them.
inline constexpr const char* kMissingRunningStatus = "Reference to missing running status.";
inline constexpr const char* kSysExTruncatedLength = "SysEx event truncated (length)";
inline constexpr const char* kSysExTruncated = "SysEx event truncated";
inline constexpr const char* kMetaTruncatedLength = "Meta event truncated (length)";
inline constexpr const char* kMetaTruncated = "Meta event truncated";
inline constexpr const char* kOutOfMemory = "Out of memory during malloc call";

// Reads one variable-length quantity at the cursor. 1 on success, 0 when the track is finished or
// its data end inside the quantity (then `value` is not written).
int ReadVarLen(TrackCursor& cursor, std::uint32_t& value);

// Decodes the event at the cursor into `event` and moves past it and the delta time after it.
// 1 when an event was delivered, 0 otherwise.
int ReadEvent(TrackCursor& cursor, TrackEvent& event, ReaderHooks& hooks);

}  // namespace quirelle::smf
