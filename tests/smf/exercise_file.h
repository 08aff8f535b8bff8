// Drives a loaded file the way playback and the window do: reads every track to its end, asks
// for bar numbers, rewinds and reads again. Checks on the way that no cursor leaves its track.
// Shared by the corpus test and the fuzz target, which turns a failed check into a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "smf/event_reader.h"
#include "smf/midi_file.h"
#include "tests/smf/read_recorder.h"

namespace quirelle::smf::test {

struct TrackOutcome {
  std::size_t events = 0;
  bool finished = false;  // reading ended on a finished track (else: a read error)
  std::uint32_t lastTime = 0;
};

struct FileOutcome {
  std::vector<TrackOutcome> tracks;
  bool inBounds = true;       // every cursor stayed inside its track, every event fit in it
  bool rewindMatches = true;  // a rewind gave the cursors their state after the load
  bool readersAgree = true;   // the inline fast case reads as the careful reader does
  std::vector<std::optional<std::int32_t>> bars;
};

inline bool CursorInBounds(const TrackCursor& c, const MidiFile& file) {
  const std::uint8_t* imageEnd = file.image() + file.imageLength();
  return c.start >= file.image() && c.length <= static_cast<std::size_t>(imageEnd - c.start) &&
         c.position >= c.start && static_cast<std::size_t>(c.position - c.start) <= c.length;
}

inline TrackOutcome ReadTrack(TrackCursor& cursor, ReadRecorder& hooks, const MidiFile& file,
                              bool& inBounds) {
  TrackOutcome outcome;
  TrackEvent event;
  // Every delivered event consumes at least its status byte, so this bound is never reached.
  for (std::uint64_t guard = 0; guard <= cursor.length; ++guard) {
    const std::uint8_t* before = cursor.position;
    if (hooks.Read(cursor, event) == 0) {
      break;
    }
    ++outcome.events;
    outcome.lastTime = event.time;
    const bool blockFits = event.status < 0xF0 || event.length <= cursor.length;
    inBounds = inBounds && cursor.position > before && blockFits && CursorInBounds(cursor, file);
  }
  inBounds = inBounds && CursorInBounds(cursor, file);
  outcome.finished = cursor.finished();
  return outcome;
}

inline bool SameEvent(const TrackEvent& a, const TrackEvent& b) {
  if (a.time != b.time || a.status != b.status || a.data1 != b.data1 || a.data2 != b.data2 ||
      a.length != b.length || (a.data == nullptr) != (b.data == nullptr)) {
    return false;
  }
  return a.data == nullptr || a.length == 0 ||
         std::memcmp(a.data.get(), b.data.get(), a.length) == 0;
}

inline bool SameState(const TrackCursor& a, const TrackCursor& b);

// Reads `start` once with ReadEvent and once with the careful reader alone: the inline fast
// case must give the same events, the same end and the same messages.
inline bool FastAndCarefulAgree(const TrackCursor& start) {
  TrackCursor fast = start;
  TrackCursor careful = start;
  TrackEvent a;
  TrackEvent b;
  for (std::uint64_t guard = 0; guard <= start.length + 1; ++guard) {
    const int ra = ReadEvent(fast, a);
    const int rb = detail::ReadEventChecked(careful, b);
    if (ra != rb || !SameEvent(a, b) || !SameState(fast, careful) ||
        (ra == 0 && (fast.error == nullptr) != (careful.error == nullptr))) {
      return false;
    }
    if (ra == 0) {
      return true;
    }
  }
  return false;
}

inline bool SameState(const TrackCursor& a, const TrackCursor& b) {
  return a.flags == b.flags && a.length == b.length && a.start == b.start &&
         a.position == b.position && a.nextTime == b.nextTime && a.runningStatus == b.runningStatus;
}

// `file` must hold an image (a successful or stream-failed load).
inline FileOutcome ExerciseFile(MidiFile& file, ReadRecorder& hooks) {
  FileOutcome outcome;
  const std::vector<TrackCursor> loaded = file.tracks();
  for (const TrackCursor& cursor : loaded) {
    outcome.readersAgree = outcome.readersAgree && FastAndCarefulAgree(cursor);
  }
  for (TrackCursor& cursor : file.tracks()) {
    outcome.inBounds = outcome.inBounds && CursorInBounds(cursor, file);
    outcome.tracks.push_back(ReadTrack(cursor, hooks, file, outcome.inBounds));
  }
  std::uint32_t last = 0;
  for (const TrackOutcome& track : outcome.tracks) {
    last = track.lastTime > last ? track.lastTime : last;
  }
  for (const std::uint32_t position : {0u, 1u, last / 2, last, last + 1, 0xFFFFFFFFu}) {
    outcome.bars.push_back(file.GetBarNumber(position));
  }
  outcome.rewindMatches = file.RewindTracks() != 0 && file.tracks().size() == loaded.size();
  for (std::size_t i = 0; outcome.rewindMatches && i < loaded.size(); ++i) {
    outcome.rewindMatches = SameState(file.tracks()[i], loaded[i]);
  }
  return outcome;
}

}  // namespace quirelle::smf::test
