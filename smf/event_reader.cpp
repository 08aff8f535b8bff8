// The track event reader: decodes one event at a time in place from the image. It keeps its
// position in a local pointer and writes it back to the cursor on every exit, so the hot path
// does not reload the cursor after each byte stored into the event.
#include "smf/event_reader.h"

#include <cstring>

#include "midi/vocabulary.h"
#include "platform/byte_block.h"

namespace quirelle::smf {

namespace {

using Byte = std::uint8_t;

// Reads a variable-length quantity from [p, end). On failure `p` is left at `end` and `value`
// is not written.
inline bool ReadQuantity(const Byte*& p, const Byte* end, std::uint32_t& value) {
  std::uint32_t v = 0;
  for (;;) {
    if (p >= end) {
      return false;
    }
    const Byte b = *p++;
    v = (v << 7) | (b & 0x7Fu);
    if (b < 0x80) {
      value = v;
      return true;
    }
  }
}

inline bool HasTwoDataBytes(Byte status) {
  return midi::DataBytes(status) == 2;
}

// Where reading stands inside one ReadEvent call.
struct Scan {
  TrackCursor& cursor;
  TrackEvent& event;
  const Byte* p;
  const Byte* end;

  int Fail() { return FailWith(nullptr); }
  int FailWith(const char* message) {
    cursor.position = p;
    cursor.error = message;
    event.data.reset();
    return 0;
  }
};

bool ReadRunningStatusMessage(Scan& s, Byte first) {
  const Byte status = s.cursor.runningStatus;
  s.event.status = status;
  s.event.data1 = first;
  s.event.length = 2;
  if (HasTwoDataBytes(status)) {
    if (s.p >= s.end) {
      return false;
    }
    s.event.data2 = *s.p++;
    s.event.length = 3;
  }
  return true;
}

bool ReadChannelMessage(Scan& s, Byte status) {
  s.event.status = status;
  s.cursor.runningStatus = status;  // kept even when the data bytes are missing
  if (s.p >= s.end) {
    return false;
  }
  // The rest reads as a message under the running status just set.
  return ReadRunningStatusMessage(s, *s.p++);
}

// Copies `length` data bytes into a new block. A length beyond the bytes left in the track is
// truncated whatever happens, so no block is allocated for it: a hostile length cannot ask for
// more memory than the image holds.
int CopyData(Scan& s, const char* truncated) {
  const auto left = static_cast<std::uint32_t>(s.end - s.p);
  if (s.event.length > left) {
    s.p = s.end;
    return s.FailWith(truncated);
  }
  s.event.data = platform::AllocateBlock(s.event.length);
  if (!s.event.data) {
    return s.FailWith(kOutOfMemory);
  }
  if (s.event.length != 0) {
    std::memcpy(s.event.data.get(), s.p, s.event.length);
    s.p += s.event.length;
  }
  return 1;
}

int ReadSysEx(Scan& s, Byte status) {
  s.event.status = status;
  if (!ReadQuantity(s.p, s.end, s.event.length)) {
    return s.FailWith(kSysExTruncatedLength);
  }
  return CopyData(s, kSysExTruncated);
}

int ReadMeta(Scan& s) {
  s.event.status = midi::kMeta;
  if (s.p >= s.end) {
    return s.Fail();
  }
  s.event.data1 = *s.p++;
  if (!ReadQuantity(s.p, s.end, s.event.length)) {
    return s.FailWith(kMetaTruncatedLength);
  }
  if (s.event.length != 0 && CopyData(s, kMetaTruncated) == 0) {
    return 0;
  }
  if (s.event.data1 == midi::kMetaEndOfTrack) {
    s.cursor.flags |= kTrackFinished;
  }
  return 1;
}

// Reads the delta time after a decoded event. Data that end exactly here, before the delta or
// right after it, end the track cleanly (many files lack the end-of-track event).
int FinishEvent(Scan& s) {
  s.event.time = s.cursor.nextTime;
  if (s.cursor.finished()) {
    s.cursor.position = s.p;
    return 1;
  }
  if (s.p < s.end) {
    std::uint32_t delta = 0;
    if (!ReadQuantity(s.p, s.end, delta)) {
      return s.Fail();
    }
    s.cursor.nextTime += delta;
  }
  if (s.p >= s.end) {
    s.cursor.flags |= kTrackFinished;
  }
  s.cursor.position = s.p;
  return 1;
}

}  // namespace

int ReadVarLen(TrackCursor& cursor, std::uint32_t& value) {
  if (cursor.finished()) {
    return 0;
  }
  const Byte* p = cursor.position;
  const bool ok = ReadQuantity(p, cursor.start + cursor.length, value);
  cursor.position = p;
  return ok ? 1 : 0;
}

bool PlaceOnFirstEvent(TrackCursor& cursor) {
  cursor.position = cursor.start;
  cursor.runningStatus = 0;
  cursor.nextTime = 0;
  cursor.flags = 0;
  if (cursor.length != 0) {
    if (ReadVarLen(cursor, cursor.nextTime) == 0) {
      return false;
    }
    if (!cursor.exhausted()) {
      return true;
    }
  }
  cursor.flags |= kTrackFinished;
  return true;
}

namespace {

// Any event, every bound checked byte by byte.
int ReadAnyEvent(TrackCursor& cursor, TrackEvent& event) {
  Scan s{cursor, event, cursor.position, cursor.start + cursor.length};
  if (s.p >= s.end) {
    return s.Fail();
  }
  const Byte b = *s.p++;
  if (b < 0x80) {
    if (cursor.runningStatus == 0) {
      return s.FailWith(kMissingRunningStatus);
    }
    if (!ReadRunningStatusMessage(s, b)) {
      return s.Fail();
    }
  } else if (b < midi::kSysEx) {
    if (!ReadChannelMessage(s, b)) {
      return s.Fail();
    }
  } else if (b == midi::kSysEx || b == midi::kSysExEscape) {
    if (ReadSysEx(s, b) == 0) {
      return 0;
    }
  } else if (b == midi::kMeta) {
    if (ReadMeta(s) == 0) {
      return 0;
    }
  } else {
    return s.Fail();  // 0xF1..0xF6, 0xF8..0xFE have no place in a file
  }
  return FinishEvent(s);
}

}  // namespace

namespace detail {

int ReadEventChecked(TrackCursor& cursor, TrackEvent& event) {
  event.Clear();
  if (cursor.finished()) {
    cursor.error = nullptr;
    return 0;
  }
  return ReadAnyEvent(cursor, event);
}

int FinishFastEvent(TrackCursor& cursor, TrackEvent& event, const std::uint8_t* next) {
  Scan s{cursor, event, next, cursor.start + cursor.length};
  return FinishEvent(s);
}

}  // namespace detail

}  // namespace quirelle::smf
