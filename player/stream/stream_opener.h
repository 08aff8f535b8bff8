// The open sequence every device driver shares: the arguments checked as Windows does, the
// device made by the driver, the stream opened on it, and the outcome kept for LastErrorText.
// Declare it as the driver's last member, so that its streams end before what their devices use.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "player/stream/midi_stream.h"
#include "player/stream/open_failure.h"
#include "player/stream/stream_core.h"

namespace quirelle::stream {

// The arguments of one midiStreamOpen.
struct OpenRequest {
  HMIDISTRM* stream;
  std::uint32_t* deviceId;
  std::uint32_t cMidi;
  MidiStreamCallback callback;
  std::uintptr_t instance;
  std::uint32_t flags;
};

class StreamOpener {
 public:
  // Makes the device of one stream; null with *failure filled in when it cannot.
  using DeviceMaker = std::function<std::unique_ptr<StreamDevice>(OpenFailure* failure)>;

  MMRESULT Open(const OpenRequest& request, const DeviceMaker& make);
  // Why the last open failed: for the window, and what the libraries said.
  std::string reason() const { return failure_.reason(); }
  std::string detail() const { return failure_.detail(); }
  StreamKeeper& keeper() { return keeper_; }
  const StreamKeeper& keeper() const { return keeper_; }

 private:
  LastOpenFailure failure_;
  StreamKeeper keeper_;
};

}  // namespace quirelle::stream
