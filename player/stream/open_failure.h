// Why a device could not be opened, and the record a driver keeps of its last open: the short
// reason for the window and what the libraries said, readable from any thread.
#pragma once

#include <mutex>
#include <string>
#include <utility>

#include "player/stream/mmsystem.h"

namespace quirelle::stream {

struct OpenFailure {
  MMRESULT code = MMSYSERR_NOERROR;
  std::string reason;  // for the window: "no SoundFont found", "no ALSA sequencer", ...
  std::string detail;  // what the libraries said
};

class LastOpenFailure {
 public:
  // Keeps `failure` (an empty one after a successful open) and returns its code.
  MMRESULT Set(OpenFailure failure) {
    std::lock_guard lock(mutex_);
    failure_ = std::move(failure);
    return failure_.code;
  }
  std::string reason() const {
    std::lock_guard lock(mutex_);
    return failure_.reason;
  }
  std::string detail() const {
    std::lock_guard lock(mutex_);
    return failure_.detail;
  }

 private:
  mutable std::mutex mutex_;
  OpenFailure failure_;
};

}  // namespace quirelle::stream
