// The voice map: which (track, channel) pairs are voices, and where every channel message of a
// track plays once voice k is on channel k.
#include "smf/voice_map.h"

#include <bitset>

namespace quirelle::smf {

namespace {

constexpr std::uint8_t kDrums = 9;  // channel 10 holds percussion, never a sung part
constexpr std::uint8_t kSungVoices = 4;

}  // namespace

void VoiceMap::Make(const std::vector<std::uint16_t>& noteChannelsOfTracks) {
  voices_.clear();
  moved_.clear();
  for (std::uint32_t track = 0; track < noteChannelsOfTracks.size(); ++track) {
    for (std::uint8_t channel = 0; channel < 16; ++channel) {
      if (channel != kDrums && (noteChannelsOfTracks[track] >> channel & 1u) != 0) {
        voices_.push_back({track, channel, channel});
      }
    }
  }
  if (FitsAsWritten(noteChannelsOfTracks) || !PlaceVoices()) {
    for (Voice& voice : voices_) {
      voice.playedOn = voice.channel;
    }
  } else {
    MakeTable(noteChannelsOfTracks.size());
  }
  ListVoiceChannels();
}

void VoiceMap::ListVoiceChannels() {
  voiceChannels_.clear();
  std::bitset<16> listed;
  for (std::uint8_t channel = 0; channel < kSungVoices; ++channel) {
    voiceChannels_.push_back(channel);
    listed.set(channel);
  }
  for (const Voice& voice : voices_) {
    if (!listed.test(voice.playedOn)) {
      listed.set(voice.playedOn);
      voiceChannels_.push_back(voice.playedOn);
    }
  }
}

bool VoiceMap::FitsAsWritten(const std::vector<std::uint16_t>& noteChannelsOfTracks) const {
  std::array<unsigned, kSungVoices> tracksOnChannel{};
  for (const std::uint16_t channels : noteChannelsOfTracks) {
    for (std::uint8_t channel = 0; channel < kSungVoices; ++channel) {
      tracksOnChannel[channel] += channels >> channel & 1u;
    }
  }
  bool allCarryNotes = true;
  for (const unsigned tracks : tracksOnChannel) {
    if (tracks > 1) {
      return false;
    }
    allCarryNotes = allCarryNotes && tracks == 1;
  }
  bool noneOutside = true;
  for (const Voice& voice : voices_) {
    noneOutside = noneOutside && voice.channel < kSungVoices;
  }
  return allCarryNotes || noneOutside;
}

bool VoiceMap::PlaceVoices() {
  std::bitset<16> used;
  for (std::size_t i = 0; i < voices_.size(); ++i) {
    used.set(voices_[i].channel);
    if (i < kSungVoices) {
      voices_[i].playedOn = static_cast<std::uint8_t>(i);
      used.set(i);
    }
  }
  for (std::size_t i = kSungVoices; i < voices_.size(); ++i) {
    if (voices_[i].channel >= kSungVoices) {
      continue;  // already clear of the sung voices' channels
    }
    std::uint8_t free = kSungVoices;
    while (free < 16 && (free == kDrums || used.test(free))) {
      ++free;
    }
    if (free == 16) {
      return false;
    }
    voices_[i].playedOn = free;
    used.set(free);
  }
  return true;
}

void VoiceMap::MakeTable(std::size_t trackCount) {
  // Per channel as written: where its first voice went; and the channels voices were moved onto.
  std::array<std::uint8_t, 16> firstVoiceGoesTo;
  firstVoiceGoesTo.fill(kLeftOut);
  std::bitset<16> firstVoiceFound;
  std::bitset<16> movedOnto;
  for (const Voice& voice : voices_) {
    if (!firstVoiceFound.test(voice.channel)) {
      firstVoiceFound.set(voice.channel);
      firstVoiceGoesTo[voice.channel] = voice.playedOn;
    }
    if (voice.playedOn != voice.channel) {
      movedOnto.set(voice.playedOn);
    }
  }
  std::array<std::uint8_t, 16> otherwise;
  for (std::uint8_t channel = 0; channel < 16; ++channel) {
    if (firstVoiceFound.test(channel)) {
      otherwise[channel] = firstVoiceGoesTo[channel];
    } else {
      // Nobody's voice: left alone, unless that would disturb a voice moved onto the channel.
      otherwise[channel] = movedOnto.test(channel) ? kLeftOut : channel;
    }
  }
  moved_.assign(trackCount, otherwise);
  for (const Voice& voice : voices_) {
    moved_[voice.track][voice.channel] = voice.playedOn;
  }
}

}  // namespace quirelle::smf
