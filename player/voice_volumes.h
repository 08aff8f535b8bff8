// The volume each channel sounds at: the song's own volume controller, as it has played, scaled
// by the voice's percentage that the user sets. The user's thread sets percentages, the device's
// callback thread records what the song played, the builder reads both; no lock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "midi/vocabulary.h"

namespace quirelle::player {

class VoiceVolumes {
 public:
  static constexpr std::size_t kChannels = midi::kChannels;
  // What a channel's volume controller is before the song sets it (the General MIDI default).
  static constexpr std::uint32_t kDefaultSongVolume = 100;

  VoiceVolumes() {
    for (auto& p : percent_) {
      p.store(100, std::memory_order_relaxed);
    }
    ResetSong();
  }

  // Every channel's song volume back to the default, for a new song.
  void ResetSong() {
    for (auto& v : song_) {
      v.store(kDefaultSongVolume, std::memory_order_relaxed);
    }
  }
  std::uint32_t percent(std::size_t channel) const {
    return percent_[channel].load(std::memory_order_relaxed);
  }
  // Percentages above 100 count as 100.
  void SetPercent(std::size_t channel, std::uint32_t percent) {
    percent_[channel].store(percent > 100 ? 100 : percent, std::memory_order_relaxed);
  }
  std::uint32_t songVolume(std::size_t channel) const {
    return song_[channel].load(std::memory_order_relaxed);
  }
  void SetSongVolume(std::size_t channel, std::uint32_t value) {
    song_[channel].store(value & 0x7F, std::memory_order_relaxed);
  }
  // The controller value for the song's `value` at the channel's percentage now.
  std::uint32_t Scaled(std::size_t channel, std::uint32_t value) const {
    return (value & 0x7F) * percent(channel) / 100;
  }
  // The controller value the channel should sound at now.
  std::uint32_t Sounding(std::size_t channel) const { return Scaled(channel, songVolume(channel)); }

 private:
  std::array<std::atomic<std::uint32_t>, kChannels> percent_;
  std::array<std::atomic<std::uint32_t>, kChannels> song_;
};

}  // namespace quirelle::player
