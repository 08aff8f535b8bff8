// The cutting of audio blocks at grid points and the limits asked of the event source.
#include "player/stream/synth/synth_block_scheduler.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

#include "tests/stream/synth_fakes.h"

namespace quirelle::stream::testing {
namespace {

struct Pull {
  std::uint64_t position = 0;  // frames rendered when the source was asked
  std::uint64_t limit = 0;
};

class RecordingSource final : public SynthEventSource {
 public:
  explicit RecordingSource(const RecordingRenderer& renderer) : renderer_(renderer) {}
  void PlayBefore(std::uint64_t limit) override { pulls.push_back({renderer_.position(), limit}); }
  std::vector<Pull> pulls;

 private:
  const RecordingRenderer& renderer_;
};

struct GridCase {
  std::uint32_t quantum;
  std::vector<std::uint32_t> blocks;  // frames asked of each Render call
};

class SchedulerGrid : public ::testing::TestWithParam<GridCase> {};

TEST_P(SchedulerGrid, AsksAtEachGridPointForHalfAQuantumAheadAndNeverCrossesOne) {
  const GridCase& param = GetParam();
  RecordingRenderer renderer(param.quantum);
  SynthBlockScheduler scheduler(renderer);
  RecordingSource source(renderer);
  std::vector<float> left(1024), right(1024);
  std::uint64_t total = 0;
  for (std::uint32_t frames : param.blocks) {
    scheduler.Render(left.data(), right.data(), frames, source);
    total += frames;
    EXPECT_EQ(scheduler.Position(), total);
  }
  EXPECT_EQ(renderer.position(), total);
  EXPECT_FALSE(renderer.crossedGridPoint());
  // One pull at every grid point reached, none elsewhere, whatever the block lengths.
  ASSERT_EQ(source.pulls.size(), (total + param.quantum - 1) / param.quantum);
  for (std::size_t i = 0; i < source.pulls.size(); ++i) {
    const std::uint64_t gridPoint = i * param.quantum;
    EXPECT_EQ(source.pulls[i].position, gridPoint);
    EXPECT_EQ(source.pulls[i].limit, gridPoint + (param.quantum + 1) / 2);
  }
}

INSTANTIATE_TEST_SUITE_P(Blocks, SchedulerGrid,
                         ::testing::Values(GridCase{64, {256, 256, 256}},
                                           GridCase{64, {100, 1, 27, 300, 64}},
                                           GridCase{64, {63, 1, 63, 2}}, GridCase{1, {5, 3}},
                                           GridCase{48, {256, 200}}, GridCase{256, {1000, 24}}));

// A source that knows its next event: the scheduler asks again only at that event's grid point.
class KnowingSource final : public SynthEventSource {
 public:
  KnowingSource(const RecordingRenderer& renderer, std::vector<std::uint64_t> events)
      : renderer_(renderer), events_(std::move(events)) {}
  void PlayBefore(std::uint64_t limit) override {
    asks.push_back(renderer_.position());
    while (!events_.empty() && events_.front() < limit) {
      played.push_back({renderer_.position(), events_.front()});
      events_.erase(events_.begin());
    }
  }
  std::optional<std::uint64_t> NextEventSample() override {
    if (events_.empty()) {
      return std::nullopt;
    }
    return events_.front();
  }
  std::vector<std::uint64_t> asks;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> played;  // (grid point, event sample)

 private:
  const RecordingRenderer& renderer_;
  std::vector<std::uint64_t> events_;
};

TEST(SynthBlockScheduler, AKnownDistantEventIsWaitedForInOnePieceAndStillLandsOnItsGridPoint) {
  RecordingRenderer renderer(64);
  SynthBlockScheduler scheduler(renderer);
  // 95 is nearer 64 than 128; 96 is halfway and goes up; 700 is nearest 704; 1000 nearest 1024.
  KnowingSource source(renderer, {95, 96, 700, 1000});
  std::vector<float> left(256), right(256);
  for (int block = 0; block < 5; ++block) {
    scheduler.Render(left.data(), right.data(), 256, source);
  }
  const std::vector<std::pair<std::uint64_t, std::uint64_t>> expected = {
      {64, 95}, {128, 96}, {704, 700}, {1024, 1000}};
  EXPECT_EQ(source.played, expected);
  // Asked at each block start and where an event was near, not at every grid point; once nothing
  // is known to come, at every grid point again.
  const std::vector<std::uint64_t> asks = {0, 64, 128, 256, 512, 704, 768, 1024, 1088, 1152, 1216};
  EXPECT_EQ(source.asks, asks);
  EXPECT_EQ(renderer.position(), 1280u);
}

struct NextAskCase {
  std::uint32_t quantum;
  std::uint64_t gridPoint;
  std::optional<std::uint64_t> nextEvent;
  std::uint64_t expected;
};

class NextAsk : public ::testing::TestWithParam<NextAskCase> {};

TEST_P(NextAsk, IsTheFirstGridPointThatCouldGiveTheEvent) {
  const NextAskCase& param = GetParam();
  RecordingRenderer renderer(param.quantum);
  SynthBlockScheduler scheduler(renderer);
  EXPECT_EQ(scheduler.NextAsk(param.gridPoint, param.nextEvent), param.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, NextAsk,
                         ::testing::Values(NextAskCase{64, 0, std::nullopt, 64},
                                           NextAskCase{64, 0, 10, 64},   // never the same point
                                           NextAskCase{64, 0, 96, 64},   // 96 - 32 = 64
                                           NextAskCase{64, 0, 97, 128},  // 65 rounds up to 128
                                           NextAskCase{64, 128, 1000, 1024},
                                           NextAskCase{1, 5, 9, 8},  // ceil 9: 8.5 is given at 8
                                           NextAskCase{1, 5, 5, 6}));

TEST(SynthBlockScheduler, ZeroFramesRenderNothingAndAskNothing) {
  RecordingRenderer renderer(64);
  SynthBlockScheduler scheduler(renderer);
  RecordingSource source(renderer);
  float left[1], right[1];
  scheduler.Render(left, right, 0, source);
  EXPECT_EQ(scheduler.Position(), 0u);
  EXPECT_TRUE(source.pulls.empty());
}

TEST(SynthBlockScheduler, FillsTheWholeBlockInOrder) {
  RecordingRenderer renderer(64);
  SynthBlockScheduler scheduler(renderer);
  RecordingSource source(renderer);
  std::vector<float> left(300, 0.0f), right(300, 0.0f);
  scheduler.Render(left.data(), right.data(), 300, source);
  for (std::size_t i = 0; i < left.size(); ++i) {
    ASSERT_EQ(left[i], 0.25f) << i;
    ASSERT_EQ(right[i], -0.25f) << i;
  }
}

}  // namespace
}  // namespace quirelle::stream::testing
