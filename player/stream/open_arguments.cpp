// The argument checks every driver's midiStreamOpen makes before it opens anything.
#include "player/stream/stream_core.h"

namespace quirelle::stream {

MMRESULT CheckOpenArguments(const HMIDISTRM* stream, const std::uint32_t* deviceId,
                            std::uint32_t cMidi, MidiStreamCallback callback, std::uint32_t flags) {
  if (stream == nullptr || deviceId == nullptr || cMidi != 1) {
    return MMSYSERR_INVALPARAM;
  }
  if (flags != CALLBACK_FUNCTION) {
    return MMSYSERR_INVALFLAG;
  }
  if (callback == nullptr) {
    return MMSYSERR_INVALPARAM;
  }
  if (*deviceId != MIDI_MAPPER && *deviceId != 0) {
    return MMSYSERR_BADDEVICEID;
  }
  return MMSYSERR_NOERROR;
}

}  // namespace quirelle::stream
