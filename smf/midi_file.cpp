// The file model: holds the image, checks its chunks, builds and rewinds the track table, and
// runs the song information scan.
#include "smf/midi_file.h"

#include <limits>
#include <utility>

#include "smf/chunk_layout.h"
#include "smf/event_reader.h"
#include "smf/song_info_scan.h"
#include "smf/track_scan.h"

namespace quirelle::smf {

namespace {

// Reads up to `count` bytes, going on after short reads until the file gives nothing more.
std::uint32_t ReadWhole(platform::ReadableFile& file, std::uint8_t* block, std::uint32_t count) {
  std::uint32_t done = 0;
  while (done < count) {
    const std::uint32_t n = file.Read(block + done, count - done);
    if (n == 0 || n > count - done) {
      break;
    }
    done += n;
  }
  return done;
}

}  // namespace

MidiFile::MidiFile() {
  SetDefaultChannelNames();
}

void MidiFile::SetDefaultChannelNames() {
  for (std::size_t i = 0; i < channelNames_.size(); ++i) {
    channelNames_[i] = "Channel " + std::to_string(i + 1);
  }
}

void MidiFile::ClearCursors() {
  for (auto& cursor : tracks_) {
    cursor = TrackCursor{};
  }
}

int MidiFile::LoadFromFile(platform::ReadableFile& file) {
  if (image_) {
    image_.reset();
    ClearCursors();
  }
  const std::uint64_t length = file.Length();
  if (length > std::numeric_limits<std::uint32_t>::max()) {
    SetDefaultChannelNames();
    return 0;
  }
  platform::ByteBlock block = platform::AllocateBlock(static_cast<std::size_t>(length));
  if (!block) {
    SetDefaultChannelNames();
    return 0;
  }
  const std::uint32_t read = ReadWhole(file, block.get(), static_cast<std::uint32_t>(length));
  return CreateFromImage(std::move(block), read);
}

int MidiFile::CreateFromImage(platform::ByteBlock image, std::uint32_t imageLength) {
  SetDefaultChannelNames();
  if (image_) {
    return 0;
  }
  FileHeader header;
  if (!ReadFileHeader(image.get(), imageLength, header)) {
    return 0;
  }
  format_ = header.format;
  trackCount_ = header.trackCount;
  division_ = header.division;
  tracks_.resize(trackCount_);
  if (!BuildTrackTable(image.get(), imageLength)) {
    ClearCursors();
    return 0;  // the refused block goes with `image`
  }
  image_ = std::move(image);
  imageLength_ = imageLength;
  ScanSongInfo();
  return 1;
}

bool MidiFile::BuildTrackTable(const std::uint8_t* image, std::uint32_t imageLength) {
  std::uint64_t offset = kFileHeaderSize;
  for (auto& cursor : tracks_) {
    cursor = TrackCursor{};
    TrackChunk chunk;
    if (!NextTrackChunk(image, imageLength, offset, chunk)) {
      return false;
    }
    cursor.length = chunk.length;
    cursor.start = image + chunk.dataOffset;
    if (!PlaceOnFirstEvent(cursor)) {
      return false;
    }
  }
  return true;
}

int MidiFile::RewindTracks() {
  if (!image_) {
    return 0;
  }
  for (auto& cursor : tracks_) {
    if (!PlaceOnFirstEvent(cursor)) {
      return 0;
    }
  }
  return 1;
}

int MidiFile::GetTimeDivision(std::uint16_t& division) const {
  division = division_;
  return 1;
}

int MidiFile::ScanSongInfo() {
  // A channel the first track names under a prefix keeps that name; any other takes the name of
  // the first track that plays it; only a channel nothing names keeps "Channel N".
  std::array<std::string, 16> named;
  SongInfo info{title_, named, timeSignatures_, division_};
  const bool found = CollectSongInfo(image_.get(), imageLength_, info);
  if (pickup_ != 0) {
    timeSignatures_.SetPickup(pickup_, division_);
  }
  TrackScan tracks = ScanTracks(tracks_);
  std::vector<std::uint16_t> noteChannels;
  noteChannels.reserve(tracks.tracks.size());
  for (const TrackSummary& track : tracks.tracks) {
    noteChannels.push_back(track.noteChannels);
  }
  voiceMap_.Make(noteChannels);
  words_ = FindWords(tracks.tracks, voiceMap_);
  voiceNotes_.clear();
  for (const Voice& voice : voiceMap_.voices()) {
    auto& byChannel = tracks.tracks[voice.track].notesByChannel;
    voiceNotes_.emplace_back(byChannel.empty() ? std::vector<WrittenNote>{}
                                               : std::move(byChannel[voice.channel]));
  }
  FindRoles(NameChannels(named, tracks), tracks);
  lastEventTick_ = tracks.lastEventTick;
  return found ? 1 : 0;
}

std::array<std::string, 16> MidiFile::NameChannels(
    const std::array<std::string, 16>& namedInFirstTrack, const TrackScan& tracks) {
  std::array<std::string, 16> given;
  if (voiceMap_.asWritten()) {
    for (std::size_t i = 0; i < given.size(); ++i) {
      given[i] = namedInFirstTrack[i].empty() ? tracks.voiceNames[i] : namedInFirstTrack[i];
    }
  } else {
    std::array<bool, 16> named{};
    for (const Voice& voice : voiceMap_.voices()) {
      const std::string& name = tracks.tracks[voice.track].name;
      if (!named[voice.playedOn] && !name.empty()) {
        given[voice.playedOn] = name;
      }
      named[voice.playedOn] = true;
    }
  }
  for (std::size_t i = 0; i < given.size(); ++i) {
    if (!given[i].empty()) {
      channelNames_[i] = given[i];
    }
  }
  return given;
}

void MidiFile::FindRoles(const std::array<std::string, 16>& givenNames, const TrackScan& tracks) {
  // A channel several voices share is known by its name and its first voice's program.
  const std::vector<std::uint8_t>& channels = voiceMap_.voiceChannels();
  std::vector<RoleClues> clues;
  std::vector<std::size_t> rowOfClue;
  for (std::size_t row = 0; row < channels.size(); ++row) {
    std::optional<std::uint8_t> program;
    bool played = false;
    for (const Voice& voice : voiceMap_.voices()) {
      if (voice.playedOn == channels[row]) {
        played = true;
        const std::int16_t given = tracks.tracks[voice.track].programs[voice.channel];
        if (!program && given >= 0) {
          program = static_cast<std::uint8_t>(given);
        }
      }
    }
    if (played) {  // a channel no voice plays stays a sung row, as the window always showed it
      clues.push_back({givenNames[channels[row]], program});
      rowOfClue.push_back(row);
    }
  }
  roles_.assign(channels.size(), VoiceRole::kSung);
  const std::vector<VoiceRole> found = VoiceRoles(clues);
  for (std::size_t i = 0; i < found.size(); ++i) {
    roles_[rowOfClue[i]] = found[i];
  }
}

void MidiFile::SetPickup(std::uint32_t beats) {
  pickup_ = beats;
}

std::optional<std::int32_t> MidiFile::GetBarNumber(std::uint32_t position) const {
  return timeSignatures_.GetBarNumber(position, division_);
}

}  // namespace quirelle::smf
