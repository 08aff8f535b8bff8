// The song information scan over the first track chunk of an image.
#include "smf/song_info_scan.h"

#include <string_view>

#include "smf/chunk_layout.h"
#include "smf/text.h"

namespace quirelle::smf {

namespace {

constexpr std::uint8_t kMeta = 0xFF;
constexpr std::uint8_t kTrackName = 0x03;
constexpr std::uint8_t kInstrumentName = 0x04;
constexpr std::uint8_t kChannelPrefix = 0x20;
constexpr std::uint8_t kTimeSignature = 0x58;

std::string_view TextOf(const ScanEvent& event) {
  return {reinterpret_cast<const char*>(event.data), event.length};
}

// The state that lives for one scan only.
struct ScanState {
  SongInfo& info;
  unsigned channelPrefix = 0;
};

void ActOnMeta(ScanState& state, const ScanEvent& event, std::uint32_t tick) {
  switch (event.data1) {
    case kTrackName:
      state.info.title = TextOf(event);
      break;
    case kInstrumentName:
      // The name table has 16 entries; names under a larger prefix have nowhere to go. A blank
      // name names nothing.
      if (const std::string_view name = TrimBlanks(TextOf(event));
          state.channelPrefix < state.info.channelNames.size() && !name.empty()) {
        state.info.channelNames[state.channelPrefix] = name;
      }
      break;
    case kChannelPrefix:
      if (event.length >= 1) {
        state.channelPrefix = event.data[0];
      }
      break;
    case kTimeSignature:
      state.info.timeSignatures.AddTimeSignature(tick, event.data, event.length,
                                                 state.info.division);
      break;
    default:
      break;
  }
}

}  // namespace

ScanReader::ScanReader(const std::uint8_t* begin, const std::uint8_t* end)
    : position_(begin), end_(end) {}

bool ScanReader::ReadFirstDelta() {
  currentTick_ = 0;
  return ReadScanVarLen(tickTotal_);
}

bool ScanReader::ReadScanByte(std::uint8_t& byte) {
  if (position_ >= end_) {
    return false;
  }
  byte = *position_++;
  return true;
}

bool ScanReader::ReadScanVarLen(std::uint32_t& value) {
  std::uint32_t v = 0;
  std::uint8_t b = 0;
  do {
    if (!ReadScanByte(b)) {
      return false;
    }
    v = (v << 7) | (b & 0x7Fu);
  } while (b >= 0x80);
  value = v;
  return true;
}

bool ScanReader::ReadChannelData(ScanEvent& event, std::uint8_t first, bool firstIsData) {
  const std::uint8_t kind = event.status & 0xF0;
  const bool twoBytes = kind != 0xC0 && kind != 0xD0;
  if (firstIsData) {
    event.data1 = first;
  } else if (!ReadScanByte(event.data1)) {
    return false;
  }
  if (twoBytes && !ReadScanByte(event.data2)) {
    return false;
  }
  event.length = twoBytes ? 3 : 2;
  return true;
}

bool ScanReader::ReadBlock(ScanEvent& event) {
  if (!ReadScanVarLen(event.length)) {
    return false;
  }
  if (event.length > static_cast<std::uint32_t>(end_ - position_)) {
    return false;
  }
  event.data = position_;
  position_ += event.length;
  return true;
}

void ScanReader::SkipChannelEvents() {
  const std::uint8_t* p = position_;
  std::uint8_t runningStatus = runningStatus_;
  std::uint32_t tick = tickTotal_;
  // Each message of at most three bytes and the two bytes after it lie inside the data.
  while (end_ - p >= 5) {
    const std::uint8_t b = p[0];
    if (b >= 0xF0 || (b < 0x80 && runningStatus == 0)) {
      break;
    }
    const std::uint8_t status = b >= 0x80 ? b : runningStatus;
    const std::uint8_t kind = status & 0xF0;
    const std::uint8_t* q = p + (b >= 0x80 ? 1 : 0) + (kind == 0xC0 || kind == 0xD0 ? 1 : 2);
    std::uint32_t delta = q[0];
    std::ptrdiff_t size = 1;
    if (delta >= 0x80) {
      if (q[1] >= 0x80) {
        break;  // longer delta times go the careful way
      }
      delta = ((delta & 0x7F) << 7) | q[1];
      size = 2;
    }
    runningStatus = status;
    currentTick_ = tick;
    tick += delta;
    p = q + size;
  }
  position_ = p;
  runningStatus_ = runningStatus;
  tickTotal_ = tick;
}

bool ScanReader::ReadScanEvent(ScanEvent& event) {
  event = ScanEvent{};
  std::uint8_t b = 0;
  if (!ReadScanByte(b)) {
    return false;
  }
  bool ok = false;
  if (b < 0x80) {
    event.status = runningStatus_;
    ok = runningStatus_ != 0 && ReadChannelData(event, b, true);
  } else if (b < 0xF0) {
    event.status = b;
    runningStatus_ = b;
    ok = ReadChannelData(event, 0, false);
  } else if (b == 0xF0 || b == 0xF7) {
    event.status = b;
    ok = ReadBlock(event);
  } else if (b == kMeta) {
    event.status = b;
    ok = ReadScanByte(event.data1) && ReadBlock(event);
  }
  if (!ok) {
    return false;
  }
  std::uint32_t delta = 0;
  if (position_ < end_ && !ReadScanVarLen(delta)) {
    return false;
  }
  currentTick_ = tickTotal_;
  tickTotal_ += delta;
  return true;
}

bool CollectSongInfo(const std::uint8_t* image, std::uint32_t imageLength, SongInfo& info) {
  info.title.assign(1, ' ');  // not = " ": GCC 12 at -O3 warns falsely (-Wrestrict) on that
  info.timeSignatures.Clear();
  FileHeader header;
  if (!ReadFileHeader(image, imageLength, header) || header.trackCount == 0) {
    return false;
  }
  std::uint64_t offset = kFileHeaderSize;
  TrackChunk chunk;
  if (!NextTrackChunk(image, imageLength, offset, chunk) || chunk.length == 0) {
    return false;
  }
  const std::uint8_t* begin = image + chunk.dataOffset;
  ScanReader reader(begin, begin + chunk.length);
  if (!reader.ReadFirstDelta()) {
    return false;
  }
  ScanState state{info};
  ScanEvent event;
  for (reader.SkipChannelEvents(); reader.ReadScanEvent(event); reader.SkipChannelEvents()) {
    if (event.status == kMeta) {
      ActOnMeta(state, event, reader.currentTick());
    }
  }
  return true;
}

}  // namespace quirelle::smf
