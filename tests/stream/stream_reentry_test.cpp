// Calls made from inside the stream's own callback, as the engine makes them: refills queued
// from MOM_DONE, and at the end stop, reset, unprepare and close from the callback thread.
#include <gtest/gtest.h>

#include <atomic>

#include "tests/stream/stream_fixture.h"

namespace quirelle::stream::testing {
namespace {

constexpr std::uint32_t kHeader = sizeof(MIDIHDR);

class StreamReentry : public StreamFixture {};

TEST_F(StreamReentry, RefillsQueuedByTheCallbackPlayWithoutAGap) {
  // Two buffers circulate; each refill holds one note 48 ticks after the previous one.
  TestBuffer& a = Buffer({Note(0, 0x90, 60, 1)});
  TestBuffer& b = Buffer({Note(48, 0x90, 61, 1)});
  std::atomic<int> refills{0};
  reaction = [&](std::uint32_t message, MIDIHDR* header) {
    if (message != MOM_DONE || refills.load() >= 6) {
      return;
    }
    TestBuffer& buffer = header == &a.header ? a : b;
    const std::uint32_t key = 62 + static_cast<std::uint32_t>(refills.fetch_add(1));
    buffer.Fill({Note(48, 0x90, key, 1)});
    EXPECT_EQ(midiStreamOut(stream, header, kHeader), MMSYSERR_NOERROR);
  };
  Open(96);
  Queue(a);
  Queue(b);
  midiStreamRestart(stream);
  driver.Advance(10000000);
  const auto events = Events();
  ASSERT_EQ(events.size(), 8u);
  for (std::size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(events[i].tick, 48u * i);
    EXPECT_EQ(events[i].micros, 250000u * i);
    EXPECT_EQ(events[i].message & 0xFF00u, (60u + i) << 8);
  }
  EXPECT_FALSE(driver.RefillStatistics().minMargin < 0);
  EXPECT_EQ(driver.RefillStatistics().starvations, 0u);
}

TEST_F(StreamReentry, TheCallbackStopsResetsUnpreparesAndClosesTheStream) {
  TestBuffer& a = Buffer({Note(0, 0x90, 60, 1), Note(96, 0x80, 60, 0)});
  TestBuffer& b = Buffer({Note(96, 0x90, 61, 1), Note(96, 0x80, 61, 0)});
  std::atomic<int> done{0};
  std::atomic<int> failures{0};
  const auto check = [&](MMRESULT result) {
    if (result != MMSYSERR_NOERROR) {
      ++failures;
    }
  };
  reaction = [&](std::uint32_t message, MIDIHDR* header) {
    if (message != MOM_DONE) {
      return;
    }
    if (++done == 1) {
      // The first buffer back is queued again (empty): the song ends with it.
      a.Fill({});
      check(midiStreamOut(stream, header, kHeader));
      return;
    }
    if (done == 3) {
      check(midiStreamStop(stream));
      check(midiOutReset(stream));
      check(midiOutUnprepareHeader(stream, &a.header, kHeader));
      check(midiOutUnprepareHeader(stream, &b.header, kHeader));
      check(midiStreamClose(stream));
      // Closed from inside: MOM_CLOSE comes after this callback, and the handle is gone.
      if (midiStreamRestart(stream) != MMSYSERR_INVALHANDLE) {
        ++failures;
      }
    }
  };
  Open(96);
  Queue(a);
  Queue(b);
  midiStreamRestart(stream);
  driver.Advance(10000000);
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(DeliveredKinds(),
            (std::vector<std::uint32_t>{MOM_OPEN, MOM_DONE, MOM_DONE, MOM_DONE, MOM_CLOSE}));
  const auto delivered = DeliveredMessages();
  for (const Delivered& d : delivered) {
    EXPECT_EQ(d.thread, delivered.front().thread);
  }
  EXPECT_EQ(a.header.dwFlags & (MHDR_PREPARED | MHDR_INQUEUE), 0u);
  EXPECT_EQ(b.header.dwFlags & (MHDR_PREPARED | MHDR_INQUEUE), 0u);
  EXPECT_EQ(Events().size(), 4u);
  stream = nullptr;
  // The closed stream's thread has ended and the driver opens the next stream as usual.
  Open(96);
  EXPECT_EQ(driver.OpenCount(), 2);
}

TEST_F(StreamReentry, StopFromTheCallbackReturnsTheOtherBufferAfterIt) {
  TestBuffer& a = Buffer({Note(0, 0x90, 60, 1)});
  TestBuffer& b = Buffer({Note(960, 0x90, 61, 1)});
  reaction = [&](std::uint32_t message, MIDIHDR* header) {
    if (message == MOM_DONE && header == &a.header) {
      EXPECT_EQ(midiStreamStop(stream), MMSYSERR_NOERROR);
    }
  };
  Open(96);
  Queue(a);
  Queue(b);
  midiStreamRestart(stream);
  driver.Advance(1000);
  const auto delivered = DeliveredMessages();
  ASSERT_EQ(delivered.size(), 3u);
  EXPECT_EQ(delivered[1].header, &a.header);
  EXPECT_EQ(delivered[2].header, &b.header);
  EXPECT_EQ(Events().size(), 1u);
  EXPECT_EQ(PositionTicks(), 0u);
}

TEST_F(StreamReentry, PositionCallbackCanQueueAndPause) {
  TestBuffer& a = Buffer({Note(0, 0x90, 60, 1, MEVT_F_CALLBACK), Note(96, 0x80, 60, 0)});
  TestBuffer& b = Buffer({Note(96, 0x90, 61, 1)});
  reaction = [&](std::uint32_t message, MIDIHDR*) {
    if (message == MOM_POSITIONCB) {
      EXPECT_EQ(midiOutPrepareHeader(stream, &b.header, kHeader), MMSYSERR_NOERROR);
      EXPECT_EQ(midiStreamOut(stream, &b.header, kHeader), MMSYSERR_NOERROR);
      EXPECT_EQ(midiStreamPause(stream), MMSYSERR_NOERROR);
    }
  };
  Open(96);
  Queue(a);
  midiStreamRestart(stream);
  driver.Advance(5000000);
  EXPECT_EQ(Events().size(), 1u);  // paused at tick 0 from inside the callback
  EXPECT_EQ(PositionTicks(), 0u);
  midiStreamRestart(stream);
  driver.Advance(1000000);
  ASSERT_EQ(Events().size(), 3u);
  EXPECT_EQ(Events()[2].tick, 192u);
}

}  // namespace
}  // namespace quirelle::stream::testing
