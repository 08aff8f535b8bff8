// The stream calls: look the handle up, then hand the call to that stream's core.
#include "player/stream/midi_stream.h"

#include "player/stream/handle_registry.h"
#include "player/stream/stream_core.h"

namespace quirelle::stream {
namespace {

template <typename Call>
MMRESULT OnStream(HMIDISTRM stream, Call call) {
  const std::shared_ptr<StreamCore> core = HandleRegistry::Instance().Find(stream);
  if (!core) {
    return MMSYSERR_INVALHANDLE;
  }
  return call(*core);
}

}  // namespace

MMRESULT midiStreamProperty(HMIDISTRM stream, std::uint8_t* property, std::uint32_t flags) {
  return OnStream(stream, [&](StreamCore& core) { return core.Property(property, flags); });
}

MMRESULT midiOutPrepareHeader(HMIDISTRM stream, MIDIHDR* header, std::uint32_t headerSize) {
  return OnStream(stream, [&](StreamCore& core) { return core.Prepare(header, headerSize); });
}

MMRESULT midiOutUnprepareHeader(HMIDISTRM stream, MIDIHDR* header, std::uint32_t headerSize) {
  return OnStream(stream, [&](StreamCore& core) { return core.Unprepare(header, headerSize); });
}

MMRESULT midiStreamOut(HMIDISTRM stream, MIDIHDR* header, std::uint32_t headerSize) {
  return OnStream(stream, [&](StreamCore& core) { return core.Out(header, headerSize); });
}

MMRESULT midiStreamRestart(HMIDISTRM stream) {
  return OnStream(stream, [](StreamCore& core) { return core.Restart(); });
}

MMRESULT midiStreamPause(HMIDISTRM stream) {
  return OnStream(stream, [](StreamCore& core) { return core.Pause(); });
}

MMRESULT midiStreamStop(HMIDISTRM stream) {
  return OnStream(stream, [](StreamCore& core) { return core.Stop(); });
}

MMRESULT midiOutReset(HMIDISTRM stream) {
  return OnStream(stream, [](StreamCore& core) { return core.Reset(); });
}

MMRESULT midiStreamClose(HMIDISTRM stream) {
  return OnStream(stream, [](StreamCore& core) { return core.Close(); });
}

MMRESULT midiStreamPosition(HMIDISTRM stream, MMTIME* time, std::uint32_t timeSize) {
  return OnStream(stream, [&](StreamCore& core) { return core.Position(time, timeSize); });
}

MMRESULT StreamHeardPosition(HMIDISTRM stream, MMTIME* time) {
  return OnStream(stream, [&](StreamCore& core) { return core.HeardPosition(time); });
}

MMRESULT midiOutShortMsg(HMIDISTRM stream, std::uint32_t message) {
  return OnStream(stream, [&](StreamCore& core) { return core.ShortMsg(message); });
}

}  // namespace quirelle::stream
