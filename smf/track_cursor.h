// The parse state of one track: where its data lie in the image and where reading stands.
#pragma once

#include <cstdint>

namespace quirelle::smf {

inline constexpr std::uint32_t kTrackFinished = 1;

struct TrackCursor {
  std::uint32_t flags = 0;  // bit 0: finished (end-of-track read, or the track is empty)
  std::uint32_t length = 0;
  const std::uint8_t* start = nullptr;
  const std::uint8_t* position = nullptr;
  std::uint32_t nextTime = 0;  // absolute tick of the event at `position`
  std::uint8_t runningStatus = 0;
  // After a read that failed: why (a fixed English text), or null when there is nothing to say
  // (the track ended, or a byte no file may hold there).
  const char* error = nullptr;

  bool finished() const { return (flags & kTrackFinished) != 0; }
  bool exhausted() const { return static_cast<std::uint32_t>(position - start) >= length; }
};

}  // namespace quirelle::smf
