// The records, constants and result codes of the MIDI stream output, with their Windows values.
#pragma once

#include <cstdint>

namespace quirelle::stream {

using MMRESULT = std::uint32_t;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
inline constexpr MMRESULT MMSYSERR_NOTENABLED = 3;
inline constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT MIDIERR_UNPREPARED = 64;
inline constexpr MMRESULT MIDIERR_STILLPLAYING = 65;
inline constexpr MMRESULT MIDIERR_NOTREADY = 67;
inline constexpr MMRESULT MIDIERR_NODEVICE = 68;

inline constexpr std::uint32_t MIDI_MAPPER = 0xFFFFFFFF;
inline constexpr std::uint32_t CALLBACK_FUNCTION = 0x00030000;

// Callback messages.
inline constexpr std::uint32_t MOM_OPEN = 0x3C7;
inline constexpr std::uint32_t MOM_CLOSE = 0x3C8;
inline constexpr std::uint32_t MOM_DONE = 0x3C9;
inline constexpr std::uint32_t MOM_POSITIONCB = 0x3CA;

// Header flags.
inline constexpr std::uint32_t MHDR_DONE = 0x1;
inline constexpr std::uint32_t MHDR_PREPARED = 0x2;
inline constexpr std::uint32_t MHDR_INQUEUE = 0x4;
inline constexpr std::uint32_t MHDR_ISSTRM = 0x8;

// Event word.
inline constexpr std::uint32_t MEVT_F_SHORT = 0x00000000;
inline constexpr std::uint32_t MEVT_F_LONG = 0x80000000;
inline constexpr std::uint32_t MEVT_F_CALLBACK = 0x40000000;
inline constexpr std::uint8_t MEVT_SHORTMSG = 0x00;
inline constexpr std::uint8_t MEVT_TEMPO = 0x01;
inline constexpr std::uint8_t MEVT_NOP = 0x02;
inline constexpr std::uint32_t MevtEventType(std::uint32_t word) {
  return (word >> 24) & 0x3F;
}
inline constexpr std::uint32_t MevtEventParm(std::uint32_t word) {
  return word & 0x00FFFFFF;
}

// Stream properties.
inline constexpr std::uint32_t MIDIPROP_SET = 0x80000000;
inline constexpr std::uint32_t MIDIPROP_GET = 0x40000000;
inline constexpr std::uint32_t MIDIPROP_TIMEDIV = 0x00000001;
inline constexpr std::uint32_t MIDIPROP_TEMPO = 0x00000002;

// Time formats.
inline constexpr std::uint32_t TIME_MS = 0x01;
inline constexpr std::uint32_t TIME_SAMPLES = 0x02;
inline constexpr std::uint32_t TIME_BYTES = 0x04;
inline constexpr std::uint32_t TIME_SMPTE = 0x08;
inline constexpr std::uint32_t TIME_MIDI = 0x10;
inline constexpr std::uint32_t TIME_TICKS = 0x20;

struct MIDIHDR {
  std::uint8_t* lpData = nullptr;
  std::uint32_t dwBufferLength = 0;
  std::uint32_t dwBytesRecorded = 0;
  std::uintptr_t dwUser = 0;
  std::uint32_t dwFlags = 0;
  MIDIHDR* lpNext = nullptr;
  std::uintptr_t reserved = 0;
  std::uint32_t dwOffset = 0;  // offset of the event that produced MOM_POSITIONCB
  std::uintptr_t dwReserved[8] = {};
};

// The short form of a stream event (no parameters): 12 bytes.
struct MIDIEVENT {
  std::uint32_t dwDeltaTime;
  std::uint32_t dwStreamID;
  std::uint32_t dwEvent;
};
static_assert(sizeof(MIDIEVENT) == 12);

struct MMTIME {
  std::uint32_t wType = 0;
  union {
    std::uint32_t ms;
    std::uint32_t sample;
    std::uint32_t cb;
    std::uint32_t ticks;
    struct {
      std::uint8_t hour, min, sec, frame, fps, dummy, pad[2];
    } smpte;
    struct {
      std::uint32_t songptrpos;
    } midi;
  } u{};
};
static_assert(sizeof(MMTIME) == 12);

struct MIDIPROPTIMEDIV {
  std::uint32_t cbStruct;
  std::uint32_t dwTimeDiv;
};
struct MIDIPROPTEMPO {
  std::uint32_t cbStruct;
  std::uint32_t dwTempo;
};

}  // namespace quirelle::stream
