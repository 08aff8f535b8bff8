// What the engine tells the program that drives it (the window, quirelle-render). The calls come
// from the device's callback thread, or from the caller's own thread while it loads or stops;
// an implementation only records or posts, and never calls back into the engine from there.
#pragma once

#include <cstdint>

#include "player/stream/mmsystem.h"

namespace quirelle::player {

class EngineListener {
 public:
  // A buffer has been played; `runningTotal` counts the bytes played since the song began.
  virtual void OnPositionChanged(std::uint32_t runningTotal) = 0;
  // The stream device has closed: the song ended, or it was stopped.
  virtual void OnPlayedOff() = 0;
  // A device call failed; playback goes on where it can.
  virtual void OnDeviceError(stream::MMRESULT /*result*/) {}
  // The song's data are damaged at the point being read (`message` is a fixed English text);
  // playback ends there.
  virtual void OnSongDataError(const char* /*message*/) {}

 protected:
  ~EngineListener() = default;
};

}  // namespace quirelle::player
