// Merges the tracks of a loaded song into one sequence of events in time order, and can read
// ahead to a point keeping only what is in effect there. The tracks wait in a heap keyed by their
// next event's time, so taking the next event costs O(log tracks): a song of 65535 tracks plays as
// readily as one of 16 with as many events.
#pragma once

#include <cstdint>
#include <vector>

#include "player/chase_state.h"
#include "smf/midi_file.h"
#include "smf/track_event.h"

namespace quirelle::player {

// Hears about bad input inside a track, with the cursor where reading stopped.
class ParseErrorListener {
 public:
  virtual void OnParseError(const smf::TrackCursor& cursor, const char* message) = 0;

 protected:
  ~ParseErrorListener() = default;
};

class TrackMerger {
 public:
  enum class Read { kEvent, kLeftOut, kSongFinished, kError };

  TrackMerger(smf::MidiFile& file, ParseErrorListener& errors) : file_(file), errors_(errors) {}

  // Finds the track whose next event comes first (of equal times, the highest-numbered track's);
  // false when every track is done.
  bool TakeEarliestTrack();
  // Time of the next event, after TakeEarliestTrack returned true.
  std::uint32_t nextTime() const { return smallestTime_; }
  // Reads the event of the track TakeEarliestTrack took: kEvent (end-of-track included), with a
  // channel message on the channel the song's voice map plays it on; kLeftOut for a channel
  // message the map leaves out; kSongFinished when that track's data ended cleanly; kError on bad
  // input.
  Read ReadTaken(smf::TrackEvent& event);
  // Reads the song up to and including `tick` into `chase`, so that the state there includes
  // e.g. a tempo set right at it; the note-ons at `tick` go to `notesAtTick`, the note-offs there
  // (of notes begun earlier, which never sound) nowhere. False on bad input.
  bool ChaseTo(std::uint32_t tick, ChaseState& chase, std::vector<std::uint32_t>& notesAtTick);

  // The note-ons of each voice's first notes (the channels of `voices`, bit c for channel c, all
  // those at its first note's tick) from where reading stands up to `endTick`, excluded; reading
  // stays where it was. Bad input ends the look quietly: playback reports it when it gets there.
  std::vector<std::uint32_t> FirstNotesOfVoices(std::uint32_t endTick, std::uint32_t voices);

  // Where reading stands, to come back to later (the cursors point into the held image).
  const std::vector<smf::TrackCursor>& cursors() const { return file_.tracks(); }
  void RestoreCursors(const std::vector<smf::TrackCursor>& cursors) {
    file_.tracks() = cursors;
    Reset();
  }
  // Every track back on its first event.
  bool RewindTracks() {
    Reset();
    return file_.RewindTracks() != 0;
  }
  // The cursors were placed anew from outside (a load, a rewind): the next look starts over.
  void Reset() {
    heap_.clear();
    heapBuilt_ = false;
  }

 private:
  // Moves a channel message of the taken track to its voice's channel; false to leave it out.
  bool PlaceOnVoiceChannel(smf::TrackEvent& event) const;
  // Orders the heap: true when track `a`'s next event comes after track `b`'s.
  bool ComesAfter(std::uint32_t a, std::uint32_t b) const;
  void BuildHeap();
  Read ReadTrack(smf::TrackCursor& track, smf::TrackEvent& event);

  smf::MidiFile& file_;
  ParseErrorListener& errors_;
  std::vector<std::uint32_t> heap_;  // the unfinished tracks, the next to play in front
  bool heapBuilt_ = false;
  std::int32_t trackTaken_ = -1;
  std::uint32_t smallestTime_ = 0;
};

}  // namespace quirelle::player
