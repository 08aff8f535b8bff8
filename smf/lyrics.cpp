// Finding each voice's words: which events hold them, then syllables joined into lines.
#include "smf/lyrics.h"

#include <algorithm>
#include <string_view>

#include "midi/vocabulary.h"
#include "smf/text.h"

namespace quirelle::smf {

namespace {

constexpr std::string_view kKaraokeHeader = "@KMIDI KARAOKE FILE";
constexpr std::size_t kLongLine = 40;  // bytes of a line's text that still fit the window

using RawText = TimedText;

bool StartsLine(const RawText& text) {
  return !text.bytes.empty() && (text.bytes.front() == '/' || text.bytes.front() == '\\');
}

bool IsKaraokeHeader(const RawText& text) {
  return text.bytes.starts_with(kKaraokeHeader);
}

std::vector<RawText> WithoutHeaders(std::vector<RawText>::const_iterator begin,
                                    std::vector<RawText>::const_iterator end) {
  std::vector<RawText> words;
  std::copy_if(begin, end, std::back_inserter(words),
               [](const RawText& t) { return t.bytes.empty() || t.bytes.front() != '@'; });
  return words;
}

// The words of the karaoke track: from its first `/` or `\` line, or from after the karaoke
// header; headers are left out. Without the header, one text that happens to begin with a slash
// makes no karaoke: it takes two.
std::vector<RawText> KaraokeText(const std::vector<TrackSummary>& tracks) {
  const bool header = std::any_of(tracks.begin(), tracks.end(), [](const TrackSummary& track) {
    return std::any_of(track.texts.begin(), track.texts.end(), IsKaraokeHeader);
  });
  for (const TrackSummary& track : tracks) {
    const auto first = std::find_if(track.texts.begin(), track.texts.end(), StartsLine);
    if (std::count_if(track.texts.begin(), track.texts.end(), StartsLine) >= (header ? 1 : 2)) {
      return WithoutHeaders(first, track.texts.end());
    }
  }
  for (const TrackSummary& track : tracks) {
    const auto found = std::find_if(track.texts.begin(), track.texts.end(), IsKaraokeHeader);
    if (found != track.texts.end()) {
      return WithoutHeaders(found + 1, track.texts.end());
    }
  }
  return {};
}

bool IsLineMark(char c) {
  return c == '/' || c == '\\' || c == '\r' || c == '\n';
}

bool IsPhraseEnd(std::string_view text) {
  return !text.empty() && std::string_view(",;:.!?").find(text.back()) != std::string_view::npos;
}

// Joins syllables into lines. Karaoke text is joined as written (its spaces are in the text);
// lyric events are separate syllables, a space between them unless the first ends with `-`.
class LineMaker {
 public:
  explicit LineMaker(bool karaoke) : karaoke_(karaoke) {}

  void Add(const RawText& text) {
    std::string_view bytes = text.bytes;
    if (!karaoke_) {
      bytes = FirstVerse(bytes);
    }
    // Marks inside a karaoke text break the line there; the pieces share the text's tick.
    std::size_t start = 0;
    for (std::size_t i = 0; i <= bytes.size(); ++i) {
      if (i == bytes.size() || IsLineMark(bytes[i])) {
        AddPiece(text.tick, bytes.substr(start, i - start));
        breakPending_ = breakPending_ || i < bytes.size();
        start = i + 1;
      }
    }
  }

  Words Finish() {
    Words lines;
    for (WordsLine& line : words_) {
      if (LineText(line).size() > kLongLine) {
        SplitAtPhrases(line, lines);
      } else {
        lines.push_back(std::move(line));
      }
    }
    return lines;
  }

 private:
  // music21 writes every verse into one lyric event, one line each: the first verse is sung.
  static std::string_view FirstVerse(std::string_view bytes) {
    const std::string_view trimmed = TrimBlanks(bytes);
    const std::size_t mark = trimmed.find_first_of("\r\n");
    if (mark == std::string_view::npos) {
      return bytes;
    }
    return trimmed.substr(0, mark);
  }

