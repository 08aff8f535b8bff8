// Bar numbers as a score prints them: the common metres, changes at and inside a bar, two
// signatures at one tick, pickups written and given, split bars, the empty map, divisions of 0
// and SMPTE, and unusable signatures.
#include "smf/time_signature_map.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quirelle::smf {
namespace {

struct Signature {
  std::uint32_t tick;
  std::vector<std::uint8_t> data;
};

struct BarCase {
  const char* name;
  std::uint16_t division;
  std::vector<Signature> signatures;
  std::vector<std::pair<std::uint32_t, std::optional<std::int32_t>>> bars;  // position, bar
  std::vector<std::pair<std::uint32_t, std::int32_t>> entries = {};         // tick, bar
  std::uint32_t pickup = 0;                                                 // beats given
};

const std::vector<std::uint8_t> k44 = {4, 2, 24, 8};
const std::vector<std::uint8_t> k34 = {3, 2, 24, 8};
const std::vector<std::uint8_t> k14 = {1, 2, 24, 8};

const BarCase kBarCases[] = {
    {"FourFour",
     480,
     {{0, k44}},
     {{0, 1}, {1919, 1}, {1920, 2}, {3839, 2}, {3840, 3}, {7680, 5}},
     {{0, 1}}},
    {"ThreeFour", 480, {{0, k34}}, {{0, 1}, {1439, 1}, {1440, 2}, {2880, 3}, {5760, 5}}, {{0, 1}}},
    {"SixEight", 480, {{0, {6, 3, 36, 8}}}, {{1439, 1}, {1440, 2}, {2880, 3}}, {{0, 1}}},
    {"ChangeAtABarLine",
     480,
     {{0, k44}, {7680, k34}},
     {{7679, 4}, {7680, 5}, {9119, 5}, {9120, 6}, {10560, 7}},
     {{0, 1}, {7680, 5}}},
    {"ChangeInsideABarStartsANewBar",
     480,
     {{0, k44}, {2400, k34}},
     {{2399, 2}, {2400, 3}, {3839, 3}, {3840, 4}, {5280, 5}},
     {{0, 1}, {2400, 3}}},
    {"OfTwoAtTickZeroTheLastHolds", 480, {{0, k44}, {0, k34}}, {{1439, 1}, {1440, 2}}, {{0, 1}}},
    {"FirstSignatureCountsFromTheStart", 480, {{1, k44}}, {{0, 1}, {1920, 2}}, {{0, 1}}},
    {"NoSignatureCountsAsFourFour", 480, {}, {{0, 1}, {1919, 1}, {1920, 2}, {3840, 3}}},
    {"DivisionZeroIsOneBar",
     0,
     {{0, k44}, {100, k34}},
     {{0, 1}, {50, 1}, {5000, 1}},
     {{0, 1}, {100, 1}}},
    {"SmpteDivisionHasNoBars",
     0xE728,
     {{0, k44}},
     {{0, std::nullopt}, {100000, std::nullopt}},
     {{0, 1}}},
    {"UnusableSignaturesAreIgnored",
     480,
     {{0, {4}}, {0, {0, 2, 24, 8}}, {0, {4, 31, 24, 8}}, {0, {}}, {0, k34}},
     {{2880, 3}},
     {{0, 1}}},
    {"PowerThirtyIsUsable", 480, {{0, {1, 30}}}, {{0, 1}}, {{0, 1}}},
    {"PickupWrittenAsOneFour",
     480,
     {{0, k14}, {480, k44}},
     {{0, 0}, {479, 0}, {480, 1}, {2399, 1}, {2400, 2}},
     {{0, 0}, {480, 1}}},
    {"PickupWrittenAsTwoFour",
     480,
     {{0, {2, 2}}, {960, k44}},
     {{959, 0}, {960, 1}, {2880, 2}},
     {{0, 0}, {960, 1}}},
    {"PickupWrittenAsThreeEightBeforeSixEight",
     480,
     {{0, {3, 3}}, {720, {6, 3}}},
     {{719, 0}, {720, 1}, {2159, 1}, {2160, 2}},
     {{0, 0}, {720, 1}}},
    {"PickupGiven", 480, {{0, k44}}, {{479, 0}, {480, 1}, {2400, 2}}, {{0, 0}, {480, 1}}, 1},
    {"PickupGivenGivesWayToAWrittenOne",
     480,
     {{0, {2, 2}}, {960, k44}},
     {{959, 0}, {960, 1}},
     {{0, 0}, {960, 1}},
     1},
    {"PickupGivenOfABarIsNone", 480, {{0, k34}}, {{0, 1}, {1440, 2}}, {{0, 1}}, 3},
    {"SplitBarThreePlusOne",
     480,
     {{0, k44}, {3840, k34}, {5280, k14}, {5760, k44}},
     {{3840, 3}, {5279, 3}, {5280, 3}, {5759, 3}, {5760, 4}, {7680, 5}},
     {{0, 1}, {3840, 3}, {5280, 3}, {5760, 4}}},
    {"SplitBarTwoPlusOne",
     480,
     {{0, k34}, {1440, {2, 2}}, {2400, k14}, {2880, k34}},
     {{1440, 2}, {2400, 2}, {2880, 3}, {4320, 4}},
     {{0, 1}, {1440, 2}, {2400, 2}, {2880, 3}}},
    {"SplitBarRightAfterAPickup",
     480,
     {{0, k14}, {480, k34}, {1920, k14}, {2400, k44}},
     {{0, 0}, {480, 1}, {1920, 1}, {2400, 2}, {4320, 3}},
     {{0, 0}, {480, 1}, {1920, 1}, {2400, 2}}},
    {"ShortLastBarStaysABar",
     480,
     {{0, k14}, {480, k44}, {4320, k34}},
     {{4319, 2}, {4320, 3}, {5759, 3}},
     {{0, 0}, {480, 1}, {4320, 3}}},
    {"MetreRestatedInsideABarDrawsNoBarLine",
     480,
     {{0, k44}, {7680, k44}},
     {{7679, 4}, {7680, 4}, {8159, 4}, {8160, 5}},
     {{0, 0}, {480, 1}},
     1},
    {"FarPositionsStopAtTheLargestBar",
     1,
     {{0, {1, 30}}, {0x7FFFFFF0, {4, 2}}},
     {{0x7FFFFFFF, 0x7FFFFFFF}, {0xFFFFFFFF, 0x7FFFFFFF}},
     {{0, 1}, {0x7FFFFFF0, 0x7FFFFFFF}}},
};

class BarTable : public ::testing::TestWithParam<BarCase> {};

TEST_P(BarTable, ShowsTheBarOfEachPosition) {
  const BarCase& c = GetParam();
  TimeSignatureMap map;
  for (const Signature& s : c.signatures) {
    map.AddTimeSignature(s.tick, s.data.data(), static_cast<std::uint32_t>(s.data.size()),
                         c.division);
  }
  if (c.pickup != 0) {
    map.SetPickup(c.pickup, c.division);
  }
  const std::int32_t firstBar = map.HasPickup() ? 0 : 1;
  ASSERT_EQ(map.entries().size(), c.entries.size());
  for (std::size_t i = 0; i < c.entries.size(); ++i) {
    EXPECT_EQ(map.entries()[i].tick, c.entries[i].first) << "entry " << i;
    EXPECT_EQ(map.entries()[i].bar, c.entries[i].second) << "entry " << i;
  }
  for (const auto& [position, bar] : c.bars) {
    EXPECT_EQ(map.GetBarNumber(position, c.division), bar) << "position " << position;
    if (!bar || *bar < firstBar || *bar == std::numeric_limits<std::int32_t>::max() ||
        c.division == 0) {
      continue;  // no bar, one bar for all, or every bar from where the count stopped
    }
    // The bar's first tick is where the count reaches it.
    const std::optional<std::uint32_t> start = map.BarStartTick(*bar, c.division);
    ASSERT_TRUE(start.has_value()) << "bar " << *bar;
    EXPECT_LE(*start, position);
    EXPECT_EQ(map.GetBarNumber(*start, c.division), bar);
    if (*start > 0) {
      EXPECT_NE(map.GetBarNumber(*start - 1, c.division), bar);
    }
  }
  EXPECT_FALSE(map.BarStartTick(firstBar - 1, c.division).has_value());
}

INSTANTIATE_TEST_SUITE_P(Metres, BarTable, ::testing::ValuesIn(kBarCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TimeSignatureMap, KeepsAllFourBytesAndCountsMissingOnesAsZero) {
  TimeSignatureMap map;
  const std::uint8_t full[] = {6, 3, 36, 8};
  const std::uint8_t three[] = {2, 2, 24};
  map.AddTimeSignature(0, full, 4, 480);
  map.AddTimeSignature(2880, three, 3, 480);
  ASSERT_EQ(map.entries().size(), 2u);
  EXPECT_EQ(map.entries()[0].clocksPerClick, 36u);
  EXPECT_EQ(map.entries()[0].thirtySecondsPerQuarter, 8u);
  EXPECT_EQ(map.entries()[1].clocksPerClick, 24u);
  EXPECT_EQ(map.entries()[1].thirtySecondsPerQuarter, 0u);
  EXPECT_EQ(map.entries()[1].bar, 3);
}

TEST(TimeSignatureMap, ClearEmptiesTheMap) {
  TimeSignatureMap map;
  map.AddTimeSignature(0, k34.data(), 4, 480);
  map.Clear();
  EXPECT_TRUE(map.entries().empty());
  map.AddTimeSignature(9999, k44.data(), 4, 480);
  EXPECT_EQ(map.entries()[0].tick, 0u) << "after a clear the next one is a first entry";
}

}  // namespace
}  // namespace quirelle::smf
