// The open streams by handle. A handle is never used twice, so a closed, made-up or null handle
// is simply not found and the stream call answers MMSYSERR_INVALHANDLE.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "player/stream/midi_stream.h"

namespace quirelle::stream {

class StreamCore;

class HandleRegistry {
 public:
  static HandleRegistry& Instance();

  HMIDISTRM Register(std::shared_ptr<StreamCore> core);
  void Unregister(HMIDISTRM handle);
  std::shared_ptr<StreamCore> Find(HMIDISTRM handle) const;

 private:
  mutable std::mutex mutex_;
  std::unordered_map<std::uintptr_t, std::shared_ptr<StreamCore>> streams_;
  std::uintptr_t next_ = 0x51A0;
};

}  // namespace quirelle::stream