  void AddPiece(std::uint32_t tick, std::string_view piece) {
    bool leadingSpace = false;
    while (!piece.empty() && (piece.front() == ' ' || piece.front() == '\t')) {
      leadingSpace = true;
      piece.remove_prefix(1);
    }
    bool trailingSpace = false;
    while (!piece.empty() && (piece.back() == ' ' || piece.back() == '\t' || piece.back() == 0)) {
      trailingSpace = true;
      piece.remove_suffix(1);
    }
    const bool hyphen = !piece.empty() && piece.back() == '-';
    if (hyphen) {
      piece.remove_suffix(1);
    }
    if (piece.empty()) {
      spaceAfterLast_ = spaceAfterLast_ || leadingSpace || trailingSpace;
      return;
    }
    if (breakPending_ || words_.empty()) {
      words_.emplace_back();
      breakPending_ = false;
    }
    std::vector<Syllable>& line = words_.back().syllables;
    const bool spaceBefore =
        !line.empty() && (karaoke_ ? leadingSpace || spaceAfterLast_ : !joinNext_);
    line.push_back({tick, DisplayText(piece), spaceBefore});
    joinNext_ = hyphen;
    spaceAfterLast_ = trailingSpace;
  }

  // A long line (a whole song, where the file marks no lines) breaks after each syllable that
  // ends a phrase, so that a line is what a singer sings in one breath and fits the window.
  static void SplitAtPhrases(WordsLine& line, Words& lines) {
    bool breakNext = true;
    for (Syllable& syllable : line.syllables) {
      if (breakNext) {
        lines.emplace_back();
        syllable.spaceBefore = false;
      }
      breakNext = IsPhraseEnd(syllable.text);
      lines.back().syllables.push_back(std::move(syllable));
    }
  }

  bool karaoke_;
  Words words_;
  bool breakPending_ = false;
  bool joinNext_ = false;
  bool spaceAfterLast_ = false;
};

Words MakeLines(const std::vector<RawText>& texts, bool karaoke) {
  LineMaker maker(karaoke);
  for (const RawText& text : texts) {
    maker.Add(text);
  }
  return maker.Finish();
}

// The lyric events of the voice's track, else of the first track without notes after it.
const std::vector<RawText>* LyricsOf(const std::vector<TrackSummary>& tracks, std::uint32_t track) {
  if (!tracks[track].lyrics.empty()) {
    return &tracks[track].lyrics;
  }
  for (std::size_t next = track + 1; next < tracks.size() && tracks[next].noteChannels == 0;
       ++next) {
    if (!tracks[next].lyrics.empty()) {
      return &tracks[next].lyrics;
    }
  }
  return nullptr;
}

}  // namespace

std::string LineText(const WordsLine& line) {
  std::string text;
  for (const Syllable& syllable : line.syllables) {
    if (syllable.spaceBefore) {
      text += ' ';
    }
    text += syllable.text;
  }
  return text;
}

std::vector<Words> FindWords(const std::vector<TrackSummary>& tracks, const VoiceMap& map) {
  const Words karaoke = MakeLines(KaraokeText(tracks), true);
  std::vector<Words> words;
  for (const Voice& voice : map.voices()) {
    const std::vector<RawText>* lyrics =
        voice.track < tracks.size() ? LyricsOf(tracks, voice.track) : nullptr;
    words.push_back(lyrics != nullptr ? MakeLines(*lyrics, false) : karaoke);
  }
  return words;
}

const Words* WordsOnChannel(const std::vector<Words>& words, const VoiceMap& map,
                            std::uint8_t channel) {
  const std::optional<std::size_t> voice = map.FirstVoiceOn(channel);
  return voice && *voice < words.size() && !words[*voice].empty() ? &words[*voice] : nullptr;
}

std::optional<std::uint8_t> FirstChannelWithWords(const std::vector<Words>& words,
                                                  const VoiceMap& map) {
  const std::vector<Voice>& voices = map.voices();
  for (std::size_t i = 0; i < voices.size() && i < words.size(); ++i) {
    if (!words[i].empty() && WordsOnChannel(words, map, voices[i].playedOn) == &words[i]) {
      return voices[i].playedOn;
    }
  }
  return std::nullopt;
}

WordsPlace PlaceOf(const Words& words, std::uint32_t tick) {
  const auto after = std::upper_bound(
      words.begin(), words.end(), tick,
      [](std::uint32_t t, const WordsLine& line) { return t < line.syllables.front().tick; });
  if (after == words.begin()) {
    return {};
  }
  const std::vector<Syllable>& line = (after - 1)->syllables;
  const auto sung =
      std::upper_bound(line.begin(), line.end(), tick,
                       [](std::uint32_t t, const Syllable& syllable) { return t < syllable.tick; });
  return {static_cast<std::size_t>(after - 1 - words.begin()),
          static_cast<std::size_t>(sung - 1 - line.begin())};
}

}  // namespace quirelle::smf
