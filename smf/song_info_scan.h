// The song information scan: reads the first track once for the title, the instrument names
// and the time signatures, through the event reader on a cursor of its own, so the track table
// is not touched.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "smf/time_signature_map.h"

namespace quirelle::smf {

// What the scan writes.
struct SongInfo {
  std::string& title;
  std::array<std::string, 16>& channelNames;  // each non-blank instrument name, trimmed
  TimeSignatureMap& timeSignatures;
  std::uint16_t division;
};

// Resets the title to " " and empties the map, then collects from the first track chunk.
// True when a first track was found and read; nothing reads the result.
bool CollectSongInfo(const std::uint8_t* image, std::uint32_t imageLength, SongInfo& info);

}  // namespace quirelle::smf
