// The virtual device in real-time mode: buffers refilled from the callback thread while its timer
// thread plays them, then stop and close from the test while events are still due. Nothing here
// depends on how fast the machine is; only order and completeness are checked.
#include <gtest/gtest.h>

#include <atomic>

#include "tests/stream/stream_fixture.h"

namespace quirelle::stream::testing {
namespace {

constexpr std::uint32_t kHeader = sizeof(MIDIHDR);

class StreamRealTime : public StreamFixture {
 protected:
  StreamRealTime() : StreamFixture(VirtualDriver::Mode::kRealTime) {}
};

TEST_F(StreamRealTime, RefilledBuffersAllPlayInOrder) {
  TestBuffer& a = Buffer({Note(0, 0x90, 0, 1)});
  TestBuffer& b = Buffer({Note(1, 0x90, 1, 1)});
  std::atomic<std::uint32_t> next{2};
  constexpr std::uint32_t kNotes = 40;
  reaction = [&](std::uint32_t message, MIDIHDR* header) {
    if (message != MOM_DONE || next.load() >= kNotes) {
      return;
    }
    TestBuffer& buffer = header == &a.header ? a : b;
    buffer.Fill({Note(1, 0x90, next.fetch_add(1), 1)});
    midiStreamOut(stream, header, kHeader);
  };
  Open(960);  // 1 tick = 520.8 µs
  Queue(a);
  Queue(b);
  ASSERT_EQ(midiStreamRestart(stream), MMSYSERR_NOERROR);
  driver.RunUntilDrained(60000000);
  const auto events = Events();
  ASSERT_EQ(events.size(), kNotes);
  for (std::uint32_t i = 0; i < kNotes; ++i) {
    EXPECT_EQ((events[i].message >> 8) & 0x7F, i);
    if (i > 0) {
      EXPECT_GT(events[i].tick, events[i - 1].tick);
      EXPECT_GE(events[i].micros, events[i - 1].micros);
    }
  }
  EXPECT_EQ(driver.clock().IsReal(), true);
}

TEST_F(StreamRealTime, StopAndCloseWhileEventsAreDue) {
  std::vector<MIDIEVENT> many;
  for (std::uint32_t i = 0; i < 80; ++i) {
    many.push_back(Note(1, 0x90, i, 1));
  }
  TestBuffer& a = Buffer(many);
  Open(96000 / 1000);
  Queue(a);
  midiStreamRestart(stream);
  driver.Advance(2000);
  ASSERT_EQ(midiStreamStop(stream), MMSYSERR_NOERROR);
  ASSERT_EQ(midiStreamClose(stream), MMSYSERR_NOERROR);
  stream = nullptr;
  const auto kinds = DeliveredKinds();
  ASSERT_GE(kinds.size(), 3u);
  EXPECT_EQ(kinds.front(), MOM_OPEN);
  EXPECT_EQ(kinds[kinds.size() - 2], MOM_DONE);
  EXPECT_EQ(kinds.back(), MOM_CLOSE);
  EXPECT_EQ(a.header.dwFlags & (MHDR_DONE | MHDR_INQUEUE), MHDR_DONE);
}

}  // namespace
}  // namespace quirelle::stream::testing
