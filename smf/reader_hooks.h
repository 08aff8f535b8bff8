// What the event reader reports to its caller as it reads: the engine implements it, tests
// supply their own.
#pragma once

#include "smf/track_cursor.h"

namespace quirelle::smf {

class ReaderHooks {
 public:
  // Bad input inside a track, just before ReadEvent returns 0. `message` is a fixed English text.
  virtual void OnParseError(const TrackCursor& cursor, const char* message) = 0;
  // A data block was allocated for the event being read (the builder's owned-data count).
  virtual void OnDataBlockAllocated() = 0;

 protected:
  ~ReaderHooks() = default;
};

// For passes that are not playback (the song information scans): they report nothing.
class IgnoringReaderHooks final : public ReaderHooks {
 public:
  void OnParseError(const TrackCursor&, const char*) override {}
  void OnDataBlockAllocated() override {}
};

}  // namespace quirelle::smf
