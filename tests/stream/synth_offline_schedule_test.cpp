// Offline rendering through the stream core with a recording renderer: where each event takes
// effect, refills that never run dry, the release tail, and what a close renders.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <vector>

#include "player/stream/stream_core.h"
#include "player/stream/synth/synth_block_scheduler.h"
#include "player/stream/synth/synth_driver.h"
#include "player/stream/synth/synth_offline_device.h"
#include "tests/stream/synth_fakes.h"
#include "tests/stream/synth_song_feeder.h"

namespace quirelle::stream::testing {
namespace {

class FakeOfflineDriver final : public StreamDriver {
 public:
  FakeOfflineDriver(std::uint32_t quantum, std::uint32_t sampleRate,
                    HeldPanChannels centredPan = {})
      : renderer(quantum),
        context(std::make_shared<OfflineRenderContext>(renderer, sink, sampleRate, nullptr,
                                                       centredPan)) {}

  MMRESULT midiStreamOpen(HMIDISTRM* stream, std::uint32_t* deviceId, std::uint32_t cMidi,
                          MidiStreamCallback callback, std::uintptr_t instance,
                          std::uint32_t flags) override {
    if (const MMRESULT bad = CheckOpenArguments(stream, deviceId, cMidi, callback, flags)) {
      return bad;
    }
    if (!context->MarkOpen()) {
      return MMSYSERR_ALLOCATED;
    }
    keeper.Open(std::make_unique<OfflineSynthDevice>(context), callback, instance, stream);
    return MMSYSERR_NOERROR;
  }
  std::string LastErrorText() const override { return {}; }

  RecordingRenderer renderer;
  CountingSink sink;
  std::shared_ptr<OfflineRenderContext> context;
  StreamKeeper keeper;
};

// Notes on channel 0 at uneven ticks, a tempo change in the middle, and a last note-off.
std::vector<SongEvent> UnevenSong() {
  std::vector<SongEvent> song;
  const std::uint32_t ticks[] = {0, 1, 7, 50, 96, 97, 250, 333, 480, 481, 700, 1001, 1500};
  for (std::uint32_t i = 0; i < std::size(ticks); ++i) {
    song.push_back({ticks[i], ShortWord(0x90, 40 + i, 100)});
  }
  song.push_back({600, TempoWord(312500)});
  song.push_back({1900, ShortWord(0x80, 40, 0)});
  return song;
}

struct PlacementCase {
  std::uint32_t quantum;
  std::uint32_t sampleRate;
  std::uint32_t division;
  std::size_t eventsPerBuffer;
};

void PrintTo(const PlacementCase& value, std::ostream* out) {
  *out << "quantum " << value.quantum << ", " << value.sampleRate << " Hz, division "
       << value.division << ", " << value.eventsPerBuffer << " events a buffer";
}

class OfflinePlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(OfflinePlacement, EachEventTakesEffectAtTheGridPointNearestItsExactSample) {
  const PlacementCase& param = GetParam();
  const std::vector<SongEvent> song = UnevenSong();
  FakeOfflineDriver driver(param.quantum, param.sampleRate);
  SongFeeder feeder(ToStreamEvents(song), param.division, param.eventsPerBuffer);
  ASSERT_EQ(feeder.Open(driver), MMSYSERR_NOERROR);
  ASSERT_EQ(feeder.Play(), MMSYSERR_NOERROR);
  ASSERT_TRUE(feeder.WaitUntilClosed());

