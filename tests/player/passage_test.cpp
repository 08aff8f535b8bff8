// Playing a passage: each repeat plays the passage's events again, shifted by whole passages;
// nothing sounds on across a jump; a count-in clicks on the beats of the metre at the tempo in
// force at the passage's start. Practising: the key, mute and solo, the speed trainer and the
// starting notes.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>
#include <optional>
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

// Four voices of eight quarters at their volume of 100, voice v singing kBase[v] + beat % 4 but
// voice 1 a 120 on beat 5, over a hi-hat on channel 10.
constexpr std::array<int, 4> kBase = {72, 67, 60, 48};
constexpr int kQuarters = 8;
constexpr int kHiHat = 42;

int PitchOf(int voice, int beat) {
  return voice == 0 && beat == 5 ? 120 : kBase[voice] + beat % 4;
}

Bytes PracticeSong() {
  std::vector<TrackData> tracks(1);
  tracks[0].Tempo(0, 500000).End();
  for (int voice = 0; voice <= 4; ++voice) {
    const auto channel = static_cast<std::uint8_t>(voice == 4 ? 9 : voice);
    TrackData track;
    track.Event(0, {static_cast<std::uint8_t>(0xB0 | channel), 7, 100});
    for (int beat = 0; beat < kQuarters; ++beat) {
      const auto key = static_cast<std::uint8_t>(voice == 4 ? kHiHat : PitchOf(voice, beat));
      track.Event(0, {static_cast<std::uint8_t>(0x90 | channel), key, 0x50});
      track.Event(480, {static_cast<std::uint8_t>(0x80 | channel), key, 0x40});
    }
    tracks.push_back(track.End());
  }
  return MidiImage(1, 480, tracks);
}

struct PracticeCase {
  const char* name;
  player::Passage passage;
  int key = 0;
  std::optional<std::pair<std::uint64_t, int>> keyAt;  // device µs, new key
  std::uint32_t muted = 0;                             // voice bits
  std::uint32_t soloed = 0;
  std::uint32_t tempo = 100;
  std::uint32_t step = 0;  // speed trainer, up to 100 %
  bool startingNotes = false;
  // What is heard: the voices with a volume above 0 when they sing, how far each voice's first
  // and last sung note are from the written ones, the notes each voice sings in all, the tempo
  // of each play, the starting notes (channel, pitch) on the first beat before the passage.
  std::uint32_t heard = 0xF;
  int firstShift = 0;
  int lastShift = 0;
  std::array<int, 4> sung = {8, 8, 8, 8};
  std::vector<std::uint32_t> tempos = {100};
  std::set<std::pair<int, int>> startingNotes_ = {};
};

const PracticeCase kPracticeCases[] = {
    {"KeyUpTwo", {}, 2, {}, 0, 0, 100, 0, false, 0xF, 2, 2},
    {"KeyChangedWhileNotesSound", {}, 2, {{1'250'000, -3}}, 0, 0, 100, 0, false, 0xF, 2, -3},
    {"NotePushedOutOfRangeIsDropped", {}, 12, {}, 0, 0, 100, 0, false, 0xF, 12, 12, {7, 8, 8, 8}},
    {"MuteTwo", {}, 0, {}, 0b0010, 0, 100, 0, false, 0b1101},
    {"SoloOneAndThree", {}, 0, {}, 0, 0b0101, 100, 0, false, 0b0101},
    {"MuteWinsOverSolo", {}, 0, {}, 0b0001, 0b0011, 100, 0, false, 0b0010},
    {"SpeedTrainer",
     {0, player::Passage::kSongEnd, 4},
     0,
     {},
     0,
     0,
     70,
     10,
     false,
     0xF,
     0,
     0,
     {32, 32, 32, 32},
     {70, 80, 90, 100}},
    {"StartingNotesOnTheCountInsFirstBeat",
     {2400, 3840, 1, true},
     2,
     {},
     0,
     0,
     100,
     0,
     true,
     0xF,
     2,
     2,
     {3, 3, 3, 3},
     {100},
     {{0, 122}, {1, 70}, {2, 63}, {3, 51}}},
    {"StartingNotesOfTheSoloedVoiceAlone",
     {2400, 3840, 1, false},
     0,
     {},
     0,
     0b0010,
     100,
     0,
     true,
     0b0010,
     0,
     0,
     {3, 3, 3, 3},
     {100},
     {{1, 68}}},
};

class PracticeTable : public ::testing::TestWithParam<PracticeCase> {};

