// The words each voice gets, from the places the notation and karaoke programs write them.
#include "smf/lyrics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "smf/midi_file.h"
#include "tests/smf/image_builder.h"

namespace quirelle::smf {
namespace {

using test::Bytes;
using test::Concat;

// A meta text event `delta` ticks (under 128) after the event before it.
Bytes At(std::uint8_t delta, std::uint8_t type, const std::string& text) {
  Bytes event = test::Meta(type, test::Text(text));
  event[0] = delta;
  return event;
}
Bytes Lyric(std::uint8_t delta, const std::string& text) {
  return At(delta, 0x05, text);
}
Bytes Said(std::uint8_t delta, const std::string& text) {
  return At(delta, 0x01, text);
}
Bytes Note(int channel) {
  return {0x00, static_cast<std::uint8_t>(0x90 | channel), 60, 100};
}
const Bytes kEnd = test::kEndOfTrack;

// Syllables joined by "|" as shown (a space before one shows), lines by " / ".
std::string Shown(const Words& words) {
  std::string out;
  for (const WordsLine& line : words) {
    out += out.empty() ? "" : " / ";
    for (std::size_t i = 0; i < line.syllables.size(); ++i) {
      // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "x" + string.
      out += i == 0 ? "" : "|";
      out += line.syllables[i].spaceBefore ? " " : "";
      out += line.syllables[i].text;
    }
  }
  return out;
}

struct WordsCase {
  const char* name;
  Bytes image;
  std::vector<std::string> voices;  // each voice's words, Shown()
  std::uint32_t at = 0;             // a tick in voice 1's words
  std::string sungAt = "";          // the syllable sung there, "" for none
};

const WordsCase kWordsCases[] = {
    {"LyricEventsInThePartsTrackFirstVerse",
     test::File(96, {kEnd,
                     Concat({Note(0), Lyric(0, "Ach\nWeil"), Lyric(10, "lie\nuns"),
                             Lyric(10, "ben,\nder"), Lyric(10, "seid\nsu"), kEnd}),
                     Concat({Note(0), kEnd})}),
     {"Ach| lie| ben,| seid", ""},
     15,
     "lie"},
    {"LilyPondLyricsTrackAfterItsVoiceFirstVerse",
     test::File(96, {Concat({Note(0), kEnd}), Concat({Lyric(0, "Praise"), Lyric(5, "God"), kEnd}),
                     Concat({Lyric(0, "Sing"), kEnd}), Concat({Note(1), kEnd})}),
     {"Praise| God", ""},
     4,
     "Praise"},
    {"HyphenatedSyllablesJoin",
     test::File(96, {Concat({Note(0), Lyric(0, "Hal-"), Lyric(1, "le-"), Lyric(1, "lu-"),
                             Lyric(1, "jah"), Lyric(1, "Lord"), kEnd})}),
     {"Hal|le|lu|jah| Lord"},
     3,
     "jah"},
    {"KaraokeHeadersAndLineAndVerseMarksForEveryVoiceLongLinesAtPhrases",
     test::File(96,
                {Concat({Said(0, "@KMIDI KARAOKE FILE"), Said(0, "@TOld Hundredth"), kEnd}),
                 Concat({Said(0, "notes/lyric track"), Said(1, "/All"), Said(10, " peo"),
                         Said(10, "ple"), Said(10, " on"), Said(10, " earth"), Said(10, " that"),
                         Said(10, " dwell,"), Said(10, " sing"), Said(10, " to"), Said(10, " the"),
                         Said(10, " Lord"), Said(10, "\\Praise"), Said(10, "/Him"), Note(0), kEnd}),
                 Concat({Note(1), kEnd})}),
     {"All| peo|ple| on| earth| that| dwell, / sing| to| the| Lord / Praise / Him",
      "All| peo|ple| on| earth| that| dwell, / sing| to| the| Lord / Praise / Him"},
     25,
     "ple"},
    {"KaraokeTrackFoundByItsHeaderAlone",
     test::File(96, {Concat({Said(0, "@KMIDI KARAOKE FILE"), Said(0, "@LENGL"), Said(0, "Hel"),
                             Said(5, "lo "), Said(5, "world\r"), Said(5, "again"), kEnd}),
                     Concat({Note(0), kEnd})}),
     {"Hel|lo| world / again"},
     0,
     "Hel"},
    {"NoWordsOneTextWithASlashIsNoKaraoke",
     test::File(96, {Concat({Said(0, "/made with care"), Note(0), kEnd})}),
     {""}},
    {"Windows1252Text",
     test::File(96, {Concat({Note(0), Lyric(0, "Fr\xfc-"), Lyric(3, "he,"), Lyric(3, "Gr\xfc\xdf"),
                             kEnd})}),
     {"Fr\xc3\xbc|he,| Gr\xc3\xbc\xc3\x9f"},
     7,
     "Gr\xc3\xbc\xc3\x9f"},
};

class WordsTable : public ::testing::TestWithParam<WordsCase> {};

TEST_P(WordsTable, GivesEachVoiceItsWords) {
  const WordsCase& c = GetParam();
  MidiFile file;
  ASSERT_EQ(
      file.CreateFromImage(test::ToBlock(c.image), static_cast<std::uint32_t>(c.image.size())), 1);
  std::vector<std::string> shown;
  for (const Words& words : file.words()) {
    shown.push_back(Shown(words));
  }
  EXPECT_EQ(shown, c.voices);
  const Words& first = file.words().front();
  const WordsPlace place = PlaceOf(first, c.at);
  EXPECT_EQ(place.syllable ? first[place.line].syllables[*place.syllable].text : "", c.sungAt);
}

INSTANTIATE_TEST_SUITE_P(Files, WordsTable, ::testing::ValuesIn(kWordsCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quirelle::smf
