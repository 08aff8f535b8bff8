// Loading a file: header and chunk checks, the track table, bounds, the held image, channel names
// and rewinding.
#include "smf/midi_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/readable_file.h"
#include "smf/event_reader.h"
#include "tests/smf/image_builder.h"
#include "tests/smf/read_recorder.h"

namespace quirelle::smf {
namespace {

using test::Bytes;
using test::Chunk;
using test::Concat;
using test::Header;
using test::kEndOfTrack;
using test::MemoryFile;
using test::ReadRecorder;
using test::ToBlock;
using test::Track;

struct TrackExpect {
  std::uint32_t startOffset;  // of the first data byte in the image
  std::uint32_t length;
  std::uint32_t positionOffset;
  std::uint32_t nextTime;
  bool finished;
};

struct LoadCase {
  const char* name;
  Bytes image;
  bool accepted;
  std::uint16_t format = 0;
  std::uint16_t division = 0;
  std::vector<TrackExpect> tracks = {};
};

Bytes WithoutLastByte(Bytes bytes) {
  bytes.pop_back();
  return bytes;
}

const Bytes kNote = {0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00};

const LoadCase kLoadCases[] = {
    {"OneTrack", Concat({Header(1, 1, 480), Track(kNote)}), true, 1, 480, {{22, 12, 23, 0, false}}},
    {"FormatsZeroOneTwoLoadAlike0",
     Concat({Header(0, 1, 96), Track(kNote)}),
     true,
     0,
     96,
     {{22, 12, 23, 0, false}}},
    {"FormatsZeroOneTwoLoadAlike2",
     Concat({Header(2, 2, 96), Track(kNote), Track(kNote)}),
     true,
     2,
     96,
     {{22, 12, 23, 0, false}, {42, 12, 43, 0, false}}},
    {"SmpteDivisionIsKeptUnchanged",
     Concat({Header(1, 1, 0xE728), Track(kNote)}),
     true,
     1,
     0xE728,
     {{22, 12, 23, 0, false}}},
    {"ZeroTracksIsAccepted", Header(1, 0, 480), true, 1, 480, {}},
    {"EmptyTrackIsFinishedAndTheNextFollowsItsHeader",
     Concat({Header(1, 2, 480), Track({}), Track(kNote)}),
     true,
     1,
     480,
     {{22, 0, 22, 0, true}, {30, 12, 31, 0, false}}},
    {"TwoByteFirstDelta",
     Concat({Header(1, 1, 480), Track({0x81, 0x00, 0xFF, 0x2F, 0x00})}),
     true,
     1,
     480,
     {{22, 5, 24, 128, false}}},
    {"TrackHoldingOnlyItsFirstDeltaIsFinished",
     Concat({Header(1, 1, 480), Track({0x83, 0x60})}),
     true,
     1,
     480,
     {{22, 2, 24, 480, true}}},
    {"UnknownChunkAmongTheTracksIsPassedOver",
     Concat({Header(1, 2, 480), Chunk("XFIH", {1, 2, 3}), Track(kNote), Chunk("MTrX", {}),
             Track(kNote)}),
     true,
     1,
     480,
     {{33, 12, 34, 0, false}, {61, 12, 62, 0, false}}},
    {"ChunksAfterTheLastTrackAreNotLookedAt",
     Concat({Header(1, 1, 480), Track(kNote), Chunk("MTrk", 1000, {0x81}), Bytes{'x'}}),
     true,
     1,
     480,
     {{22, 12, 23, 0, false}}},
    {"TrackRunningPastTheImageIsClipped",
     Concat({Header(0, 1, 480), Chunk("MTrk", 100, {0x00, 0x90, 0x3C, 0x64, 0x00})}),
     true,
     0,
     480,
     {{22, 5, 23, 0, false}}},
    {"TrackWithHugeLengthIsClipped",
     Concat({Header(0, 1, 480), Chunk("MTrk", 0xFFFFFFFF, {0x00, 0x90, 0x3C, 0x64})}),
     true,
     0,
     480,
     {{22, 4, 23, 0, false}}},
    {"EmptyImage", {}, false},
    {"ImageShorterThanTheHeader", WithoutLastByte(Header(1, 0, 480)), false},
    {"WrongHeaderId",
     Concat({Bytes{'M', 'T', 'h', 'D', 0, 0, 0, 6, 0, 1, 0, 1, 1, 0xE0}, Track(kNote)}), false},
    {"HeaderLengthSevenIsRefused", Concat({Header(1, 1, 480, 7), Track(kNote)}), false},
    {"HeaderLengthFiveIsRefused", Concat({Header(1, 1, 480, 5), Track(kNote)}), false},
    {"FewerTracksThanAnnounced", Concat({Header(1, 3, 480), Track(kNote), Track(kNote)}), false},
    {"ChunkHeaderCutShort", Concat({Header(1, 1, 480), Bytes{'M', 'T', 'r', 'k', 0, 0, 0}}), false},
    {"UnknownChunkRunningPastTheImage", Concat({Header(1, 1, 480), Chunk("XFIH", 50, {1, 2, 3})}),
     false},
    {"FirstDeltaCutShort", Concat({Header(1, 1, 480), Track({0x81})}), false},
    {"FirstDeltaCutShortByTheImageEnd",
     Concat({Header(1, 1, 480), Chunk("MTrk", 10, {0x81, 0x80})}), false},
    {"SecondTracksFirstDeltaCutShort", Concat({Header(1, 2, 480), Track(kNote), Track({0xFF})}),
     false},
};

class LoadTable : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadTable, BuildsTheTrackTableOrRefuses) {
  const LoadCase& c = GetParam();
  MidiFile file;
  const int result =
      file.CreateFromImage(ToBlock(c.image), static_cast<std::uint32_t>(c.image.size()));
  ASSERT_EQ(result, c.accepted ? 1 : 0);
  EXPECT_EQ(file.HasImage(), c.accepted);
  EXPECT_EQ(file.channelNames()[0], "Channel 1");
  if (!c.accepted) {
    return;
  }
  EXPECT_EQ(file.imageLength(), c.image.size());
  EXPECT_EQ(file.format(), c.format);
  EXPECT_EQ(file.division(), c.division);
  EXPECT_EQ(file.trackCount(), c.tracks.size());
  ASSERT_EQ(file.tracks().size(), c.tracks.size());
  for (std::size_t i = 0; i < c.tracks.size(); ++i) {
    SCOPED_TRACE("track " + std::to_string(i));
    const TrackCursor& t = file.tracks()[i];
    const TrackExpect& e = c.tracks[i];
    EXPECT_EQ(t.start - file.image(), e.startOffset);
    EXPECT_EQ(t.length, e.length);
    EXPECT_EQ(t.position - file.image(), e.positionOffset);
    EXPECT_EQ(t.nextTime, e.nextTime);
    EXPECT_EQ(t.finished(), e.finished);
    EXPECT_EQ(t.runningStatus, 0);
    EXPECT_LE(e.startOffset + e.length, c.image.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Images, LoadTable, ::testing::ValuesIn(kLoadCases),
                         [](const auto& info) { return std::string(info.param.name); });

Bytes OneTrackFile(const Bytes& data) {
  return Concat({Header(1, 1, 480), Track(data)});
}

Bytes NamedFile() {
  return OneTrackFile(Concat({test::Meta(0x03, test::Text("Song")),
                              test::Meta(0x04, test::Text("Soprano")), kEndOfTrack}));
}

int Create(MidiFile& file, const Bytes& image) {
  return file.CreateFromImage(ToBlock(image), static_cast<std::uint32_t>(image.size()));
}

TEST(MidiFile, StartsWithNoImageASpaceTitleAndDefaultNames) {
  MidiFile file;
  EXPECT_FALSE(file.HasImage());
  EXPECT_EQ(file.title(), " ");
  EXPECT_EQ(file.channelNames()[0], "Channel 1");
  EXPECT_EQ(file.channelNames()[15], "Channel 16");
  EXPECT_TRUE(file.tracks().empty());
}

TEST(MidiFile, FailedLoadLeavesTheDefaultNames) {
  MidiFile file;
  MemoryFile named(NamedFile());
  ASSERT_EQ(file.LoadFromFile(named), 1);
  ASSERT_EQ(file.channelNames()[0], "Soprano");
  MemoryFile junk(test::Text("not a MIDI file at all"));
  EXPECT_EQ(file.LoadFromFile(junk), 0);
  EXPECT_EQ(file.channelNames()[0], "Channel 1");
  EXPECT_FALSE(file.HasImage());
}

TEST(MidiFile, SecondCreateWithoutReleaseChangesOnlyTheNames) {
  MidiFile file;
  ASSERT_EQ(Create(file, NamedFile()), 1);
  const std::uint8_t* held = file.image();
  const TrackCursor before = file.tracks()[0];
  EXPECT_EQ(Create(file, OneTrackFile(kNote)), 0);
  EXPECT_EQ(file.image(), held);
  EXPECT_EQ(file.title(), "Song");
  EXPECT_EQ(file.channelNames()[0], "Channel 1");
  EXPECT_EQ(file.tracks()[0].position, before.position);
}

TEST(MidiFile, ReloadResizesTheTrackTable) {
  ReadRecorder hooks;
  MidiFile file;
  Bytes eight = Header(1, 8, 480);
  for (int i = 0; i < 8; ++i) {
    eight = Concat({eight, Track(kNote)});
  }
  MemoryFile big(eight);
  ASSERT_EQ(file.LoadFromFile(big), 1);
  ASSERT_EQ(file.tracks().size(), 8u);
  TrackEvent event;
  ASSERT_EQ(hooks.Read(file.tracks()[0], event), 1);
  MemoryFile small(Concat({Header(1, 3, 96), Track(kNote), Track({}), Track(kNote)}));
  ASSERT_EQ(file.LoadFromFile(small), 1);
  ASSERT_EQ(file.tracks().size(), 3u);
  EXPECT_EQ(file.tracks()[0].position, file.tracks()[0].start + 1);
  EXPECT_EQ(file.tracks()[0].runningStatus, 0);
  EXPECT_TRUE(file.tracks()[1].finished());
  EXPECT_EQ(file.division(), 96);
}

TEST(MidiFile, LoadReleasesTheHeldImageFirst) {
  MidiFile file;
  MemoryFile first(NamedFile());
  ASSERT_EQ(file.LoadFromFile(first), 1);
  MemoryFile junk(test::Text("junk"));
  EXPECT_EQ(file.LoadFromFile(junk), 0);
  EXPECT_FALSE(file.HasImage());
  MemoryFile again(NamedFile());
  EXPECT_EQ(file.LoadFromFile(again), 1);
}

TEST(MidiFile, FileLongerThanFourGibibytesIsRefusedUnread) {
  MidiFile file;
  MemoryFile huge(NamedFile(), std::uint64_t{1} << 32);
  EXPECT_EQ(file.LoadFromFile(huge), 0);
  EXPECT_EQ(huge.reads, 0);
  EXPECT_FALSE(file.HasImage());
}

TEST(MidiFile, ImageLengthIsWhatCouldBeRead) {
  MidiFile file;
  const Bytes image = OneTrackFile(kNote);
  MemoryFile shrunk(image, image.size() + 100);
  ASSERT_EQ(file.LoadFromFile(shrunk), 1);
  EXPECT_EQ(file.imageLength(), image.size());
}

TEST(MidiFile, LoadsFromTheFileSystem) {
  platform::PosixFile posix;
  ASSERT_TRUE(posix.Open(QUIRELLE_TEST_DATA_DIR "/smf/two_tracks_named.mid")) << posix.Error();
  MidiFile file;
  ASSERT_EQ(file.LoadFromFile(posix), 1);
  EXPECT_EQ(file.trackCount(), 2);
  EXPECT_EQ(file.title(), "Two Voices");
  EXPECT_EQ(file.channelNames()[1], "Alto");
  std::uint16_t division = 0;
  EXPECT_EQ(file.GetTimeDivision(division), 1);
  EXPECT_EQ(division, 480);
}

TEST(MidiFile, RewindWithoutImageFails) {
  MidiFile file;
  EXPECT_EQ(file.RewindTracks(), 0);
}

TEST(MidiFile, RewindPutsEveryCursorBackOnItsFirstEvent) {
  ReadRecorder hooks;
  MidiFile file;
  ASSERT_EQ(Create(file, Concat({Header(1, 3, 480), Track({0x81, 0x00, 0x90, 0x3C, 0x64}),
                                 Track({}), Track(kNote)})),
            1);
  const std::vector<TrackCursor> loaded = file.tracks();
  TrackEvent event;
  for (TrackCursor& cursor : file.tracks()) {
    while (hooks.Read(cursor, event) == 1) {
    }
  }
  ASSERT_TRUE(file.tracks()[0].finished());
  ASSERT_EQ(file.tracks()[2].runningStatus, 0x80);
  EXPECT_EQ(file.RewindTracks(), 1);
  for (std::size_t i = 0; i < loaded.size(); ++i) {
    SCOPED_TRACE(i);
    const TrackCursor& now = file.tracks()[i];
    EXPECT_EQ(now.position, loaded[i].position);
    EXPECT_EQ(now.nextTime, loaded[i].nextTime);
    EXPECT_EQ(now.flags, loaded[i].flags);
    EXPECT_EQ(now.runningStatus, 0);
  }
  EXPECT_EQ(file.tracks()[0].nextTime, 128u);
}

}  // namespace
}  // namespace quirelle::smf
