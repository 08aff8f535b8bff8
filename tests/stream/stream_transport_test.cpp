// Pause, resume, stop, reset and close on the manual virtual device: frozen position, silenced
// channels, returned buffers, the close handshake, and short messages outside the timing.
#include <gtest/gtest.h>

#include <set>

#include "tests/stream/stream_fixture.h"

namespace quirelle::stream::testing {
namespace {

using Kind = RecordedMessage::Kind;

// All notes off, all sound off, sustain off and sostenuto off on each of the 16 channels.
void ExpectSilenceOfAllChannels(const std::vector<RecordedMessage>& silence) {
  std::set<std::uint32_t> words;
  for (const RecordedMessage& m : silence) {
    words.insert(m.message);
  }
  EXPECT_EQ(silence.size(), 64u);
  for (std::uint32_t channel = 0; channel < 16; ++channel) {
    for (const std::uint32_t controller : {123u, 120u, 64u, 66u}) {
      EXPECT_TRUE(words.count((0xB0u | channel) | (controller << 8)))
          << "channel " << channel << " controller " << controller;
    }
  }
}

class StreamTransport : public StreamFixture {};

TEST_F(StreamTransport, PauseFreezesThePositionSilencesAndResumeContinues) {
  Open(96);
  TestBuffer& buffer = Buffer({Note(0, 0x90, 60, 100), Note(192, 0x80, 60, 0)});
  Queue(buffer);
  midiStreamRestart(stream);
  driver.Advance(250000);  // tick 48
  ASSERT_EQ(midiStreamPause(stream), MMSYSERR_NOERROR);
  const auto silence = OfKind(Kind::kSilence);
  ExpectSilenceOfAllChannels(silence);
  EXPECT_EQ(silence.front().tick, 48u);
  EXPECT_EQ(silence.front().micros, 250000u);

  driver.Advance(3000000);
  EXPECT_EQ(PositionTicks(), 48u);
  EXPECT_EQ(Events().size(), 1u);
  EXPECT_EQ(midiStreamPause(stream), MMSYSERR_NOERROR);  // paused already: nothing more
  EXPECT_EQ(OfKind(Kind::kSilence).size(), 64u);

  ASSERT_EQ(midiStreamRestart(stream), MMSYSERR_NOERROR);
  driver.Advance(749999);
  EXPECT_EQ(Events().size(), 1u);
  driver.Advance(1);
  const auto events = Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].tick, 192u);
  EXPECT_EQ(events[1].micros, 4000000u);  // device time since the first restart, pause included
  EXPECT_EQ(PositionTicks(), 192u);
}

TEST_F(StreamTransport, StopReturnsEveryQueuedBufferAndGoesBackToZero) {
  Open(96);
  TestBuffer& a = Buffer({Note(0, 0x90, 60, 1), Note(960, 0x80, 60, 0)});
  TestBuffer& b = Buffer({Note(96, 0x90, 61, 1)});
  TestBuffer& c = Buffer({Note(96, 0x90, 62, 1)});
  Queue(a);
  Queue(b);
  Queue(c);
  midiStreamRestart(stream);
  driver.Advance(1000000);
  ASSERT_EQ(midiStreamStop(stream), MMSYSERR_NOERROR);
  driver.WaitIdle();
  const auto delivered = DeliveredMessages();
  ASSERT_EQ(delivered.size(), 4u);
  EXPECT_EQ(delivered[1].header, &a.header);
  EXPECT_EQ(delivered[2].header, &b.header);
  EXPECT_EQ(delivered[3].header, &c.header);
  for (const TestBuffer* buffer : {&a, &b, &c}) {
    EXPECT_EQ(buffer->header.dwFlags & (MHDR_DONE | MHDR_INQUEUE | MHDR_PREPARED),
              MHDR_DONE | MHDR_PREPARED);
  }
  EXPECT_EQ(PositionTicks(), 0u);
  ExpectSilenceOfAllChannels(OfKind(Kind::kSilence));

  // Stopped streams wait for a restart, then start again from tick 0.
  TestBuffer& again = Buffer({Note(96, 0x90, 63, 1)});
  Queue(again);
  driver.Advance(1000000);
  EXPECT_EQ(PositionTicks(), 0u);
  midiStreamRestart(stream);
  driver.Advance(500000);
  const auto events = Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].tick, 96u);
  EXPECT_EQ(events[1].message, 0x00013F90u);
}

