// The volume each channel sounds at: the song's own volume controller, as it has played, scaled
// by the voice's percentage that the user sets, or none for a voice muted or left out by a solo.
// The user's thread sets percentages, mutes and solos, the device's callback thread records what
// the song played, the builder reads both; no lock.
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
  // Until a song says otherwise, the voices are channels 0 to 3, all sung.
  static constexpr std::uint32_t kFirstFourChannels = 0x000F;

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
  // The song's voices (bit c: channel c is one the singer controls) and which of them are sung.
  // Only sung voices take part in a solo: the accompaniment and channels of no voice go on under
  // it. Solos and mutes stay as they are.
  void SetVoiceChannels(std::uint32_t voices, std::uint32_t sung) {
    voiceChannels_.store(voices & 0xFFFF, std::memory_order_relaxed);
    sungChannels_.store(sung & voices & 0xFFFF, std::memory_order_relaxed);
  }
  std::uint32_t voiceChannels() const { return voiceChannels_.load(std::memory_order_relaxed); }
  std::uint32_t sungChannels() const { return sungChannels_.load(std::memory_order_relaxed); }
  // Mute and solo leave the percentage as it is. A soloed accompaniment is heard with the other
  // accompaniment, the sung voices silent.
  void SetMuted(std::size_t channel, bool muted) { SetBit(muted_, channel, muted); }
  void SetSoloed(std::size_t channel, bool soloed) { SetBit(soloed_, channel, soloed); }
  bool muted(std::size_t channel) const { return TestBit(muted_, channel); }
  bool soloed(std::size_t channel) const { return TestBit(soloed_, channel); }
  // Muted, or a sung voice while another voice is soloed: mute wins over solo.
  bool Silenced(std::size_t channel) const {
    const std::uint32_t solos = soloed_.load(std::memory_order_relaxed);
    return muted(channel) || (TestBit(sungChannels_, channel) && solos != 0 && !soloed(channel));
  }
  // The controller value for the song's `value` at the channel's percentage now.
  std::uint32_t Scaled(std::size_t channel, std::uint32_t value) const {
    return Silenced(channel) ? 0 : (value & 0x7F) * percent(channel) / 100;
  }
  // The controller value the channel should sound at now.
  std::uint32_t Sounding(std::size_t channel) const { return Scaled(channel, songVolume(channel)); }

 private:
  static void SetBit(std::atomic<std::uint32_t>& bits, std::size_t channel, bool on) {
    if (channel >= kChannels) {
      return;
    }
    const std::uint32_t bit = 1U << channel;
    if (on) {
      bits.fetch_or(bit, std::memory_order_relaxed);
    } else {
      bits.fetch_and(~bit, std::memory_order_relaxed);
    }
  }
  static bool TestBit(const std::atomic<std::uint32_t>& bits, std::size_t channel) {
    return channel < kChannels && (bits.load(std::memory_order_relaxed) >> channel & 1U) != 0;
  }

  std::array<std::atomic<std::uint32_t>, kChannels> percent_;
  std::atomic<std::uint32_t> muted_{0};
  std::atomic<std::uint32_t> soloed_{0};
  std::atomic<std::uint32_t> voiceChannels_{kFirstFourChannels};
  std::atomic<std::uint32_t> sungChannels_{kFirstFourChannels};
  std::array<std::atomic<std::uint32_t>, kChannels> song_;
};

}  // namespace quirelle::player
