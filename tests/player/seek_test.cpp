// Starting playback part-way into a song: what is in effect at the starting point is sent first,
// no note that began earlier sounds, and the tempo in force there sets the time scale.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "player/passage.h"
#include "tests/player/transport_rig.h"

namespace quirelle::testing {
namespace {

using Kind = stream::RecordedMessage::Kind;

struct Played {
  std::uint64_t micros;
  std::uint32_t message;
  bool operator==(const Played&) const = default;
};

std::vector<Played> PlayFrom(const Bytes& song, std::uint32_t startTick) {
  TransportRig rig;
  rig.engine.SetStartTick(startTick);
  EXPECT_EQ(rig.Load(song), 1);
  EXPECT_EQ(rig.engine.Play(false), 1);
  rig.driver.RunUntilDrained(60'000'000);
  std::vector<Played> played;
  for (const auto& m : rig.Recorded(Kind::kEvent)) {
    played.push_back({m.micros, m.message});
  }
  return played;
}

// Channel 1 set to program 40 with volume 50 and a bend, then a long note and a short one.
Bytes SetUpThenNotes() {
  TrackData track;
  track.Event(0, {0xC0, 40})
      .Event(0, {0xB0, 7, 50})
      .Event(0, {0xB0, 101, 0})
      .Event(0, {0xB0, 100, 0})
      .Event(0, {0xB0, 6, 12})
      .Event(0, {0x90, 60, 100})
      .Event(240, {0xE0, 0, 0x50})
      .Event(720, {0x80, 60, 0})
      .Event(0, {0x90, 64, 100})
      .Event(480, {0x80, 64, 0})
      .End();
  return MidiImage(0, 480, {track});
}

// Twice as fast from tick 240 on.
Bytes TempoChangeBeforeANote() {
  TrackData track;
  track.Tempo(0, 500000).Tempo(240, 250000).Event(720, {0x90, 60, 100}).Event(480, {0x80, 60, 0});
  return MidiImage(0, 480, {track.End()});
}

struct SeekCase {
  const char* name;
  std::function<Bytes()> song;
  std::uint32_t startTick;
  std::vector<Played> expected;  // empty: as the song played without a starting point
};

const SeekCase kCases[] = {
    {"AtZeroPlaysLikeAPlainPlay", [] { return FourVoiceSong(4); }, 0, {}},
    {"IntoAHeldNoteSetsTheStateAndLeavesTheNoteOut",
     SetUpThenNotes,
     480,
     {
         {0, 0x28C0},
         {0, 0x0065B0},  // the pitch-bend range: parameter 0 0, data 12
         {0, 0x0064B0},
         {0, 0x0C06B0},
         {0, 0x0065B0},  // the parameter selected at the end
         {0, 0x0064B0},
         {0, 0x3207B0},  // volume 50
         {0, 0x5000E0},
         {500000, 0x003C80},  // the held note's end comes, its start never did
         {500000, 0x644090},
         {1000000, 0x004080},
     }},
    {"AfterATempoChangePlaysAtThatTempo",
     TempoChangeBeforeANote,
     480,
     {
         {250000, 0x643C90},  // 480 ticks at 250000 µs a quarter
         {500000, 0x003C80},
     }},
    {"PastTheEndPlaysOnlyTheState",
     SetUpThenNotes,
     100000,
     {{0, 0x28C0},
      {0, 0x0065B0},
      {0, 0x0064B0},
      {0, 0x0C06B0},
      {0, 0x0065B0},
      {0, 0x0064B0},
      {0, 0x3207B0},
      {0, 0x5000E0}}},
};

class Seek : public ::testing::TestWithParam<SeekCase> {};

TEST_P(Seek, PlaysWhatIsInEffectFromTheStartingPoint) {
  const SeekCase& c = GetParam();
  const std::vector<Played> expected = c.expected.empty() ? PlayFrom(c.song(), 0) : c.expected;
  EXPECT_EQ(PlayFrom(c.song(), c.startTick), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Seek, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SeekCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(Seek, PositionsAreTheSongsTicksThroughRepeatsAndCountIns) {
  struct Case {
    player::Passage passage;
    std::uint64_t micros;  // of playing, 480 ticks every half second
    std::uint32_t tick;
  };
  const Case cases[] = {
      {{960}, 500'000, 1440},
      {{1920, 5760, player::Passage::kForever}, 2'500'000, 4320},
      {{1920, 5760, player::Passage::kForever}, 4'500'000, 2400},      // after the jump at 4 s
      {{1920, 5760, player::Passage::kForever, true}, 500'000, 1920},  // counting in
      {{1920, 5760, player::Passage::kForever, true}, 2'500'000, 2400},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.micros);
    TransportRig rig;
    rig.engine.SetPassage(c.passage);
    ASSERT_EQ(rig.Load(FourVoiceSong(16)), 1);
    ASSERT_EQ(rig.engine.Play(false), 1);
    for (std::uint64_t t = 0; t < c.micros; t += 10'000) {
      rig.driver.Advance(10'000);
      rig.driver.WaitIdle();
    }
    EXPECT_EQ(rig.Ticks(), c.tick);
    rig.engine.Stop();
  }
}

}  // namespace
}  // namespace quirelle::testing
