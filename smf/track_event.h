// One decoded event of a track, with its own copy of system-exclusive or meta data.
#pragma once

#include <cstdint>

#include "midi/vocabulary.h"
#include "platform/byte_block.h"

namespace quirelle::smf {

struct TrackEvent {
  std::uint32_t time = 0;  // absolute tick
  std::uint8_t status = 0;
  std::uint8_t data1 = 0;  // meta: the type byte
  std::uint8_t data2 = 0;
  std::uint32_t length = 0;  // channel: 2 or 3 bytes with status; sysex/meta: data byte count
  platform::ByteBlock data;  // sysex (always, also for length 0) and meta with length > 0

  void Clear() {
    time = 0;
    status = data1 = data2 = 0;
    length = 0;
    data.reset();
  }
  bool IsEndOfTrack() const { return status == midi::kMeta && data1 == midi::kMetaEndOfTrack; }
};

}  // namespace quirelle::smf
