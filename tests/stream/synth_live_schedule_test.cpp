// The live synthesizer device through the stream core with a recording renderer, the test's thread
// playing the audio thread: events land on their grid points, callbacks come on the callback
// thread, and a callback that takes its time never holds up the audio.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "player/stream/stream_core.h"
#include "player/stream/synth/fluid_audio.h"
#include "player/stream/synth/synth_live_device.h"
#include "tests/stream/synth_fakes.h"
#include "tests/stream/synth_song_feeder.h"

namespace quirelle::stream::testing {
namespace {

constexpr std::uint32_t kRate = 48000;
constexpr std::uint32_t kDivision = 96;

class LiveRig : public ::testing::Test {
 protected:
  LiveRig() : renderer(64) {}
  ~LiveRig() override {
    if (stream != nullptr) {
      midiStreamStop(stream);
      midiStreamClose(stream);
    }
  }

  static void Callback(HMIDISTRM, std::uint32_t message, std::uintptr_t instance, std::uintptr_t,
                       std::uintptr_t) {
    auto* rig = reinterpret_cast<LiveRig*>(instance);
    std::unique_lock lock(rig->mutex);
    rig->callbackThreads.push_back(std::this_thread::get_id());
    if (message == MOM_DONE) {
      ++rig->done;
      rig->changed.notify_all();
      rig->changed.wait(lock, [rig] { return !rig->holdCallbacks; });
    }
  }

