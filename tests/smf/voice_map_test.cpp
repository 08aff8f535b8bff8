// Which (track, channel) pairs are voices and where each track's channel messages play, for the
// layouts that notation programs and other files write. Expectations worked by hand.
#include "smf/voice_map.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace quirelle::smf {
namespace {

constexpr std::uint8_t kOut = VoiceMap::kLeftOut;

constexpr std::uint16_t Ch(std::initializer_list<int> channels) {  // 1-based, as a score says
  std::uint16_t bits = 0;
  for (const int channel : channels) {
    bits = static_cast<std::uint16_t>(bits | 1u << (channel - 1));
  }
  return bits;
}

struct Routed {
  std::uint32_t track;
  std::uint8_t channel;  // 1-based as written
  std::uint8_t playsOn;  // 1-based, or kOut
};

struct VoiceCase {
  const char* name;
  std::vector<std::uint16_t> noteChannels;  // per track
  bool asWritten;
  std::vector<std::tuple<std::uint32_t, int, int>> voices;  // track, channel, played on (1-based)
  std::vector<Routed> routes = {};
  std::vector<int> rows = {1, 2, 3, 4};  // the channels the singer controls, 1-based
};

const VoiceCase kVoiceCases[] = {
    {"MuseScoreVoiceKOnChannelK",
     {0, Ch({1}), Ch({2}), Ch({3}), Ch({4})},
     true,
     {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}},
     {{0, 1, 1}, {3, 7, 7}}},
    {"MuseScoreFiveParts",
     {0, Ch({1}), Ch({2}), Ch({3}), Ch({4}), Ch({5})},
     true,
     {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}, {5, 5, 5}},
     {{5, 5, 5}},
     {1, 2, 3, 4, 5}},
    {"Music21FivePartsOnChannelOne",
     {0, Ch({1}), Ch({1}), Ch({1}), Ch({1}), Ch({1})},
     false,
     {{1, 1, 1}, {2, 1, 2}, {3, 1, 3}, {4, 1, 4}, {5, 1, 5}},
     {{5, 1, 5}, {0, 5, kOut}},
     {1, 2, 3, 4, 5}},
    {"ChoirSoloAndPianoStavesSharingAChannel",
     {0, Ch({1}), Ch({2}), Ch({3}), Ch({4}), Ch({5}), Ch({6}), Ch({6})},
     true,
     {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}, {5, 5, 5}, {6, 6, 6}, {7, 6, 6}},
     {{7, 6, 6}},
     {1, 2, 3, 4, 5, 6}},
    {"LilyPondChoirSoloAndPianoPastALyricsTrack",
     {0, 0, Ch({2}), Ch({3}), Ch({4}), Ch({5}), Ch({6}), Ch({7}), Ch({7})},
     false,
     {{2, 2, 1}, {3, 3, 2}, {4, 4, 3}, {5, 5, 4}, {6, 6, 6}, {7, 7, 7}, {8, 7, 7}},
     {{6, 6, 6}, {8, 7, 7}},
     {1, 2, 3, 4, 6, 7}},
    {"Music21FourTracksOnChannelOne",
     {0, Ch({1}), Ch({1}), Ch({1}), Ch({1})},
     false,
     {{1, 1, 1}, {2, 1, 2}, {3, 1, 3}, {4, 1, 4}},
     // The conductor's controllers go with the first voice; channels 2-4 now hold voices, so
     // what a track sends there would change them: left out.
     {{0, 1, 1},
      {1, 1, 1},
      {2, 1, 2},
      {3, 1, 3},
      {4, 1, 4},
      {2, 2, kOut},
      {0, 4, kOut},
      {4, 5, 5}}},
    {"LilyPondStavesPastALyricsTrack",
     {0, Ch({1}), 0, Ch({3}), Ch({4}), Ch({5})},
     false,
     {{1, 1, 1}, {3, 3, 2}, {4, 4, 3}, {5, 5, 4}},
     {{3, 3, 2}, {5, 5, 4}, {2, 3, 2}, {0, 2, kOut}, {0, 6, 6}}},
    {"OneTrackHoldingTwoVoices",
     {Ch({1, 2}), Ch({1})},
     false,
     {{0, 1, 1}, {0, 2, 2}, {1, 1, 3}},
     {{0, 2, 2}, {1, 1, 3}, {1, 2, 2}}},
    {"FifthPartOnChannelTwoOfItsOwnTrack",
     {Ch({1}), Ch({2}), Ch({3}), Ch({4}), Ch({2})},
     false,
     {{0, 1, 1}, {1, 2, 2}, {2, 3, 3}, {3, 4, 4}, {4, 2, 5}},
     {{4, 2, 5}, {1, 2, 2}, {0, 2, 2}},
     {1, 2, 3, 4, 5}},
    {"DrumsOnTenAreNoVoice",
     {Ch({1, 10}), Ch({1}), Ch({10})},
     false,
     {{0, 1, 1}, {1, 1, 2}},
     {{0, 10, 10}, {2, 10, 10}, {1, 1, 2}}},
    {"FewerPartsOnChannelsOneToFourStayAsWritten",
     {Ch({1}), Ch({2, 10})},
     true,
     {{0, 1, 1}, {1, 2, 2}}},
    {"NoFreeChannelMovesNothing",
     {Ch({1}), Ch({1}), Ch({2}), Ch({3}), Ch({4}), Ch({5}), Ch({6}), Ch({7}), Ch({8}), Ch({9}),
      Ch({11}), Ch({12}), Ch({13}), Ch({14}), Ch({15}), Ch({16}), Ch({2})},
     true,
     {{0, 1, 1},
      {1, 1, 1},
      {2, 2, 2},
      {3, 3, 3},
      {4, 4, 4},
      {5, 5, 5},
      {6, 6, 6},
      {7, 7, 7},
      {8, 8, 8},
      {9, 9, 9},
      {10, 11, 11},
      {11, 12, 12},
      {12, 13, 13},
      {13, 14, 14},
      {14, 15, 15},
      {15, 16, 16},
      {16, 2, 2}},
     {{1, 1, 1}},
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16}},
};

class VoiceTable : public ::testing::TestWithParam<VoiceCase> {};

TEST_P(VoiceTable, FindsTheVoicesAndRoutesEveryChannelMessage) {
  const VoiceCase& c = GetParam();
  VoiceMap map;
  map.Make(c.noteChannels);
  EXPECT_EQ(map.asWritten(), c.asWritten);
  std::vector<std::tuple<std::uint32_t, int, int>> voices;
  for (const Voice& voice : map.voices()) {
    voices.emplace_back(voice.track, voice.channel + 1, voice.playedOn + 1);
  }
  EXPECT_EQ(voices, c.voices);
  std::vector<int> rows;
  for (const std::uint8_t channel : map.voiceChannels()) {
    rows.push_back(channel + 1);
  }
  EXPECT_EQ(rows, c.rows);
  for (const Routed& route : c.routes) {
    const std::uint8_t on =
        map.ChannelFor(route.track, static_cast<std::uint8_t>(route.channel - 1));
    EXPECT_EQ(on == kOut ? kOut : on + 1, route.playsOn)
        << "track " << route.track << " channel " << int{route.channel};
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, VoiceTable, ::testing::ValuesIn(kVoiceCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quirelle::smf
