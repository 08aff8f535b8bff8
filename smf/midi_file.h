// The file model: the image, the header values, the track table, the song's title, the channel
// names, the time-signature map and the words. It only reads: the engine opens its device after
// a load.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/byte_block.h"
#include "platform/readable_file.h"
#include "smf/lyrics.h"
#include "smf/time_signature_map.h"
#include "smf/track_cursor.h"
#include "smf/voice_map.h"
#include "smf/voice_notes.h"
#include "smf/voice_roles.h"

namespace quirelle::smf {

struct TrackScan;

class MidiFile {
 public:
  MidiFile();
  MidiFile(const MidiFile&) = delete;
  MidiFile& operator=(const MidiFile&) = delete;

  // Releases a held image, reads the whole file into a new block and creates from it. 1 / 0.
  int LoadFromFile(platform::ReadableFile& file);
  // Takes ownership of `image` (freed when refused), builds the track table and scans the song
  // information. 1 when accepted.
  int CreateFromImage(platform::ByteBlock image, std::uint32_t imageLength);
  // Puts every cursor back on its first event. 0 when no image is held or a first delta fails.
  int RewindTracks();
  int GetTimeDivision(std::uint16_t& division) const;
  // Reads title, instrument names and time signatures from the first track, finds the voices
  // in all tracks, then names the channels after the voices that play on them.
  int ScanSongInfo();
  // Beats of a pickup the file does not write, counted by the songs loaded from now on (0: none);
  // the bars of a song being played never change under it.
  void SetPickup(std::uint32_t beats);
  std::uint32_t pickup() const { return pickup_; }
  std::optional<std::int32_t> GetBarNumber(std::uint32_t position) const;
  // The bar the song ends in; none for a file without bars. The note-offs that end the last bar
  // stand on the first tick of the next one, which holds nothing.
  std::optional<std::int32_t> LastBar() const {
    return GetBarNumber(lastEventTick_ > 0 ? lastEventTick_ - 1 : 0);
  }
  std::optional<std::uint32_t> BarStartTick(std::int32_t bar) const {
    return timeSignatures_.BarStartTick(bar, division_);
  }
  // Each bar of the song and its first tick, up to LastBar(); nothing for a file without bars.
  void ForEachBar(const std::function<bool(std::int32_t, std::uint32_t)>& bar) const {
    timeSignatures_.ForEachBar(lastEventTick_ > 0 ? lastEventTick_ - 1 : 0, division_, bar);
  }

  bool HasImage() const { return image_ != nullptr; }
  const std::uint8_t* image() const { return image_.get(); }
  std::uint32_t imageLength() const { return imageLength_; }
  std::uint16_t format() const { return format_; }
  std::uint16_t trackCount() const { return trackCount_; }
  std::uint16_t division() const { return division_; }

  std::vector<TrackCursor>& tracks() { return tracks_; }
  const std::vector<TrackCursor>& tracks() const { return tracks_; }

  std::string& title() { return title_; }  // bytes as the file has them
  const std::string& title() const { return title_; }
  const std::array<std::string, 16>& channelNames() const { return channelNames_; }
  const TimeSignatureMap& timeSignatures() const { return timeSignatures_; }
  const VoiceMap& voiceMap() const { return voiceMap_; }
  // Each voice's words, in the order of voiceMap().voices(), from the last scan.
  const std::vector<Words>& words() const { return words_; }
  // Each voice's written notes, in the order of voiceMap().voices(), from the last scan.
  const std::vector<VoiceNotes>& voiceNotes() const { return voiceNotes_; }
  // Whether each of voiceMap().voiceChannels() is sung or accompaniment, from the last scan.
  const std::vector<VoiceRole>& roles() const { return roles_; }
  // Tick of the song's last event other than end-of-track, from the last scan.
  std::uint32_t lastEventTick() const { return lastEventTick_; }

 private:
  void SetDefaultChannelNames();
  // Each channel a voice plays on bears that voice's name; with the voices as written, a name
  // the first track gives a channel comes first. Returns the names the file gives (empty: none).
  std::array<std::string, 16> NameChannels(const std::array<std::string, 16>& namedInFirstTrack,
                                           const TrackScan& tracks);
  void FindRoles(const std::array<std::string, 16>& givenNames, const TrackScan& tracks);
  // Builds one cursor per announced track chunk; false when a chunk header does not fit or a
  // first delta time is cut short.
  bool BuildTrackTable(const std::uint8_t* image, std::uint32_t imageLength);
  // Gives every cursor the state of no track, so none points into a released image.
  void ClearCursors();

  std::string title_ = " ";
  std::array<std::string, 16> channelNames_;
  std::uint32_t imageLength_ = 0;
  platform::ByteBlock image_;
  std::uint16_t format_ = 0;
  std::uint16_t trackCount_ = 0;
  std::uint16_t division_ = 0;
  std::vector<TrackCursor> tracks_;
  TimeSignatureMap timeSignatures_;
  std::uint32_t pickup_ = 0;
  VoiceMap voiceMap_;
  std::vector<Words> words_;
  std::vector<VoiceNotes> voiceNotes_;
  std::vector<VoiceRole> roles_ = std::vector<VoiceRole>(4, VoiceRole::kSung);
  std::uint32_t lastEventTick_ = 0;
};

}  // namespace quirelle::smf
