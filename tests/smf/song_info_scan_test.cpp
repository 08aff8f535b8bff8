// The song information scan: title, instrument names under the channel prefix, voice names
// from the tracks that play them, time signatures with their ticks, the last event's tick, and
// how it ends on bad or unusual first tracks.
#include "smf/song_info_scan.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "smf/midi_file.h"
#include "tests/smf/image_builder.h"
#include "tests/smf/read_recorder.h"

namespace quirelle::smf {
namespace {

using test::Bytes;
using test::Chunk;
using test::Concat;
using test::File;
using test::Header;
using test::kEndOfTrack;
using test::Meta;
using test::ReadRecorder;
using test::Text;
using test::Track;

Bytes Name(const std::string& s) {
  return Meta(0x03, Text(s));
}
Bytes Instrument(const std::string& s) {
  return Meta(0x04, Text(s));
}
Bytes Prefix(std::uint8_t channel) {
  return Meta(0x20, {channel});
}
Bytes TimeSig(std::uint8_t n, std::uint8_t p) {
  return Meta(0x58, {n, p, 0x18, 0x08});
}
Bytes NoteOn(std::uint8_t channel) {
  return {0x00, static_cast<std::uint8_t>(0x90 | channel), 0x3C, 0x64};
}
Bytes FormatZero(const Bytes& track) {
  return Concat({Header(0, 1, 480), Track(track)});
}

struct Entry {
  std::uint32_t tick;
  std::int32_t bar;
  std::uint32_t numerator;
  std::uint32_t power;
  std::uint32_t clocks;
  std::uint32_t thirtySeconds;
};

struct ScanCase {
  const char* name;
  Bytes image;
  std::string title;
  std::map<int, std::string> names;  // channels whose name is not the default
  std::vector<Entry> map = {};
  std::uint32_t lastTick = 0;
};

const Bytes kProgramChanges = {0x00, 0xC0, 0x05, 0x00, 0x06};

const ScanCase kScanCases[] = {
    {"TitleAndNameUnderPrefix",
     File(480, {Concat({Name("T"), Prefix(2), Instrument("A"), kEndOfTrack})}),
     "T",
     {{2, "A"}}},
    {"InstrumentBeforeAnyPrefixNamesTheFirstChannel",
     File(480, {Concat({Instrument("Soprano"), kEndOfTrack})}),
     " ",
     {{0, "Soprano"}}},
    {"LaterNameWinsAndALaterPrefixMovesNames",
     File(480, {Concat({Prefix(1), Instrument("a"), Instrument("b"), Prefix(3), Instrument("c"),
                        kEndOfTrack})}),
     " ",
     {{1, "b"}, {3, "c"}}},
    {"LaterSequenceNameIsTheTitle",
     File(480, {Concat({Name("first"), Name("second"), kEndOfTrack})}),
     "second",
     {}},
    {"NoSequenceName", File(480, {kEndOfTrack}), " ", {}},
    {"SequenceNameOfLengthZero", File(480, {Concat({Name(""), kEndOfTrack})}), "", {}},
    {"TextsAreKeptAsBytes",
     File(480, {Concat({Meta(0x03, {'C', 0xE9, 0x00}), kEndOfTrack})}),
     std::string("C\xE9\0", 3),
     {}},
    {"LaterTracksWithoutNotesNameNothing",
     File(480, {Concat({Name("Song"), kEndOfTrack}),
                Concat({Prefix(0), Instrument("Bass"), Name("Track 2"), kEndOfTrack})}),
     "Song",
     {}},
    {"FirstTrackInstrumentNameWins",
     File(480, {Concat({Prefix(0), Instrument("Soprano"), kEndOfTrack}),
                Concat({Name("Track S"), NoteOn(0), kEndOfTrack})}),
     " ",
     {{0, "Soprano"}}},
    {"TrackNameBeforeInstrumentName",
     File(480, {Concat({Name("Song"), kEndOfTrack}),
                Concat({Instrument("choir aahs"), Name("Alto"), NoteOn(1), kEndOfTrack}),
                Concat({Instrument("Tenor voice"), NoteOn(2), kEndOfTrack})}),
     "Song",
     {{1, "Alto"}, {2, "Tenor voice"}}},
    {"ConductorTrackWithoutNotesIsIgnored",
     File(480, {Concat({Name("Hymn"), kEndOfTrack}), Concat({NoteOn(0), kEndOfTrack})}),
     "Hymn",
     {}},
    {"ChannelUsedByTwoTracksNamesEachVoice",
     File(480, {Concat({kEndOfTrack}), Concat({Name("Women"), NoteOn(0), NoteOn(1), kEndOfTrack}),
                Concat({Name("Alto"), NoteOn(1), Bytes{0x83, 0x60, 0x81, 0x3C, 0x40},
                        Bytes{0x83, 0x60, 0xFF, 0x2F, 0x00}})}),
     " ",
     {{0, "Women"}, {1, "Women"}, {2, "Alto"}},  // Alto's voice moves to channel 3
     {},
     480},
    {"NothingNamedGivesChannelN",
     File(480, {Concat({kEndOfTrack}),
                Concat({Name(" \t "), Instrument(""), NoteOn(0), NoteOn(3), kEndOfTrack})}),
     " ",
     {}},
    {"NoteOnOfVelocityZeroPlaysNothing",
     File(480, {Concat({kEndOfTrack}),
                Concat({Name("Silent"), Bytes{0x00, 0x90, 0x3C, 0x00}, kEndOfTrack}),
                Concat({Name("Bass"), NoteOn(0), kEndOfTrack})}),
     " ",
     {{0, "Bass"}}},
    {"FormatZeroWithAPrefix",
     FormatZero(
         Concat({Name("Song"), Prefix(1), Instrument("Alto"), NoteOn(0), NoteOn(1), kEndOfTrack})),
     "Song",
     {{0, "Song"}, {1, "Alto"}}},
    {"NamesAreTrimmedAndBlankOnesNameNothing",
     File(480,
          {Concat({Prefix(2), Instrument("  "), kEndOfTrack}),
           Concat({Meta(0x03, {' ', 'B', 'a', 's', 's', ' ', 0x00}), NoteOn(2), kEndOfTrack})}),
     " ",
     {{2, "Bass"}}},
    {"OtherTextEventsChangeNothing",
     File(480, {Concat({Meta(0x01, Text("t")), Meta(0x02, Text("c")), Meta(0x05, Text("l")),
                        Meta(0x06, Text("m")), Meta(0x07, Text("q")), kEndOfTrack})}),
     " ",
     {}},
    {"UnknownMetaIsPassedOverByItsLength",
     File(480, {Concat({Meta(0x21, {0x03}), Meta(0x7F, Text("xyz")), Name("After"), kEndOfTrack})}),
     "After",
     {}},
    {"RunningStatusKeepsTheScanInStep",
     File(480, {Concat({kProgramChanges, Bytes{0x00, 0x90, 0x3C, 0x64, 0x00, 0x3C, 0x00},
                        Name("Found"), kEndOfTrack})}),
     "Found",
     {{0, "Found"}}},
    {"SysExIsPassedOver",
     File(480, {Concat({Bytes{0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7}, Name("Found"), kEndOfTrack})}),
     "Found",
     {}},
    {"StatusF4EndsTheScan",
     File(480, {Concat({Bytes{0x00, 0xF4}, Name("Lost"), kEndOfTrack})}),
     " ",
     {}},
    {"DataByteWithoutRunningStatusEndsTheScan",
     File(480, {Concat({Bytes{0x00, 0x3C, 0x40}, Name("Lost"), kEndOfTrack})}),
     " ",
     {}},
    {"WhatCameBeforeABadEventStays",
     File(480, {Concat({Name("Kept"), Bytes{0x00, 0xF9}, Name("Lost")})}),
     "Kept",
     {}},
    {"HugeSysExLengthEndsTheScanQuietly",
     File(480, {Concat({Name("Kept"), Bytes{0x00, 0xF0, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0x00}})}),
     "Kept",
     {}},
    {"EmptyFirstTrackCollectsNothing",
     File(480, {Bytes{}, Concat({Name("Later"), Instrument("x"), TimeSig(3, 2), kEndOfTrack})}),
     " ",
     {}},
    {"PrefixOfSixteenOrMoreIgnoresNames",
     File(480, {Concat({Prefix(16), Instrument("lost"), Prefix(200), Instrument("lost too"),
                        Prefix(15), Instrument("last"), kEndOfTrack})}),
     " ",
     {{15, "last"}}},
    {"PrefixWithoutDataLeavesThePrefix",
     File(480, {Concat({Prefix(5), Meta(0x20, {}), Instrument("Tenor"), kEndOfTrack})}),
     " ",
     {{5, "Tenor"}}},
    {"UnknownChunkBeforeTheFirstTrackIsPassedOver",
     Concat({Header(1, 1, 480), Chunk("XFIH", {1, 2, 3, 4}),
             Track(Concat({Name("Behind"), kEndOfTrack}))}),
     "Behind",
     {}},
    {"NameAtTheEndOfAClippedTrackIsRead",
     Concat({Header(0, 1, 480), Chunk("MTrk", 500, Name("Cut"))}),
     "Cut",
     {}},
    {"NameCutByTheImageEndIsNotRead",
     Concat({Header(0, 1, 480), Chunk("MTrk", 500, {0x00, 0xFF, 0x03, 0x05, 'C', 'u'})}),
     " ",
     {}},
    {"TimeSignatureAtTheStart",
     File(480, {Concat({TimeSig(4, 2), kEndOfTrack})}),
     " ",
     {},
     {{0, 1, 4, 2, 24, 8}}},
    {"FirstTimeSignatureAnywhereGivesTheSameEntry",
     File(480,
          {Concat({Bytes{0x9E, 0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08}, kEndOfTrack})}),
     " ",
     {},
     {{0, 1, 4, 2, 24, 8}},
     3840},
    {"ChangeTakesItsTickFromTheDeltas",
     File(480, {Concat({TimeSig(4, 2), Bytes{0xBC, 0x00, 0xFF, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08},
                        kEndOfTrack})}),
     " ",
     {},
     {{0, 1, 4, 2, 24, 8}, {7680, 5, 3, 2, 24, 8}},
     7680},
    {"LongFirstDeltaCountsInTheTicks",
     File(480,
          {Concat({Bytes{0x83, 0x60, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08},
                   Bytes{0x8F, 0x00, 0xFF, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08}, kEndOfTrack})}),
     " ",
     {},
     {{0, 1, 4, 2, 24, 8}, {2400, 3, 3, 2, 24, 8}},
     2400},
    {"ShortOrImpossibleTimeSignaturesAreIgnored",
     File(480, {Concat({Meta(0x58, {4}), Meta(0x58, {0, 2, 24, 8}), Meta(0x58, {4, 31, 24, 8}),
                        Meta(0x58, {6, 3}), kEndOfTrack})}),
     " ",
     {},
     {{0, 1, 6, 3, 0, 0}}},
};

class ScanTable : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScanTable, CollectsWhatTheFileSays) {
  const ScanCase& c = GetParam();
  ReadRecorder hooks;
  MidiFile file;
  ASSERT_EQ(
      file.CreateFromImage(test::ToBlock(c.image), static_cast<std::uint32_t>(c.image.size())), 1);
  EXPECT_EQ(file.title(), c.title);
  for (int channel = 0; channel < 16; ++channel) {
    const auto named = c.names.find(channel);
    const std::string expected =
        named != c.names.end() ? named->second : "Channel " + std::to_string(channel + 1);
    EXPECT_EQ(file.channelNames()[channel], expected) << "channel " << channel;
  }
  const auto& entries = file.timeSignatures().entries();
  ASSERT_EQ(entries.size(), c.map.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE("entry " + std::to_string(i));
    EXPECT_EQ(entries[i].tick, c.map[i].tick);
    EXPECT_EQ(entries[i].bar, c.map[i].bar);
    EXPECT_EQ(entries[i].numerator, c.map[i].numerator);
    EXPECT_EQ(entries[i].denominatorPower, c.map[i].power);
    EXPECT_EQ(entries[i].clocksPerClick, c.map[i].clocks);
    EXPECT_EQ(entries[i].thirtySecondsPerQuarter, c.map[i].thirtySeconds);
  }
  EXPECT_EQ(file.lastEventTick(), c.lastTick);
  EXPECT_TRUE(hooks.errors.empty()) << "the scan reports nothing";
  EXPECT_EQ(hooks.allocations, 0) << "the scan hands no blocks to the engine";
}

INSTANTIATE_TEST_SUITE_P(Songs, ScanTable, ::testing::ValuesIn(kScanCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SongInfoScan, EachScanStartsAfresh) {
  MidiFile file;
  const Bytes named = File(480, {Concat({Name("Old"), TimeSig(3, 2), kEndOfTrack})});
  ASSERT_EQ(file.CreateFromImage(test::ToBlock(named), static_cast<std::uint32_t>(named.size())),
            1);
  ASSERT_EQ(file.timeSignatures().entries().size(), 1u);
  test::MemoryFile plain(File(480, {kEndOfTrack}));
  ASSERT_EQ(file.LoadFromFile(plain), 1);
  EXPECT_EQ(file.title(), " ");
  EXPECT_TRUE(file.timeSignatures().entries().empty());
}

TEST(SongInfoScan, LeavesTheTrackTableAlone) {
  MidiFile file;
  const Bytes image = File(480, {Concat({Name("Song"), kEndOfTrack})});
  ASSERT_EQ(file.CreateFromImage(test::ToBlock(image), static_cast<std::uint32_t>(image.size())),
            1);
  const TrackCursor before = file.tracks()[0];
  file.title() = "changed";
  EXPECT_EQ(file.ScanSongInfo(), 1);
  EXPECT_EQ(file.title(), "Song");
  EXPECT_EQ(file.tracks()[0].position, before.position);
  EXPECT_EQ(file.tracks()[0].flags, before.flags);
}

TEST(SongInfoScan, RefusesImagesThatAreNotMidiFiles) {
  std::string title = "old";
  std::array<std::string, 16> names;
  TimeSignatureMap map;
  const std::uint8_t sig[] = {4, 2, 24, 8};
  map.AddTimeSignature(0, sig, 4, 480);
  SongInfo info{title, names, map, 480};
  const Bytes bad = Concat({Header(1, 1, 480, 7), Track(Name("x"))});
  EXPECT_FALSE(CollectSongInfo(bad.data(), static_cast<std::uint32_t>(bad.size()), info));
  EXPECT_EQ(title, " ");
  EXPECT_TRUE(map.entries().empty());
  const Bytes none = Header(1, 0, 480);
  EXPECT_FALSE(CollectSongInfo(none.data(), static_cast<std::uint32_t>(none.size()), info));
  EXPECT_FALSE(CollectSongInfo(nullptr, 0, info));
}

}  // namespace
}  // namespace quirelle::smf
