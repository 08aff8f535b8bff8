// The stream event builder: merging, buffer limits, tempo scaling, end of song, read errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "tests/player/builder_harness.h"
#include "tests/support/memory_file.h"

namespace quirelle::testing {
namespace {

using player::kFillEarlierReadError;
using player::kFillReadError;
using player::kFillSongEnded;

constexpr std::uint32_t kNoteOn = 0x643C90;
constexpr std::uint32_t kNoteOff = 0x403C80;
const std::uint32_t kDefaultTempoWord = TempoWord(500000);

Bytes OneTrack(const TrackData& track, std::uint16_t division = 480) {
  return MidiImage(1, division, {track});
}

TEST(Builder, FirstEventCarriesTheDefaultTempoAndTheSongEnds) {
  BuilderHarness h(
      OneTrack(TrackData().Event(0, {0x90, 0x3C, 0x64}).Event(480, {0x80, 0x3C, 0x40}).End()));
  int result = -1;
  EXPECT_EQ(h.Fill(true, &result),
            (std::vector<Written>{{0, kDefaultTempoWord}, {0, kNoteOn}, {480, kNoteOff}}));
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(h.Fill(false, &result).empty());
  EXPECT_EQ(result, kFillSongEnded);
  h.Fill(false, &result);
  EXPECT_EQ(result, kFillSongEnded);
}

TEST(Builder, LoopStartsTheSongAgainInTheNextBuffer) {
  BuilderHarness h(
      OneTrack(TrackData().Event(0, {0x90, 0x3C, 0x64}).Event(480, {0x80, 0x3C, 0x40}).End(960)));
  h.engine().SetLoop(true);
  h.Fill(true);
  int result = -1;
  EXPECT_EQ(h.Fill(false, &result), (std::vector<Written>{{0, kNoteOn}, {480, kNoteOff}}));
  EXPECT_EQ(result, 0);
}

TEST(Builder, TempoPercentScalesEveryTempoWritten) {
  struct Case {
    std::uint32_t percent;
    std::uint32_t fileTempo;
    std::uint32_t defaultWord;
    std::uint32_t fileWord;
  };
  const Case cases[] = {
      {100, 500000, TempoWord(500000), TempoWord(500000)},
      {50, 500000, 0x010F4240, 0x010F4240},
      {200, 500000, 0x0103D090, 0x0103D090},
      {20, 0xFFFFFF, TempoWord(2500000), TempoWord(0xFFFFFF)},  // clamped to 24 bits
      {500, 600000, TempoWord(100000), TempoWord(120000)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.percent);
    BuilderHarness h(OneTrack(TrackData().Tempo(0, c.fileTempo).Event(0, {0x90, 0x3C, 0x64}).End()),
                     c.percent);
    EXPECT_EQ(h.Fill(true),
              (std::vector<Written>{{0, c.defaultWord}, {0, c.fileWord}, {0, kNoteOn}}));
  }
}

TEST(Builder, TempoChangeDuringPlayPutsOneTempoEventBeforeTheNextEvent) {
  TrackData track;
  for (int i = 0; i < 10; ++i) {
    track.Event(i == 0 ? 0 : 100, {0x90, 0x3C, 0x64});
  }
  BuilderHarness h(OneTrack(track.End()));
  // Span at 480 ticks per quarter and 500000 µs: 57 ticks, so 0, 100 and (grace) 200 fit.
  EXPECT_EQ(
      h.Fill(true),
      (std::vector<Written>{{0, kDefaultTempoWord}, {0, kNoteOn}, {100, kNoteOn}, {100, kNoteOn}}));
  h.engine().SetTempoPercent(200);
  const auto second = h.Fill(false);
  ASSERT_GE(second.size(), 2u);
  EXPECT_EQ(second[0], (Written{0, TempoWord(250000)}));
  EXPECT_EQ(second[1], (Written{100, kNoteOn}));
}

TEST(Builder, ABufferHoldsAtMost85EventsAndTheRestFollowsInTheNext) {
  TrackData track;
  for (int i = 0; i < 100; ++i) {
    track.Event(0, {0x90, 0x3C, 0x64});
  }
  BuilderHarness h(OneTrack(track.End()));
  int result = -1;
  const auto first = h.Fill(true, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(first.size(), 85u);  // the tempo event and 84 notes
  const auto second = h.Fill(false, &result);
  EXPECT_EQ(second.size(), 16u);
  EXPECT_EQ(second.front(), (Written{0, kNoteOn}));
}

TEST(Builder, PendingEventKeepsItsDeltaFromThePreviousBuffer) {
  TrackData track;
  track.Event(0, {0x90, 0x3C, 0x64});
  for (int i = 0; i < 84; ++i) {
    track.Event(0, {0x90, 0x3C, 0x64});
  }
  track.Event(30, {0x80, 0x3C, 0x40});
  BuilderHarness h(OneTrack(track.End()));
  EXPECT_EQ(h.Fill(true).size(), 85u);
  const auto second = h.Fill(false);
  ASSERT_FALSE(second.empty());
  EXPECT_EQ(second.front(), (Written{0, kNoteOn}));
  EXPECT_EQ(second.back(), (Written{30, kNoteOff}));
}

// Seven tracks whose events meet at the same ticks in many combinations: each tick's events come
// from the highest-numbered track down, each track's in its own order.
TEST(Builder, EqualTimesGoHighestTrackFirst) {
  struct Timed {
    std::uint32_t time;
    std::uint32_t track;
    std::uint32_t word;
  };
  std::vector<TrackData> tracks(7);
  std::vector<Timed> expected;
  for (std::uint32_t t = 0; t < tracks.size(); ++t) {
    std::uint32_t time = 0;
    for (std::uint32_t k = 0; k < 6; ++k) {
      const std::uint32_t delta = (t * k + t) % 3 * 5;  // all within one buffer's span
      time += delta;
      const auto status = static_cast<std::uint8_t>(0x90 | t);
      const auto key = static_cast<std::uint8_t>(60 + k);
      tracks[t].Event(delta, {status, key, 100});
      expected.push_back({time, t, 0x640000u | key << 8 | status});
    }
    tracks[t].End();
  }
  std::stable_sort(expected.begin(), expected.end(), [](const Timed& a, const Timed& b) {
    return a.time != b.time ? a.time < b.time : a.track > b.track;
  });
  std::vector<Written> written = {{0, kDefaultTempoWord}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    written.push_back({expected[i].time - (i == 0 ? 0 : expected[i - 1].time), expected[i].word});
  }
  BuilderHarness h(MidiImage(1, 480, tracks));
  EXPECT_EQ(h.Fill(true), written);
}

TEST(Builder, WhatTheDeviceDoesNotPlayIsLeftOutWithoutLosingTime) {
  BuilderHarness h(OneTrack(TrackData()
                                .Event(0, {0x90, 0x3C, 0x64})
                                .Text(10, 0x01, "a text")
                                .SysEx(10, {0x7E, 0x7F, 0x09, 0x01, 0xF7})
                                .Text(10, 0x05, "lyric")
                                .Meta(0, 0x51, {0x07, 0xA1})        // too short to be a tempo
                                .Meta(0, 0x51, {0x00, 0x00, 0x00})  // a tempo of 0
                                .Event(20, {0x80, 0x3C, 0x40})
                                .End()));
  EXPECT_EQ(h.Fill(true),
            (std::vector<Written>{{0, kDefaultTempoWord}, {0, kNoteOn}, {50, kNoteOff}}));
}

TEST(Builder, ChannelVolumeControllersAskForAPositionCallback) {
  BuilderHarness h(OneTrack(TrackData()
                                .Event(0, {0xB3, 0x07, 0x64})
                                .Event(0, {0xB3, 0x0A, 0x40})
                                .Event(0, {0xC5, 0x10})
                                .End()));
  EXPECT_EQ(h.Fill(true),
            (std::vector<Written>{
                {0, kDefaultTempoWord}, {0, 0x406407B3}, {0, 0x00400AB3}, {0, 0x10C5}}));
}

TEST(Builder, SongOfOnlyEndOfTrackEventsEndsAtOnce) {
  BuilderHarness h(MidiImage(1, 480, {TrackData().End(), TrackData().End(100)}));
  int result = -1;
  EXPECT_TRUE(h.Fill(true, &result).empty());
  EXPECT_EQ(result, 0);
  h.Fill(false, &result);
  EXPECT_EQ(result, kFillSongEnded);
}

TEST(Builder, TrackWithoutEndOfTrackFinishesWhereItsDataEnd) {
  BuilderHarness h(
      OneTrack(TrackData().Event(0, {0x90, 0x3C, 0x64}).Event(480, {0x80, 0x3C, 0x40})));
  int result = -1;
  EXPECT_EQ(h.Fill(true, &result),
            (std::vector<Written>{{0, kDefaultTempoWord}, {0, kNoteOn}, {480, kNoteOff}}));
  EXPECT_EQ(result, 0);
  h.Fill(false, &result);
  EXPECT_EQ(result, kFillSongEnded);
}

TEST(Builder, ReadErrorStopsTheFillAndEveryLaterOne) {
  BuilderHarness h(OneTrack(TrackData().Event(0, {0x90, 0x3C, 0x64}).Raw({0x00, 0x90, 0x3C})));
  int result = 0;
  h.Fill(true, &result);
  EXPECT_EQ(result, kFillReadError);
  h.Fill(false, &result);
  EXPECT_EQ(result, kFillEarlierReadError);
}

TEST(Builder, EveryLoadStartsAtTheDefaultTempo) {
  RefusingDriver driver;
  player::CMidiStreamPlayer engine(driver);
  MemoryFile slow(OneTrack(TrackData().Tempo(0, 1000000).Event(0, {0x90, 0x3C, 0x64}).End()));
  engine.LoadFromFile(slow);
  MemoryFile plain(OneTrack(TrackData().Event(0, {0x90, 0x3C, 0x64}).End()));
  engine.LoadFromFile(plain);
  ASSERT_TRUE(engine.file().HasImage());
  player::StreamBuffer buffer;
  buffer.block = platform::AllocateBlock(player::kStreamBufferBytes);
  buffer.header.lpData = buffer.block.get();
  buffer.ResetForFill();
  engine.RewindTracks();
  ASSERT_EQ(engine.FillBuffer(true, buffer), 0);
  stream::MIDIEVENT first;
  std::memcpy(&first, buffer.block.get(), sizeof first);
  EXPECT_EQ(first.dwEvent, kDefaultTempoWord);
}

TEST(Builder, SmpteSpanCoversSixtyMilliseconds) {
  // 25 frames per second, 40 ticks per frame: 1000 ticks per second, 60 ticks in 60 ms.
  TrackData track;
  for (int i = 0; i < 20; ++i) {
    track.Event(i == 0 ? 0 : 20, {0x90, 0x3C, 0x64});
  }
  BuilderHarness h(OneTrack(track.End(), 0xE728));
  // Notes up to 80 start within the span, 100 is the grace event, 120 waits.
  EXPECT_EQ(h.Fill(true).size(), 1u + 6u);
}

}  // namespace
}  // namespace quirelle::testing
