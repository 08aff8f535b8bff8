// The song's voices and the channels they play on.
//
// A voice is one track's notes on one channel: a (track, channel) pair with a note-on of velocity
// above 0, never on channel 10, ordered by track in file order and, within a track, by channel.
// Files that put voice k on channel k already are played as written; any other file (every part on
// one channel, staves past the channels a lyrics track took) is played with voice k moved to
// channel k for the first four, and each further voice onto a channel of its own where one is
// free. What the singer controls (volumes, names, rehearsal tracks) is a channel: channels 1 to 4,
// then each further channel voices play on; voices left on one channel (a piano's two staves)
// share it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace quirelle::smf {

struct Voice {
  std::uint32_t track = 0;
  std::uint8_t channel = 0;   // as written, 0-based
  std::uint8_t playedOn = 0;  // where the engine plays it, 0-based
};

class VoiceMap {
 public:
  // A channel message the map leaves out: it would change a voice moved onto its channel.
  static constexpr std::uint8_t kLeftOut = 0xFF;

  // Finds the voices from each track's note channels (bit c: a note-on on channel c) and where
  // they play.
  void Make(const std::vector<std::uint16_t>& noteChannelsOfTracks);

  // True when every channel message plays where the file writes it.
  bool asWritten() const { return moved_.empty(); }
  const std::vector<Voice>& voices() const { return voices_; }
  // The channels the singer controls, numbered as the window and the tool number voices: 0 to 3,
  // then each further channel a voice plays on, in voice order. At most 15 (never channel 10).
  const std::vector<std::uint8_t>& voiceChannels() const { return voiceChannels_; }
  // The first voice (an index of voices()) that plays on `channel`; none when no voice does.
  std::optional<std::size_t> FirstVoiceOn(std::uint8_t channel) const {
    for (std::size_t i = 0; i < voices_.size(); ++i) {
      if (voices_[i].playedOn == channel) {
        return i;
      }
    }
    return std::nullopt;
  }
  // The channel a message of `track` written on `channel` plays on, or kLeftOut.
  std::uint8_t ChannelFor(std::uint32_t track, std::uint8_t channel) const {
    return moved_.empty() || track >= moved_.size() ? channel : moved_[track][channel];
  }

 private:
  bool FitsAsWritten(const std::vector<std::uint16_t>& noteChannelsOfTracks) const;
  // Voice k on channel k, further voices off channels 1 to 4; false when no channel is free.
  bool PlaceVoices();
  void MakeTable(std::size_t trackCount);
  void ListVoiceChannels();

  std::vector<Voice> voices_;
  std::vector<std::uint8_t> voiceChannels_ = {0, 1, 2, 3};
  std::vector<std::array<std::uint8_t, 16>> moved_;  // by track; empty when as written
};

}  // namespace quirelle::smf
