// The words the singers sing: each voice's syllables, found once at load, in lines as the file
// breaks them, for the window's words line and the rehearsal tracks' lyrics files.
//
// A voice's words are the lyric events of its own track; else those of the first track without
// notes that follows its track (the first verse of a LilyPond export); else the song's karaoke
// text (text events after "@KMIDI KARAOKE FILE", or of a track whose texts start lines with `/`
// or `\`). Headers beginning with `@` are not words.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "smf/track_scan.h"
#include "smf/voice_map.h"

namespace quirelle::smf {

struct Syllable {
  std::uint32_t tick = 0;
  std::string text;          // UTF-8, without a joining hyphen or line marks
  bool spaceBefore = false;  // a space stands between it and the syllable before it on its line
};

struct WordsLine {
  std::vector<Syllable> syllables;  // never empty
};

// One voice's words; empty when it has none.
using Words = std::vector<WordsLine>;

// The text of a line as it is shown: the syllables joined by their spaces.
std::string LineText(const WordsLine& line);

// Each voice's words, in the order of `map.voices()`, from the texts the track pass collected.
std::vector<Words> FindWords(const std::vector<TrackSummary>& tracks, const VoiceMap& map);

// The words of the first voice that plays on `channel` (0-based); null when it has none.
const Words* WordsOnChannel(const std::vector<Words>& words, const VoiceMap& map,
                            std::uint8_t channel);
// The channel of the first voice with words; none when the song has no words.
std::optional<std::uint8_t> FirstChannelWithWords(const std::vector<Words>& words,
                                                  const VoiceMap& map);

// Where `tick` stands in `words`: the line and syllable sung at it (the last that has begun), or
// the first line with no syllable when none has begun yet.
struct WordsPlace {
  std::size_t line = 0;
  std::optional<std::size_t> syllable;
};
WordsPlace PlaceOf(const Words& words, std::uint32_t tick);

}  // namespace quirelle::smf
