// One pass over every track of the song: the channels each track plays notes on and what it is
// called, and where the song's last event stands.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "smf/track_cursor.h"
#include "smf/voice_notes.h"

namespace quirelle::smf {

// A text or lyric event: its tick and its bytes as the file has them.
struct TimedText {
  std::uint32_t tick = 0;
  std::string bytes;
};

// One track: its first non-blank track name, else its first non-blank instrument name, trimmed
// bytes as the file has them; and bit c set when a note-on (velocity above 0) uses channel c.
// Its text (0x01) and lyric (0x05) events hold the words; its notes, by channel, the lines; its
// first program change on each channel, what the channel is given to play (-1: none).
struct TrackSummary {
  std::string name;
  std::uint16_t noteChannels = 0;
  std::array<std::int16_t, 16> programs = {-1, -1, -1, -1, -1, -1, -1, -1,
                                           -1, -1, -1, -1, -1, -1, -1, -1};
  std::vector<TimedText> lyrics;
  std::vector<TimedText> texts;
  std::vector<std::vector<WrittenNote>> notesByChannel;  // 16, or empty for a track of no notes
};

struct TrackScan {
  std::vector<TrackSummary> tracks;  // in file order
  // Per MIDI channel: the name of the first track, in file order, whose note-ons (velocity above
  // 0) use the channel: its first non-blank track name, else its first non-blank instrument name,
  // trimmed bytes as the file has them. Empty when no such track or it has no name.
  std::array<std::string, 16> voiceNames;
  // Tick of the latest event of any track other than end-of-track; 0 for a song of none.
  std::uint32_t lastEventTick = 0;
};

// Reads each track through a copy of its cursor from its first event, so the tracks stand where
// they stood. A track is read up to its end or its first bad event.
TrackScan ScanTracks(const std::vector<TrackCursor>& tracks);

}  // namespace quirelle::smf
