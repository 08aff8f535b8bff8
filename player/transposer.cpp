#include "player/transposer.h"

#include <algorithm>

#include "midi/vocabulary.h"

namespace quirelle::player {
namespace {

constexpr std::uint8_t kPercussionChannel = 9;

}  // namespace

void Transposer::SetSemitones(int semitones) {
  semitones_.store(std::clamp(semitones, kLowest, kHighest), std::memory_order_relaxed);
}

void Transposer::Forget() {
  for (auto& channel : sentAt_) {
    channel.fill(kNotSounding);
  }
}

std::uint8_t Transposer::SentPitch(std::uint8_t channel, std::uint8_t key) const {
  const std::uint8_t sent = sentAt_[channel][key];
  if (sent != kNotSounding) {
    return sent;
  }
  const int pitch = key + semitones();
  return pitch < 0 || pitch > midi::kDataMax ? kDropped : static_cast<std::uint8_t>(pitch);
}

std::optional<std::uint32_t> Transposer::Apply(std::uint32_t word) {
  const std::uint8_t status = midi::StatusOf(word);
  const std::uint8_t kind = midi::KindOf(status);
  const std::uint8_t channel = midi::ChannelOf(status);
  const bool note = kind == midi::kNoteOn || kind == midi::kNoteOff || kind == midi::kKeyPressure;
  if (!note || channel == kPercussionChannel) {
    return word;
  }
  const std::uint8_t key = midi::Data1Of(word) & 0x7F;
  const bool on = kind == midi::kNoteOn && midi::Data2Of(word) != 0;
  const bool off = kind == midi::kNoteOff || (kind == midi::kNoteOn && !on);
  if (on) {
    sentAt_[channel][key] = kNotSounding;  // a repeated note-on takes the shift of now
  }
  const std::uint8_t pitch = SentPitch(channel, key);
  if (on || off) {
    sentAt_[channel][key] = on ? pitch : kNotSounding;
  }
  if (pitch == kDropped) {
    return std::nullopt;
  }
  return (word & 0xFF00FF) | (std::uint32_t{pitch} << 8);
}

}  // namespace quirelle::player
