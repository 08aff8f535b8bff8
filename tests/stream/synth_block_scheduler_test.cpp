// The cutting of audio blocks at grid points and the limits asked of the event source.
#include "player/stream/synth_block_scheduler.h"

#include <gtest/gtest.h>

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
