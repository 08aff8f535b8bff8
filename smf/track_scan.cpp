// The whole-song pass of the song information: what each track plays and is called.
#include "smf/track_scan.h"

#include <algorithm>
#include <string_view>

#include "midi/vocabulary.h"
#include "smf/event_reader.h"
#include "smf/text.h"

namespace quirelle::smf {

namespace {

constexpr std::uint8_t kTrackName = midi::kMetaTrackName;
constexpr std::uint8_t kInstrumentName = midi::kMetaInstrumentName;

struct OneTrack {
  std::string trackName;
  std::string instrumentName;
  std::uint16_t noteChannels = 0;  // bit c: channel c plays a note
  std::array<std::int16_t, 16> programs{};
  std::uint32_t lastEventTick = 0;
  std::vector<TimedText> lyrics;
  std::vector<TimedText> texts;
  NotePairer notes;
};

void Note(OneTrack& track, const TrackEvent& event) {
  if (event.status == midi::kMeta) {
    const std::string_view text =
        TrimBlanks({reinterpret_cast<const char*>(event.data.get()), event.length});
    std::string& name = event.data1 == kTrackName ? track.trackName : track.instrumentName;
    if ((event.data1 == kTrackName || event.data1 == kInstrumentName) && name.empty()) {
      name = text;
    } else if (event.data1 == midi::kMetaText || event.data1 == midi::kMetaLyric) {
      (event.data1 == midi::kMetaLyric ? track.lyrics : track.texts)
          .push_back({event.time,
                      std::string(reinterpret_cast<const char*>(event.data.get()), event.length)});
    }
  } else if (midi::IsChannelStatus(event.status)) {
    if (midi::KindOf(event.status) == midi::kNoteOn && event.data2 > 0) {
      track.noteChannels |= static_cast<std::uint16_t>(1u << midi::ChannelOf(event.status));
    } else if (midi::KindOf(event.status) == midi::kProgramChange &&
               track.programs[midi::ChannelOf(event.status)] < 0) {
      track.programs[midi::ChannelOf(event.status)] = static_cast<std::int16_t>(event.data1 & 0x7F);
    }
    track.notes.Message(event.time, event.status, event.data1, event.data2);
  }
  if (!event.IsEndOfTrack()) {
    track.lastEventTick = event.time;
  }
}

OneTrack ReadTrack(TrackCursor cursor) {
  OneTrack track;
  track.programs.fill(-1);
  if (!PlaceOnFirstEvent(cursor)) {
    return track;
  }
  TrackEvent event;
  while (ReadEvent(cursor, event) != 0) {
    Note(track, event);
    event.data.reset();
  }
  return track;
}

}  // namespace

TrackScan ScanTracks(const std::vector<TrackCursor>& tracks) {
  TrackScan scan;
  std::uint16_t claimed = 0;
  for (const TrackCursor& cursor : tracks) {
    OneTrack track = ReadTrack(cursor);
    scan.lastEventTick = std::max(scan.lastEventTick, track.lastEventTick);
    const std::string& name = track.trackName.empty() ? track.instrumentName : track.trackName;
    scan.tracks.push_back({name, track.noteChannels, track.programs, std::move(track.lyrics),
                           std::move(track.texts),
                           track.noteChannels != 0 ? track.notes.Finish(track.lastEventTick)
                                                   : std::vector<std::vector<WrittenNote>>{}});
    for (unsigned channel = 0; channel < scan.voiceNames.size(); ++channel) {
      const auto bit = static_cast<std::uint16_t>(1u << channel);
      if ((track.noteChannels & bit) != 0 && (claimed & bit) == 0) {
        claimed |= bit;
        scan.voiceNames[channel] = name;
      }
    }
  }
  return scan;
}

}  // namespace quirelle::smf
