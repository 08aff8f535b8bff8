// The song information scan: reads the first track once for the title, the instrument names
// and the time signatures. It has readers of its own and never touches the track table.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "smf/time_signature_map.h"

namespace quirelle::smf {

// One event as the scan sees it. `data` points into the image (the scan only looks at it).
struct ScanEvent {
  std::uint8_t status = 0;
  std::uint8_t data1 = 0;  // meta: the type byte
  std::uint8_t data2 = 0;
  std::uint32_t length = 0;  // channel: 2 or 3; sysex/meta: data byte count
  const std::uint8_t* data = nullptr;
};

// Reads events from [begin, end) of one track.
class ScanReader {
 public:
  ScanReader(const std::uint8_t* begin, const std::uint8_t* end);

  // Reads the delta time that starts the track, so that reading goes on at the first event's
  // status byte and the first event's tick is that delta (the map's ticks are the stream's).
  bool ReadFirstDelta();
  // False, leaving the position unchanged, at the end of the data.
  bool ReadScanByte(std::uint8_t& byte);
  bool ReadScanVarLen(std::uint32_t& value);
  // Reads an event and the delta time after it. An event that ends exactly at the end of the
  // data is still delivered (a track without its end-of-track event).
  bool ReadScanEvent(ScanEvent& event);
  // Passes over the channel messages from here, the bulk of a track, as ReadScanEvent would
  // read them; stops at anything else, or near the end of the data.
  void SkipChannelEvents();
  // Tick of the event just read.
  std::uint32_t currentTick() const { return currentTick_; }

 private:
  bool ReadChannelData(ScanEvent& event, std::uint8_t first, bool firstIsData);
  bool ReadBlock(ScanEvent& event);

  const std::uint8_t* position_;
  const std::uint8_t* end_;
  std::uint32_t tickTotal_ = 0;
  std::uint32_t currentTick_ = 0;
  std::uint8_t runningStatus_ = 0;
};

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
