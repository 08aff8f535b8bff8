// The notes each voice is written to sing, found once at load, for drawing a voice's line: an
// index by time that answers "which notes sound between two ticks" without a scan of the song.
//
// A note begins at a note-on (velocity above 0) and ends at the first later note-off (or note-on
// of velocity 0) of the same key and channel in its track; the earliest note of a key still
// sounding ends first. A note never let go ends at its track's last event.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace quirelle::smf {

struct WrittenNote {
  std::uint32_t start = 0;  // ticks of the song
  std::uint32_t end = 0;    // after start
  std::uint8_t key = 0;     // as written, 60 is C4
  std::uint8_t velocity = 0;
};

class VoiceNotes {
 public:
  // Takes the notes in any order.
  explicit VoiceNotes(std::vector<WrittenNote> notes = {});

  const std::vector<WrittenNote>& notes() const { return notes_; }
  bool empty() const { return notes_.empty(); }
  std::uint8_t lowestKey() const { return lowest_; }
  std::uint8_t highestKey() const { return highest_; }

  // Calls `visit` with each note sounding in [from, to), in order of start.
  template <class Visit>
  void ForEachIn(std::uint32_t from, std::uint32_t to, Visit&& visit) const {
    // Every note before the first whose running latest end passes `from` has ended by then.
    const auto first = std::upper_bound(latestEnd_.begin(), latestEnd_.end(), from);
    for (auto i = static_cast<std::size_t>(first - latestEnd_.begin());
         i < notes_.size() && notes_[i].start < to; ++i) {
      if (notes_[i].end > from) {
        visit(notes_[i]);
      }
    }
  }

 private:
  std::vector<WrittenNote> notes_;        // by start, then key
  std::vector<std::uint32_t> latestEnd_;  // latest end among notes_[0..i]
  std::uint8_t lowest_ = 0;
  std::uint8_t highest_ = 0;
};

// Pairs a track's note-ons and note-offs into notes, channel by channel. Feed the channel
// messages in file order, then Finish with the track's last tick.
class NotePairer {
 public:
  void Message(std::uint32_t tick, std::uint8_t status, std::uint8_t key, std::uint8_t velocity);
  // Ends the notes still sounding at `lastTick` and hands over the notes of each of the 16
  // channels, in any order.
  std::vector<std::vector<WrittenNote>> Finish(std::uint32_t lastTick);

 private:
  struct Open {
    std::uint32_t start;
    std::uint8_t velocity;
  };
  // The notes of one channel's key still sounding, earliest first from `head`.
  struct KeyQueue {
    std::vector<Open> notes;
    std::size_t head = 0;
  };
  std::vector<KeyQueue> open_ = std::vector<KeyQueue>(16 * 128);  // by channel, then key
  std::vector<std::vector<WrittenNote>> byChannel_ = std::vector<std::vector<WrittenNote>>(16);
};

}  // namespace quirelle::smf
