// Key transposition of the notes the stream builder writes: every note of every channel but the
// percussion channel moves by the semitones set, and each note-off and key pressure goes to the
// pitch its note-on was sent at, so that a change while notes sound never leaves one hanging. A
// note pushed outside 0-127 is dropped with its note-off and pressure.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

namespace quirelle::player {

class Transposer {
 public:
  static constexpr int kLowest = -12;
  static constexpr int kHighest = 12;

  Transposer() { Forget(); }

  // From the user's thread; values outside kLowest..kHighest are taken as the nearest.
  void SetSemitones(int semitones);
  int semitones() const { return semitones_.load(std::memory_order_relaxed); }

  // The message to send for the song's channel message `word`; empty when it is dropped.
  std::optional<std::uint32_t> Apply(std::uint32_t word);
  // Every note released: what was sent is forgotten.
  void Forget();

 private:
  static constexpr std::uint8_t kNotSounding = 0xFF;
  static constexpr std::uint8_t kDropped = 0xFE;

  // The pitch a key's note-on went out at, or what became of it: the moment's shift for a key
  // not sounding.
  std::uint8_t SentPitch(std::uint8_t channel, std::uint8_t key) const;

  std::atomic<int> semitones_{0};
  // The builder's own (the callback thread's, or the user's while loading).
  std::array<std::array<std::uint8_t, 128>, 16> sentAt_{};
};

}  // namespace quirelle::player
