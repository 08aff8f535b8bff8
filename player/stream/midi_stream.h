// The MIDI stream output: the Windows stream calls over the devices of this folder. A handle names
// one open stream; every call checks it, so a closed or made-up handle gets
// MMSYSERR_INVALHANDLE, never a crash. Every call may be made from inside the stream's callback.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "player/stream/mmsystem.h"

namespace quirelle::stream {

struct HMIDISTRM__;
using HMIDISTRM = HMIDISTRM__*;

// Runs on the stream's own callback thread. For MOM_DONE and MOM_POSITIONCB, param1 is the
// MIDIHDR*.
using MidiStreamCallback = void (*)(HMIDISTRM stream, std::uint32_t message,
                                    std::uintptr_t instance, std::uintptr_t param1,
                                    std::uintptr_t param2);

// Opens streams on one kind of device (virtual, synth, alsa, or the default of these). The engine
// is given one; midiStreamOpen goes through it.
class StreamDriver {
 public:
  virtual ~StreamDriver() = default;
  // cMidi must be 1, deviceId must point at a valid id (MIDI_MAPPER or 0), flags CALLBACK_FUNCTION.
  virtual MMRESULT midiStreamOpen(HMIDISTRM* stream, std::uint32_t* deviceId, std::uint32_t cMidi,
                                  MidiStreamCallback callback, std::uintptr_t instance,
                                  std::uint32_t flags) = 0;
  // Why the last open failed, in words a window can show ("no SoundFont found", ...).
  virtual std::string LastErrorText() const = 0;
  // Starts on a thread of its own what the first open would otherwise wait for (loading the
  // synthesizer's SoundFont); a failure there is tried again, and reported, by that open.
  virtual void PrepareInBackground() {}
};

MMRESULT midiStreamProperty(HMIDISTRM stream, std::uint8_t* property, std::uint32_t flags);
MMRESULT midiOutPrepareHeader(HMIDISTRM stream, MIDIHDR* header, std::uint32_t headerSize);
MMRESULT midiOutUnprepareHeader(HMIDISTRM stream, MIDIHDR* header, std::uint32_t headerSize);
MMRESULT midiStreamOut(HMIDISTRM stream, MIDIHDR* header, std::uint32_t headerSize);
MMRESULT midiStreamRestart(HMIDISTRM stream);
MMRESULT midiStreamPause(HMIDISTRM stream);
MMRESULT midiStreamStop(HMIDISTRM stream);
MMRESULT midiOutReset(HMIDISTRM stream);
MMRESULT midiStreamClose(HMIDISTRM stream);
MMRESULT midiStreamPosition(HMIDISTRM stream, MMTIME* time, std::uint32_t timeSize);
MMRESULT midiOutShortMsg(HMIDISTRM stream, std::uint32_t message);
// The position in ticks of the sound heard now, which trails midiStreamPosition by what the
// device has rendered ahead.
MMRESULT StreamHeardPosition(HMIDISTRM stream, MMTIME* time);

// The default device: the embedded synthesizer when a SoundFont and an audio output can be had,
// else the first ALSA synthesizer port.
std::unique_ptr<StreamDriver> MakeDefaultDriver();

}  // namespace quirelle::stream