  void Open(const std::vector<SongEvent>& song) {
    auto owned = std::make_unique<LiveSynthDevice>(renderer, kRate);
    device = owned.get();
    stream = nullptr;
    keeper.Open(std::move(owned), &Callback, reinterpret_cast<std::uintptr_t>(this), &stream);
    MIDIPROPTIMEDIV property{sizeof(MIDIPROPTIMEDIV), kDivision};
    ASSERT_EQ(midiStreamProperty(stream, reinterpret_cast<std::uint8_t*>(&property),
                                 MIDIPROP_SET | MIDIPROP_TIMEDIV),
              MMSYSERR_NOERROR);
    const std::vector<MIDIEVENT> events = ToStreamEvents(song);
    bytes.assign(reinterpret_cast<const std::uint8_t*>(events.data()),
                 reinterpret_cast<const std::uint8_t*>(events.data() + events.size()));
    header.lpData = bytes.data();
    header.dwBufferLength = static_cast<std::uint32_t>(bytes.size());
    header.dwBytesRecorded = header.dwBufferLength;
    ASSERT_EQ(midiOutPrepareHeader(stream, &header, sizeof(MIDIHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamOut(stream, &header, sizeof(MIDIHDR)), MMSYSERR_NOERROR);
  }

  void RenderBlocks(int count) {
    std::vector<float> left(256), right(256);
    for (int i = 0; i < count; ++i) {
      device->RenderAudio(left.data(), right.data(), 256);
    }
  }

  RecordingRenderer renderer;
  StreamKeeper keeper;
  LiveSynthDevice* device = nullptr;  // owned by the stream's core
  HMIDISTRM stream = nullptr;
  std::vector<std::uint8_t> bytes;
  MIDIHDR header;

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::thread::id> callbackThreads;
  int done = 0;
  bool holdCallbacks = false;
};

TEST_F(LiveRig, EventsTakeEffectAtTheGridPointNearestTheirExactSample) {
  const std::vector<SongEvent> song = {{0, ShortWord(0x90, 60, 100)},
                                       {5, ShortWord(0x90, 62, 100)},
                                       {48, TempoWord(350000)},
                                       {97, ShortWord(0x80, 60, 0)},
                                       {250, ShortWord(0x80, 62, 0)}};
  Open(song);
  RenderBlocks(3);  // silence before the restart
  const std::uint64_t start = renderer.position();
  ASSERT_EQ(midiStreamRestart(stream), MMSYSERR_NOERROR);
  RenderBlocks(200);  // past the last event, a second in
  std::vector<AppliedMessage> notes;
  for (const AppliedMessage& applied : renderer.Applied()) {
    if ((applied.message & 0xE0) == 0x80) {
      notes.push_back(applied);
    }
  }
  const std::uint32_t ticks[] = {0, 5, 97, 250};
  ASSERT_EQ(notes.size(), std::size(ticks));
  for (std::size_t i = 0; i < notes.size(); ++i) {
    EXPECT_EQ(notes[i].sample,
              start + NearestGridPoint(SampleOfTick(song, kDivision, kRate, ticks[i]), 64))
        << "tick " << ticks[i];
  }
  EXPECT_FALSE(renderer.crossedGridPoint());  // live, it asks at every grid point
}

TEST_F(LiveRig, CallbacksComeOnTheCallbackThreadAndASlowOneNeverHoldsUpTheAudio) {
  Open({{0, ShortWord(0x90, 60, 100)}, {10, ShortWord(0x80, 60, 0)}});
  {
    std::lock_guard lock(mutex);
    holdCallbacks = true;
  }
  ASSERT_EQ(midiStreamRestart(stream), MMSYSERR_NOERROR);
  RenderBlocks(20);  // the buffer ends in the first blocks; its MOM_DONE is delivered and held
  {
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return done == 1; });
  }
  const std::uint64_t before = renderer.position();
  RenderBlocks(50);  // while the callback still waits
  EXPECT_EQ(renderer.position(), before + 50 * 256);
  {
    std::lock_guard lock(mutex);
    holdCallbacks = false;
  }
  changed.notify_all();
  midiStreamStop(stream);
  midiStreamClose(stream);
  stream = nullptr;
  std::lock_guard lock(mutex);
  ASSERT_GE(callbackThreads.size(), 3u);  // open, done, close
  for (const std::thread::id thread : callbackThreads) {
    EXPECT_NE(thread, std::this_thread::get_id());
  }
}

TEST_F(LiveRig, AfterTheCloseTheAudioGoesOnWithoutTheStreamAndTheStopFadesFirst) {
  Open({{0, ShortWord(0x90, 60, 100)}, {2000, ShortWord(0x80, 60, 0)}});
  ASSERT_EQ(midiStreamRestart(stream), MMSYSERR_NOERROR);
  RenderBlocks(2);
  const std::uint64_t start = renderer.position();
  ASSERT_EQ(midiStreamStop(stream), MMSYSERR_NOERROR);
  ASSERT_EQ(midiStreamClose(stream), MMSYSERR_NOERROR);
  stream = nullptr;
  const std::size_t applied = renderer.Applied().size();
  RenderBlocks(10);  // an audio block that was already under way when the stream closed
  // Only the stop's silence comes after, once its fade has played: nothing of the stream.
  const std::vector<AppliedMessage> after = renderer.Applied();
  ASSERT_EQ(after.size(), applied + 16 * 4);
  for (std::size_t i = applied; i < after.size(); ++i) {
    const std::uint32_t controller = (after[i].message >> 8) & 0x7F;
    EXPECT_EQ(after[i].message & 0xF0, 0xB0u);
    EXPECT_TRUE(controller == 120 || controller == 123 || controller == 64 || controller == 66);
    EXPECT_GE(after[i].sample, start + kRate * 5 / 1000) << "after the fade";
  }
}

// The output's endings over a renderer that sounds at a steady 0.25: the silence of a stop comes
// after a fade to zero and the output stays silent until sound is wanted again, then fades in; a
// closed output plays its tail on while it sounds, for 3 s at most, faded, and is done once its
// buffer has played out; the next stream ends a tail at once, faded.
TEST(LiveOutputEndings, FadesAndTails) {
  constexpr std::uint32_t kBlock = 480;  // 10 ms
  const std::uint32_t fade = kRate * kFadeMillis / 1000;
  struct Row {
    const char* name;
    bool endNow;
    std::uint64_t mostFramesToDone;
  };
  const std::uint64_t buffer = kRate * kAudioBufferMillis / 1000;  // played out before done
  const Row rows[] = {
      {"tail", false, std::uint64_t{kRate} * kLongestTailSeconds + fade + buffer},
      {"end now", true, fade + buffer},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RecordingRenderer renderer(64);
    LiveOutput output(renderer, kRate);
    std::vector<float> left(kBlock), right(kBlock);
    output.RequestSilence();
    output.Render(left.data(), right.data(), kBlock);
    EXPECT_FLOAT_EQ(left[0], 0.25f * (1.0f - 1.0f / fade));
    EXPECT_GT(left[fade / 2], 0.1f);
    EXPECT_LT(left[fade / 2], 0.15f);
    EXPECT_EQ(left[fade], 0.0f);
    EXPECT_EQ(renderer.Applied().size(), 16u * 4) << "the silence, once faded";
    output.Render(left.data(), right.data(), kBlock);
    EXPECT_EQ(left[kBlock - 1], 0.0f) << "muted after the silence";
    output.WantSound();
    output.Render(left.data(), right.data(), kBlock);
    EXPECT_FLOAT_EQ(left[kBlock - 1], 0.25f) << "faded back in";
    output.EndTail(row.endNow);
    std::uint64_t frames = 0;
    while (!output.Done() && frames < 10u * kRate) {
      output.Render(left.data(), right.data(), kBlock);
      frames += kBlock;
    }
    EXPECT_LE(frames, row.mostFramesToDone + 2 * kBlock);
    EXPECT_GE(frames, row.mostFramesToDone - kBlock);
    EXPECT_EQ(left[kBlock - 1], 0.0f);
  }
}

}  // namespace
}  // namespace quirelle::stream::testing