TEST_F(StreamTransport, ResetSilencesAndReturnsBuffersLikeStop) {
  Open(96);
  TestBuffer& a = Buffer({Note(0, 0x90, 60, 1), Note(960, 0x80, 60, 0)});
  Queue(a);
  midiStreamRestart(stream);
  driver.Advance(100000);
  ASSERT_EQ(midiOutReset(stream), MMSYSERR_NOERROR);
  driver.WaitIdle();
  EXPECT_EQ(DeliveredKinds(), (std::vector<std::uint32_t>{MOM_OPEN, MOM_DONE}));
  EXPECT_EQ(a.header.dwFlags & (MHDR_DONE | MHDR_INQUEUE), MHDR_DONE);
  ExpectSilenceOfAllChannels(OfKind(Kind::kSilence));
  EXPECT_EQ(PositionTicks(), 0u);
}

TEST_F(StreamTransport, CloseDeliversMomCloseBeforeItReturnsOnTheCallbackThread) {
  Open(96);
  ASSERT_EQ(midiStreamClose(stream), MMSYSERR_NOERROR);
  const auto delivered = DeliveredMessages();
  ASSERT_EQ(delivered.size(), 2u);
  EXPECT_EQ(delivered[0].message, MOM_OPEN);
  EXPECT_EQ(delivered[1].message, MOM_CLOSE);
  EXPECT_EQ(delivered[0].thread, delivered[1].thread);
  EXPECT_NE(delivered[0].thread, std::this_thread::get_id());
  EXPECT_EQ(driver.CallbackMessages(), (std::vector<std::uint32_t>{MOM_OPEN, MOM_CLOSE}));
  EXPECT_EQ(midiStreamRestart(stream), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(midiStreamClose(stream), MMSYSERR_INVALHANDLE);
  stream = nullptr;
}

TEST_F(StreamTransport, CloseWithBuffersQueuedIsRefused) {
  Open(96);
  TestBuffer& a = Buffer({Note(0, 0x90, 60, 1)});
  Queue(a);
  EXPECT_EQ(midiStreamClose(stream), MIDIERR_STILLPLAYING);
  EXPECT_EQ(midiStreamRestart(stream), MMSYSERR_NOERROR);  // still open
}

TEST_F(StreamTransport, ShortMessagesGoOutAtOnceOutsideTheTiming) {
  Open(96);
  ASSERT_EQ(midiOutShortMsg(stream, 0x003F07B0), MMSYSERR_NOERROR);
  TestBuffer& a = Buffer({Note(960, 0x90, 60, 1)});
  Queue(a);
  midiStreamRestart(stream);
  driver.Advance(1000000);
  ASSERT_EQ(midiOutShortMsg(stream, 0x007F07B1), MMSYSERR_NOERROR);
  const auto shorts = OfKind(Kind::kShortMsg);
  ASSERT_EQ(shorts.size(), 2u);
  EXPECT_EQ(shorts[0].message, 0x003F07B0u);
  EXPECT_EQ(shorts[0].micros, 0u);
  EXPECT_EQ(shorts[1].tick, 192u);
  EXPECT_EQ(shorts[1].micros, 1000000u);
  EXPECT_TRUE(Events().empty());
}

TEST_F(StreamTransport, PositionIsZeroUntilRestartedAndCallbacksStopWhilePaused) {
  Open(96);
  TestBuffer& a = Buffer({Note(0, 0x90, 60, 1), Note(96, 0x80, 60, 0, MEVT_F_CALLBACK)});
  Queue(a);
  driver.Advance(5000000);
  EXPECT_EQ(PositionTicks(), 0u);
  EXPECT_EQ(DeliveredKinds(), std::vector<std::uint32_t>{MOM_OPEN});
  EXPECT_TRUE(Events().empty());
}

TEST_F(StreamTransport, HeldBuffersStayQueuedThroughStopAndAreDroppedAtClose) {
  Open(96);
  TestBuffer& a = Buffer({Note(0, 0x90, 60, 1), Note(960, 0x80, 60, 0)});
  Queue(a);
  midiStreamRestart(stream);
  driver.Advance(1000);
  driver.HoldBuffers(true);
  ASSERT_EQ(midiStreamStop(stream), MMSYSERR_NOERROR);
  ASSERT_EQ(midiOutReset(stream), MMSYSERR_NOERROR);
  driver.Advance(10000000);
  EXPECT_EQ(DeliveredKinds(), std::vector<std::uint32_t>{MOM_OPEN});
  EXPECT_EQ(a.header.dwFlags & MHDR_INQUEUE, MHDR_INQUEUE);
  EXPECT_EQ(midiOutUnprepareHeader(stream, &a.header, sizeof(MIDIHDR)), MIDIERR_STILLPLAYING);
  EXPECT_EQ(midiStreamClose(stream), MMSYSERR_NOERROR);
  EXPECT_EQ(DeliveredKinds(), (std::vector<std::uint32_t>{MOM_OPEN, MOM_CLOSE}));
  stream = nullptr;
}

TEST_F(StreamTransport, TwoStreamsOfOneDriverKeepTheirOwnClocks) {
  Open(96);
  HMIDISTRM second = nullptr;
  std::uint32_t device = MIDI_MAPPER;
  ASSERT_EQ(driver.midiStreamOpen(&second, &device, 1, &Callback,
                                  reinterpret_cast<std::uintptr_t>(this), CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  EXPECT_NE(second, stream);
  TestBuffer& a = Buffer({Note(96, 0x90, 60, 1)});
  TestBuffer& b = Buffer({Note(96, 0x90, 61, 1)});
  Queue(a);
  ASSERT_EQ(midiOutPrepareHeader(second, &b.header, sizeof(MIDIHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(midiStreamOut(second, &b.header, sizeof(MIDIHDR)), MMSYSERR_NOERROR);
  midiStreamRestart(stream);
  driver.Advance(250000);
  midiStreamRestart(second);
  driver.Advance(1000000);
  const auto events = Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].stream, 1);
  EXPECT_EQ(events[0].micros, 500000u);
  EXPECT_EQ(events[1].stream, 2);
  EXPECT_EQ(events[1].micros, 500000u);
  EXPECT_EQ(midiStreamClose(second), MMSYSERR_NOERROR);
  EXPECT_EQ(driver.OpenCount(), 2);
}

TEST(StreamDriverLifetime, DroppingTheDriverEndsItsOpenStreamsWithoutCallbacks) {
  HMIDISTRM stream = nullptr;
  std::vector<std::uint32_t> seen;
  {
    VirtualDriver driver;
    std::uint32_t device = MIDI_MAPPER;
    ASSERT_EQ(driver.midiStreamOpen(
                  &stream, &device, 1,
                  [](HMIDISTRM, std::uint32_t, std::uintptr_t, std::uintptr_t, std::uintptr_t) {},
                  0, CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    midiStreamRestart(stream);
    driver.WaitIdle();
    seen = driver.CallbackMessages();
  }
  EXPECT_EQ(seen, std::vector<std::uint32_t>{MOM_OPEN});
  EXPECT_EQ(midiStreamRestart(stream), MMSYSERR_INVALHANDLE);
}

}  // namespace
}  // namespace quirelle::stream::testing
