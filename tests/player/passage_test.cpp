// Playing a passage: each repeat plays the passage's events again, shifted by whole passages;
// nothing sounds on across a jump; a count-in clicks on the beats of the metre at the tempo in
// force at the passage's start.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <vector>

#include "player/passage.h"
#include "tests/player/transport_rig.h"

namespace quirelle::testing {
namespace {

using Kind = stream::RecordedMessage::Kind;

constexpr std::uint32_t kClickOn = 0x99 | (37 << 8);

bool IsClick(std::uint32_t message) {
  return (message & 0xFFEF) == (kClickOn & 0xFFEF);  // side stick on channel 10, on or off
}
bool IsNoteOff(std::uint32_t message) {
  const std::uint32_t kind = message & 0xF0;
  return kind == 0x80 || (kind == 0x90 && (message >> 16) == 0);
}
// What a jump sends at a repeat's first tick for what still sounds.
bool IsRelease(std::uint32_t message) {
  const bool pedal =
      (message & 0xF0) == 0xB0 && (((message >> 8) & 0x7F) == 64 || ((message >> 8) & 0x7F) == 66);
  return IsNoteOff(message) || (pedal && (message >> 16) < 64);
}
bool IsNote(std::uint32_t message) {
  return (message & 0xE0) == 0x80;
}

std::vector<stream::RecordedMessage> Play(const Bytes& song, const player::Passage& passage) {
  TransportRig rig;
  rig.engine.SetPassage(passage);
  EXPECT_EQ(rig.Load(song), 1);
  EXPECT_EQ(rig.engine.Play(false), 1);
  rig.driver.RunUntilDrained(120'000'000);
  return rig.Recorded(Kind::kEvent);
}

// A note begun in bar 3 that lasts into bar 4 under the sustain pedal.
Bytes NoteHeldPastBarThree() {
  TrackData track;
  track.Tempo(0, 500000)
      .Event(0, {0x90, 48, 0x50})
      .Event(480, {0x80, 48, 0x40})
      .Event(3360, {0xB0, 64, 127})
      .Event(0, {0x90, 60, 0x50})
      .Event(3840, {0x80, 60, 0x40})
      .Event(0, {0xB0, 64, 0})
      .End();
  return MidiImage(0, 480, {track});
}

// 3/4, with a slower tempo from bar 2 on and a quarter note on every beat for four bars.
Bytes ThreeFourSlowerFromBarTwo() {
  TrackData track;
  track.Meta(0, 0x58, {3, 2, 24, 8}).Tempo(0, 500000);
  for (int beat = 0; beat < 12; ++beat) {
    if (beat == 3) {
      track.Tempo(0, 600000);
    }
    track.Event(0, {0x90, 60, 0x50}).Event(480, {0x80, 60, 0x40});
  }
  return MidiImage(0, 480, {track.End()});
}

struct PassageCase {
  const char* name;
  std::function<Bytes()> song;
  player::Passage passage;
  std::uint32_t repeatTicks;     // one repeat on the stream: count-in and passage
  std::uint32_t clicks = 0;      // per count-in
  std::uint64_t beatMicros = 0;  // between clicks
};

const PassageCase kCases[] = {
    {"BarsTwoToThreeThreeTimes", [] { return FourVoiceSong(16); }, {1920, 5760, 3, false}, 3840},
    {"WithACountIn", [] { return FourVoiceSong(16); }, {1920, 5760, 2, true}, 5760, 4, 500000},
    {"CountInInTheMetreAndTempoOfTheStart",
     ThreeFourSlowerFromBarTwo,
     {1440, 4320, 2, true},
     4320,
     3,
     600000},
    {"HeldNoteAndPedalAreReleasedAtTheJump", NoteHeldPastBarThree, {1920, 5760, 2, false}, 3840},
    {"WholeSongTwice", [] { return FourVoiceSong(8); }, {0, player::Passage::kSongEnd, 2}, 3840},
    {"WholeSongCountedIn",
     [] { return FourVoiceSong(4); },
     {0, player::Passage::kSongEnd, 2, true},
     3840,
     4,
     500000},
};

class PassageTable : public ::testing::TestWithParam<PassageCase> {};

TEST_P(PassageTable, RepeatsThePassageExactly) {
  const PassageCase& c = GetParam();
  const auto played = Play(c.song(), c.passage);

  // The song's messages of each repeat, by offset into it; the releases at a jump (note-offs at
  // a repeat's first tick) are looked at below.
  std::vector<std::multiset<std::pair<std::uint32_t, std::uint32_t>>> repeats(c.passage.plays);
  std::vector<std::vector<std::uint64_t>> clickTimes(c.passage.plays);
  for (const auto& m : played) {
    const std::uint32_t k = m.tick / c.repeatTicks;
    const std::uint32_t offset = m.tick % c.repeatTicks;
    if (k >= c.passage.plays) {
      continue;
    }
    if (IsClick(m.message)) {
      if ((m.message & 0xF0) == 0x90) {
        clickTimes[k].push_back(m.micros);
      }
    } else if (!(offset == 0 && IsRelease(m.message))) {
      repeats[k].insert({offset, m.message});
    }
  }
  for (std::uint32_t k = 1; k < c.passage.plays; ++k) {
    EXPECT_EQ(repeats[k], repeats[0]) << "repeat " << k;
  }

  // The first repeat's notes are the plain song's in the passage, after the count-in.
  const auto plain = Play(c.song(), player::Passage{});
  const std::uint32_t clickTicks = c.clicks == 0 ? 0 : c.clicks * 480;
  std::multiset<std::pair<std::uint32_t, std::uint32_t>> expected;
  std::multiset<std::pair<std::uint32_t, std::uint32_t>> got;
  for (const auto& m : plain) {
    if (IsNote(m.message) && m.tick >= c.passage.fromTick && m.tick < c.passage.endTick &&
        m.tick - c.passage.fromTick + clickTicks < c.repeatTicks) {
      expected.insert({m.tick - c.passage.fromTick + clickTicks, m.message});
    }
  }
  for (const auto& [offset, message] : repeats[0]) {
    if (IsNote(message) && offset >= clickTicks) {
      got.insert({offset, message});
    }
  }
  // Except the note-offs at the passage's start: their notes began earlier and never sounded.
  for (const auto& m : plain) {
    if (m.tick == c.passage.fromTick && IsNoteOff(m.message)) {
      expected.erase(expected.find({clickTicks, m.message}));
    }
  }
  EXPECT_EQ(got, expected);

  // Nothing is left sounding at a jump or at the end: every note and pedal is released.
  for (std::uint32_t k = 1; k <= c.passage.plays; ++k) {
    std::vector<stream::RecordedMessage> before;
    for (const auto& m : played) {
      if (m.tick < k * c.repeatTicks || (m.tick == k * c.repeatTicks && IsRelease(m.message))) {
        before.push_back(m);
      }
    }
    const LeftSounding left = WhatIsLeftSounding(before);
    EXPECT_TRUE(left.notes.empty()) << "notes sounding at the end of repeat " << k;
    EXPECT_TRUE(left.sustained.empty()) << "pedal down at the end of repeat " << k;
  }

  // A count-in clicks on every beat at the tempo of the passage's start.
  for (std::uint32_t k = 0; k < c.passage.plays; ++k) {
    ASSERT_EQ(clickTimes[k].size(), c.clicks) << "repeat " << k;
    for (std::size_t i = 1; i < clickTimes[k].size(); ++i) {
      EXPECT_EQ(clickTimes[k][i] - clickTimes[k][i - 1], c.beatMicros) << "click " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, PassageTable, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PassageCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace quirelle::testing