  std::vector<AppliedMessage> notes;
  for (const AppliedMessage& applied : driver.renderer.Applied()) {
    if ((applied.message & 0xE0) == 0x80) {  // note-on or note-off
      notes.push_back(applied);
    }
  }
  std::vector<SongEvent> expected;
  for (const SongEvent& event : song) {
    if (MevtEventType(event.word) == MEVT_SHORTMSG) {
      expected.push_back(event);
    }
  }
  std::stable_sort(expected.begin(), expected.end(),
                   [](const SongEvent& a, const SongEvent& b) { return a.tick < b.tick; });
  ASSERT_EQ(notes.size(), expected.size());
  for (std::size_t i = 0; i < notes.size(); ++i) {
    const ExactSamples exact =
        SampleOfTick(song, param.division, param.sampleRate, expected[i].tick);
    EXPECT_EQ(notes[i].message, expected[i].word) << i;
    EXPECT_EQ(notes[i].sample, NearestGridPoint(exact, param.quantum))
        << "tick " << expected[i].tick;
  }
  const std::size_t events = song.size();
  EXPECT_EQ(feeder.buffersQueued(), (events + param.eventsPerBuffer - 1) / param.eventsPerBuffer);
}

INSTANTIATE_TEST_SUITE_P(
    Grids, OfflinePlacement,
    ::testing::Values(PlacementCase{64, 44100, 96, 85}, PlacementCase{64, 44100, 96, 1},
                      PlacementCase{64, 48000, 480, 3}, PlacementCase{1, 44100, 96, 2},
                      PlacementCase{1, 22050, 7, 4}, PlacementCase{100, 32000, 96, 5}));

TEST(OfflineSchedule, BufferSizesDoNotMoveAnyEvent) {
  const std::vector<SongEvent> song = UnevenSong();
  std::vector<std::vector<AppliedMessage>> runs;
  for (const std::size_t perBuffer : {std::size_t{1}, std::size_t{2}, std::size_t{85}}) {
    FakeOfflineDriver driver(64, 44100);
    SongFeeder feeder(ToStreamEvents(song), 96, perBuffer);
    ASSERT_EQ(feeder.Open(driver), MMSYSERR_NOERROR);
    ASSERT_EQ(feeder.Play(), MMSYSERR_NOERROR);
    ASSERT_TRUE(feeder.WaitUntilClosed());
    runs.push_back(driver.renderer.Applied());
  }
  for (std::size_t run = 1; run < runs.size(); ++run) {
    ASSERT_EQ(runs[run].size(), runs[0].size());
    for (std::size_t i = 0; i < runs[0].size(); ++i) {
      EXPECT_EQ(runs[run][i].sample, runs[0][i].sample);
      EXPECT_EQ(runs[run][i].message, runs[0][i].message);
    }
  }
}

TEST(OfflineSchedule, TheResetAtTheEndLandsWithTheLastEventAndTheTailFollows) {
  const std::vector<SongEvent> song = UnevenSong();
  constexpr std::uint32_t kRate = 44100;
  FakeOfflineDriver driver(64, kRate);
  SongFeeder feeder(ToStreamEvents(song), 96, 4);
  ASSERT_EQ(feeder.Open(driver), MMSYSERR_NOERROR);
  ASSERT_EQ(feeder.Play(), MMSYSERR_NOERROR);
  ASSERT_TRUE(feeder.WaitUntilClosed());
  driver.context->WaitUntilClosed();

  const std::uint64_t last = NearestGridPoint(SampleOfTick(song, 96, kRate, 1900), 64);
  const std::vector<AppliedMessage> applied = driver.renderer.Applied();
  ASSERT_FALSE(applied.empty());
  // The silence of the reset: all notes off on every channel, at the last event's sample.
  std::size_t silence = 0;
  for (const AppliedMessage& message : applied) {
    if ((message.message & 0xFFF0) == (0x7BB0 & 0xFFF0)) {
      EXPECT_EQ(message.sample, last);
      ++silence;
    }
  }
  EXPECT_EQ(silence, 16u);
  // The block holding the last event, then a tail of at most one second in whole blocks; the
  // recording renderer never falls silent, so the tail is the longest.
  constexpr std::uint64_t kBlock = SynthBlockScheduler::kBlockFrames;
  const std::uint64_t songFrames = (last / kBlock + 1) * kBlock;
  const std::uint64_t tailFrames = (kRate * kReleaseTailSeconds + kBlock - 1) / kBlock * kBlock;
  EXPECT_EQ(driver.sink.frames(), songFrames + tailFrames);
  EXPECT_EQ(driver.context->FramesWritten(), songFrames + tailFrames);
  EXPECT_FALSE(driver.sink.wrongSamples());
}

TEST(OfflineSchedule, NothingIsRenderedBeforeTheRestartOrForAStreamNeverPlayed) {
  FakeOfflineDriver driver(64, 44100);
  {
    SongFeeder feeder(ToStreamEvents(UnevenSong()), 96);
    ASSERT_EQ(feeder.Open(driver), MMSYSERR_NOERROR);
    EXPECT_EQ(driver.renderer.position(), 0u);
  }  // stopped and closed unplayed
  driver.context->WaitUntilClosed();
  EXPECT_EQ(driver.sink.frames(), 0u);
  EXPECT_TRUE(driver.renderer.Applied().size() >= 16u);  // the silence of stop and reset only
  for (const AppliedMessage& message : driver.renderer.Applied()) {
    EXPECT_EQ(message.sample, 0u);
    EXPECT_EQ(message.message & 0xF0, 0xB0u);
  }
}

TEST(OfflineSchedule, OneStreamAtATimeAndTheNextContinuesTheFile) {
  FakeOfflineDriver driver(64, 44100);
  std::vector<SongEvent> song = {{0, ShortWord(0x90, 60, 100)}, {96, ShortWord(0x80, 60, 0)}};
  std::uint64_t firstEnd = 0;
  {
    SongFeeder first(ToStreamEvents(song), 96);
    SongFeeder second(ToStreamEvents(song), 96);
    ASSERT_EQ(first.Open(driver), MMSYSERR_NOERROR);
    EXPECT_EQ(second.Open(driver), MMSYSERR_ALLOCATED);
    ASSERT_EQ(first.Play(), MMSYSERR_NOERROR);
    ASSERT_TRUE(first.WaitUntilClosed());
    driver.context->WaitUntilClosed();
    firstEnd = driver.sink.frames();
  }
  SongFeeder third(ToStreamEvents(song), 96);
  ASSERT_EQ(third.Open(driver), MMSYSERR_NOERROR);
  ASSERT_EQ(third.Play(), MMSYSERR_NOERROR);
  ASSERT_TRUE(third.WaitUntilClosed());
  driver.context->WaitUntilClosed();
  // The second song's note-on comes right where the first song's tail ended.
  std::vector<std::uint64_t> noteOns;
  for (const AppliedMessage& message : driver.renderer.Applied()) {
    if ((message.message & 0xF0) == 0x90) {
      noteOns.push_back(message.sample);
    }
  }
  ASSERT_EQ(noteOns.size(), 2u);
  EXPECT_EQ(noteOns[0], 0u);
  EXPECT_EQ(noteOns[1], firstEnd);
}

TEST(OfflineSchedule, AFailingSinkStillPlaysTheStreamToItsEnd) {
  FakeOfflineDriver driver(64, 44100);
  driver.sink.Fail();
  SongFeeder feeder(ToStreamEvents(UnevenSong()), 96, 2);
  ASSERT_EQ(feeder.Open(driver), MMSYSERR_NOERROR);
  ASSERT_EQ(feeder.Play(), MMSYSERR_NOERROR);
  ASSERT_TRUE(feeder.WaitUntilClosed());
  driver.context->WaitUntilClosed();
  EXPECT_TRUE(driver.context->WriteFailed());
  EXPECT_EQ(driver.sink.frames(), SynthBlockScheduler::kBlockFrames);  // only the first try
}

TEST(OfflineSchedule, AHeldChannelIsCentredAtOpenAndEveryPanItIsSentPlaysAsTheCentre) {
  HeldPanChannels held;
  held.set(2);
  FakeOfflineDriver driver(64, 44100, held);
  // Coarse and fine pan on the held channel (once with the top bit of the controller number
  // set, which the synthesizer ignores), and the same on a channel that is not held.
  const std::vector<SongEvent> song = {
      {0, ShortWord(0xB2, 10, 0)},      {0, ShortWord(0xB2, 42, 99)},
      {0, ShortWord(0xB1, 10, 0)},      {0, ShortWord(0xB1, 42, 99)},
      {0, ShortWord(0xB2, 7, 90)},      {0, ShortWord(0x92, 10, 100)},
      {96, ShortWord(0xB2, 0x8A, 127)}, {96, ShortWord(0xB1, 10, 127)},
      {192, ShortWord(0x82, 10, 0)}};
  SongFeeder feeder(ToStreamEvents(song), 96, 3);
  ASSERT_EQ(feeder.Open(driver), MMSYSERR_NOERROR);
  ASSERT_EQ(feeder.Play(), MMSYSERR_NOERROR);
  ASSERT_TRUE(feeder.WaitUntilClosed());
  driver.context->WaitUntilClosed();

  std::vector<std::uint32_t> applied;  // up to the song's last note-off: then the close's silence
  for (const AppliedMessage& message : driver.renderer.Applied()) {
    applied.push_back(message.message & 0xFFFFFF);
    if (applied.back() == 0x000A82) {
      break;
    }
  }
  // The centre at open; then the held channel's pans as the centre, the other channel's as sent.
  const std::vector<std::uint32_t> expected = {0x400AB2, 0x002AB2, 0x400AB2, 0x002AB2,
                                               0x000AB1, 0x632AB1, 0x5A07B2, 0x640A92,
                                               0x400AB2, 0x7F0AB1, 0x000A82};
  EXPECT_EQ(applied, expected);
}

}  // namespace
}  // namespace quirelle::stream::testing
