// The words of MIDI that every part of the program speaks: status kinds and their data-byte
// counts, controller numbers, meta-event types, the time division's SMPTE form, the packed short
// message, and the volume controller as a percentage. Header only, no dependencies.
#pragma once

#include <cstdint>

namespace quirelle::midi {

// Status bytes: the kind of a channel message is its high nibble, the channel its low nibble.
inline constexpr std::uint8_t kNoteOff = 0x80;
inline constexpr std::uint8_t kNoteOn = 0x90;
inline constexpr std::uint8_t kKeyPressure = 0xA0;
inline constexpr std::uint8_t kControlChange = 0xB0;
inline constexpr std::uint8_t kProgramChange = 0xC0;
inline constexpr std::uint8_t kChannelPressure = 0xD0;
inline constexpr std::uint8_t kPitchBend = 0xE0;
inline constexpr std::uint8_t kSysEx = 0xF0;
inline constexpr std::uint8_t kSysExEscape = 0xF7;
inline constexpr std::uint8_t kMeta = 0xFF;  // in a file; on the wire it is a system reset
inline constexpr std::uint8_t kSystemReset = 0xFF;

inline constexpr int kChannels = 16;

constexpr bool IsStatus(std::uint8_t byte) {
  return (byte & 0x80) != 0;
}
constexpr bool IsChannelStatus(std::uint8_t status) {
  return status >= kNoteOff && status < kSysEx;
}
constexpr std::uint8_t KindOf(std::uint8_t status) {
  return status & 0xF0;
}
constexpr std::uint8_t ChannelOf(std::uint8_t status) {
  return status & 0x0F;
}
// Data bytes after a channel status: one for program change and channel pressure, else two.
constexpr int DataBytes(std::uint8_t status) {
  const std::uint8_t kind = KindOf(status);
  return kind == kProgramChange || kind == kChannelPressure ? 1 : 2;
}

// A key's pitch class: C = 0 up to B = 11, in every octave.
constexpr int PitchClass(int key) {
  return ((key % 12) + 12) % 12;
}

// Controller numbers.
inline constexpr std::uint8_t kBankSelect = 0;
inline constexpr std::uint8_t kDataEntry = 6;
inline constexpr std::uint8_t kChannelVolume = 7;
inline constexpr std::uint8_t kPan = 10;
inline constexpr std::uint8_t kBankSelectLsb = 32;
inline constexpr std::uint8_t kDataEntryLsb = 38;
inline constexpr std::uint8_t kSustainPedal = 64;
inline constexpr std::uint8_t kSostenutoPedal = 66;
inline constexpr std::uint8_t kEffects1Depth = 91;  // reverb; 91 to 95 are the effects depths
inline constexpr std::uint8_t kEffects5Depth = 95;
inline constexpr std::uint8_t kDataIncrement = 96;
inline constexpr std::uint8_t kDataDecrement = 97;
inline constexpr std::uint8_t kNrpnLsb = 98;
inline constexpr std::uint8_t kNrpnMsb = 99;
inline constexpr std::uint8_t kRpnLsb = 100;
inline constexpr std::uint8_t kRpnMsb = 101;
inline constexpr std::uint8_t kAllSoundOff = 120;  // 120 and up are channel mode messages
inline constexpr std::uint8_t kResetAllControllers = 121;
inline constexpr std::uint8_t kAllNotesOff = 123;
inline constexpr std::uint8_t kNullParameter = 127;  // RPN/NRPN 127/127 selects none
inline constexpr std::uint8_t kDataMax = 127;

// Meta-event types.
inline constexpr std::uint8_t kMetaText = 0x01;
inline constexpr std::uint8_t kMetaTrackName = 0x03;
inline constexpr std::uint8_t kMetaInstrumentName = 0x04;
inline constexpr std::uint8_t kMetaLyric = 0x05;
inline constexpr std::uint8_t kMetaChannelPrefix = 0x20;
inline constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
inline constexpr std::uint8_t kMetaSetTempo = 0x51;
inline constexpr std::uint8_t kMetaTimeSignature = 0x58;

// The time division of the file header: ticks per quarter note, or with bit 15 set the SMPTE
// form, frames per second (negated, in the high byte) and ticks per frame (the low byte).
constexpr bool IsSmpteDivision(std::uint32_t division) {
  return (division & 0x8000u) != 0;
}
constexpr std::uint32_t SmpteFramesPerSecond(std::uint32_t division) {
  return 256 - ((division >> 8) & 0xFF);  // 29 stands for 29.97 (drop frame)
}
constexpr std::uint32_t SmpteTicksPerFrame(std::uint32_t division) {
  return division & 0xFF;
}

// A short message packed as the stream and the devices carry it.
constexpr std::uint32_t ShortMessage(std::uint8_t status, std::uint32_t data1,
                                     std::uint32_t data2) {
  return status | ((data1 & 0x7F) << 8) | ((data2 & 0x7F) << 16);
}
constexpr std::uint8_t StatusOf(std::uint32_t message) {
  return static_cast<std::uint8_t>(message & 0xFF);
}
constexpr std::uint8_t Data1Of(std::uint32_t message) {
  return static_cast<std::uint8_t>((message >> 8) & 0x7F);
}
constexpr std::uint8_t Data2Of(std::uint32_t message) {
  return static_cast<std::uint8_t>((message >> 16) & 0x7F);
}
// A channel volume controller, the one the voice volumes scale.
constexpr bool IsChannelVolume(std::uint32_t message) {
  return KindOf(StatusOf(message)) == kControlChange && Data1Of(message) == kChannelVolume;
}

// The channel volume controller as a percentage of its full value, both ways (rounded down, as
// the window's sliders always did).
constexpr std::uint32_t VolumeFromPercent(std::uint32_t percent) {
  return (percent > 100 ? 100 : percent) * kDataMax / 100;
}
constexpr std::uint32_t PercentFromVolume(std::uint32_t value) {
  return (value & 0x7F) * 100 / kDataMax;
}

}  // namespace quirelle::midi