TEST_P(PracticeTable, PlaysAsPractised) {
  const PracticeCase& c = GetParam();
  TransportRig rig;
  rig.engine.SetPassage(c.passage);
  rig.engine.SetTranspose(c.key);
  rig.engine.SetTempoPercent(c.tempo);
  rig.engine.SetSpeedUp(c.step, 100);
  rig.engine.SetStartingNotes(c.startingNotes);
  for (std::uint32_t voice = 0; voice < 4; ++voice) {
    rig.engine.SetVoiceMuted(voice, (c.muted >> voice & 1) != 0);
    rig.engine.SetVoiceSoloed(voice, (c.soloed >> voice & 1) != 0);
  }
  ASSERT_EQ(rig.Load(PracticeSong()), 1);
  ASSERT_EQ(rig.engine.Play(false), 1);
  if (c.keyAt) {
    rig.driver.Advance(c.keyAt->first);
    rig.driver.WaitIdle();
    rig.engine.SetTranspose(c.keyAt->second);
  }
  rig.driver.RunUntilDrained(120'000'000);
  const auto played = rig.Recorded(Kind::kEvent);

  const std::uint32_t leadIn = c.passage.countIn ? 1920 : (c.startingNotes ? 480 : 0);
  const std::uint32_t firstBeat = c.passage.fromTick / 480;
  const std::uint32_t playTicks =
      leadIn +
      (c.passage.endTick == player::Passage::kSongEnd ? kQuarters * 480 : c.passage.endTick) -
      c.passage.fromTick;
  std::array<int, 16> volume{};
  volume.fill(100);
  std::uint32_t heard = 0;
  std::array<int, 4> sung{};
  std::array<std::optional<int>, 4> first;
  std::array<int, 4> last{};
  std::set<std::pair<int, int>> starting;
  std::vector<std::vector<std::uint64_t>> onsets(c.tempos.size());  // voice 4's, by play
  std::map<std::pair<int, int>, int> sounding;
  std::map<std::pair<int, int>, std::uint32_t> startedAt;  // the starting notes sounding
  for (const auto& m : played) {
    const int channel = static_cast<int>(m.message & 0x0F);
    const int key = static_cast<int>(m.message >> 8 & 0x7F);
    const std::uint32_t offset = m.tick % playTicks;
    if ((m.message & 0xF0) == 0xB0 && key == 7) {
      volume[static_cast<std::size_t>(channel)] = static_cast<int>(m.message >> 16);
    }
    if (!IsNote(m.message)) {
      continue;
    }
    // Every note-off goes to a note sounding, whatever the key did meanwhile.
    int& on = sounding[{channel, key}];
    on += IsNoteOff(m.message) ? -1 : 1;
    EXPECT_GE(on, 0) << "note-off of a note not sounding: " << channel << " " << key;
    if (channel == 9 && !IsClick(m.message)) {
      EXPECT_EQ(key, kHiHat);
    }
    const auto started = startedAt.find({channel, key});
    if (IsNoteOff(m.message) && started != startedAt.end()) {
      EXPECT_EQ(m.tick - started->second, 480U) << "a starting note lasts one beat";
      startedAt.erase(started);
    }
    if (IsNoteOff(m.message) || channel >= 4) {
      continue;
    }
    const auto voice = static_cast<std::size_t>(channel);
    if (offset < leadIn) {
      EXPECT_EQ(offset, 0U) << "starting notes sound on the first beat";
      starting.insert({channel, key});
      startedAt[{channel, key}] = m.tick;
      continue;
    }
    const int beat = static_cast<int>(firstBeat + (offset - leadIn) / 480);
    if (!first[voice]) {
      first[voice] = key - PitchOf(channel, beat);
    }
    last[voice] = key - PitchOf(channel, beat);
    ++sung[voice];
    heard |= volume[voice] > 0 ? 1U << voice : 0;
    if (voice == 3 && m.tick / playTicks < onsets.size()) {
      onsets[m.tick / playTicks].push_back(m.micros);
    }
  }
  for (const auto& [note, on] : sounding) {
    EXPECT_EQ(on, 0) << "left sounding: " << note.first << " " << note.second;
  }
  EXPECT_EQ(heard, c.heard);
  EXPECT_EQ(sung, c.sung);
  for (std::size_t voice = 0; voice < 4; ++voice) {
    EXPECT_EQ(first[voice], c.firstShift) << "voice " << voice + 1;
    EXPECT_EQ(last[voice], c.lastShift) << "voice " << voice + 1;
  }
  EXPECT_EQ(starting, c.startingNotes_);
  std::vector<std::uint32_t> tempos;
  for (const auto& times : onsets) {
    tempos.push_back(times.size() < 2 ? 0
                                      : static_cast<std::uint32_t>(
                                            (500000ULL * 100 + (times[1] - times[0]) / 2) /
                                            (times[1] - times[0])));
  }
  EXPECT_EQ(tempos, c.tempos);
  EXPECT_EQ(rig.engine.tempoPercent(), c.tempos.back());
}

INSTANTIATE_TEST_SUITE_P(Cases, PracticeTable, ::testing::ValuesIn(kPracticeCases),
                         [](const ::testing::TestParamInfo<PracticeCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace quirelle::testing
