// What the event reader and the loader report to the engine that owns them. The engine
// implements these; tests supply their own.
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

class LoadHooks : public ReaderHooks {
 public:
  // Load step 9: open the stream device, set its time division, fill and queue the first two
  // buffers. 0 fails the load (the image stays held), 1 goes on.
  virtual int OpenStream() = 0;
  // A held image is about to be released: unprepare and free the stream buffers.
  virtual void FreeBuffers() = 0;
  // RewindTracks sets the builder's last emitted time to 0.
  virtual void ResetClock() = 0;

 protected:
  ~LoadHooks() = default;
};

}  // namespace quirelle::smf
