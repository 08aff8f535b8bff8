// Bar numbers from the time-signature map: the worked metres, changes, two signatures at one
// tick, the empty map, a division of 0 and signatures that cannot be used.
#include "smf/time_signature_map.h"

#include <gtest/gtest.h>

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
  std::vector<std::pair<std::uint32_t, std::int32_t>> bars;          // position, bar shown
  std::vector<std::pair<std::uint32_t, std::int32_t>> entries = {};  // tick, bar
};

const std::vector<std::uint8_t> k44 = {4, 2, 24, 8};
const std::vector<std::uint8_t> k34 = {3, 2, 24, 8};

const BarCase kBarCases[] = {
    {"FourFour",
     480,
     {{0, k44}},
     {{0, 0}, {1, 1}, {1920, 1}, {3839, 1}, {3840, 2}, {5760, 3}, {7680, 4}},
     {{1920, 1}}},
    {"ThreeFour",
     480,
     {{0, k34}},
     {{0, 0}, {480, 1}, {2879, 1}, {2880, 2}, {4320, 3}, {5760, 4}},
     {{1440, 1}}},
    {"FourFourThenThreeFour",
     480,
     {{0, k44}, {7680, k34}},
     {{7000, 3}, {7680, 4}, {9120, 5}, {10560, 6}},
     {{1920, 1}, {7680, 4}}},
    {"OnlySignatureLaterGivesTheSameMap", 480, {{3840, k44}}, {{0, 0}, {3840, 2}}, {{1920, 1}}},
    {"PositionAtTheSecondEntryShowsItsBar",
     480,
     {{0, k44}, {5760, k34}},
     {{5760, 3}, {5761, 3}, {7200, 4}},
     {{1920, 1}, {5760, 3}}},
    {"TwoSignaturesAtTickZeroStayInEventOrder",
     480,
     {{0, k44}, {0, k34}},
     {{1000, 1}, {1920, 1}, {1921, 1}, {2880, 2}},
     {{1920, 1}, {0, 0}}},
    {"SixEight", 96 * 5, {{0, {6, 3, 36, 8}}}, {{2880, 2}, {1440, 1}}, {{1440, 1}}},
    {"EmptyMapCountsAsFourFourFromTheStart",
     480,
     {},
     {{0, 0}, {1, 1}, {3839, 1}, {3840, 2}, {7680, 4}}},
    {"DivisionZeroShowsTheEntrysBar",
     0,
     {{0, k44}, {100, k34}},
     {{0, 1}, {50, 1}, {5000, 1}},
     {{0, 1}, {100, 1}}},
    {"DivisionZeroWithEmptyMap", 0, {}, {{0, 1}, {123456, 1}}},
    {"UnusableSignaturesAreIgnored",
     480,
     {{0, {4}}, {0, {0, 2, 24, 8}}, {0, {4, 31, 24, 8}}, {0, {}}, {0, k34}},
     {{2880, 2}},
     {{1440, 1}}},
    {"PowerThirtyIsUsable", 480, {{0, {1, 30}}}, {{0, 1}}, {{0, 1}}},
    {"FarPositionsDoNotOverflow",
     1,
     {{0, {1, 30}}},
     {{0x7FFFFFFF, static_cast<std::int32_t>(
                       1u + static_cast<std::uint32_t>((std::int64_t{0x7FFFFFFF} << 30) / 4))},
      {0x80000000, static_cast<std::int32_t>(1u + static_cast<std::uint32_t>(
                                                      (std::int64_t{-0x7FFFFFFF - 1} << 30) / 4))}},
     {{0, 1}}},
};

class BarTable : public ::testing::TestWithParam<BarCase> {};

TEST_P(BarTable, ShowsTheBarOfEachPosition) {
  const BarCase& c = GetParam();
  TimeSignatureMap map;
  for (const Signature& s : c.signatures) {
    map.AddTimeSignature(s.tick, s.data.data(), static_cast<std::uint32_t>(s.data.size()),
                         c.division);
  }
  ASSERT_EQ(map.entries().size(), c.entries.size());
  for (std::size_t i = 0; i < c.entries.size(); ++i) {
    EXPECT_EQ(map.entries()[i].tick, c.entries[i].first) << "entry " << i;
    EXPECT_EQ(map.entries()[i].bar, c.entries[i].second) << "entry " << i;
  }
  for (const auto& [position, bar] : c.bars) {
    EXPECT_EQ(map.GetBarNumber(position, c.division), bar) << "position " << position;
  }
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
  EXPECT_EQ(map.entries()[1].bar, 2);
}

TEST(TimeSignatureMap, ClearEmptiesTheMap) {
  TimeSignatureMap map;
  map.AddTimeSignature(0, k34.data(), 4, 480);
  map.Clear();
  EXPECT_TRUE(map.entries().empty());
  map.AddTimeSignature(9999, k44.data(), 4, 480);
  EXPECT_EQ(map.entries()[0].tick, 1920u) << "after a clear the next one is a first entry";
}

}  // namespace
}  // namespace quirelle::smf
