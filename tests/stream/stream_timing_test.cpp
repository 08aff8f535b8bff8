// Event timing on the manual virtual device: delta ticks at the division and tempo, exact times
// with their fractions, SMPTE divisions, buffers in a row, and position callbacks.
#include <gtest/gtest.h>

#include <numeric>
#include <ostream>
#include <string>

#include "tests/stream/stream_fixture.h"

namespace quirelle::stream::testing {
namespace {

using Kind = RecordedMessage::Kind;

struct Expected {
  std::uint32_t tick;
  std::uint64_t micros;
  std::uint64_t fraction;
  std::uint64_t denominator;
};

void ExpectTimes(const std::vector<RecordedMessage>& events, const std::vector<Expected>& want) {
  ASSERT_EQ(events.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(events[i].tick, want[i].tick);
    EXPECT_EQ(events[i].micros, want[i].micros);
    EXPECT_EQ(events[i].fraction, want[i].fraction);
    EXPECT_EQ(events[i].fractionDenominator, want[i].denominator);
  }
}

class StreamTiming : public StreamFixture {};

TEST_F(StreamTiming, DeltasCountAtTheDefaultTempoWithExactFractions) {
  Open(96);
  TestBuffer& buffer = Buffer({Note(0, 0x90, 60, 100), Note(96, 0x80, 60, 0),
                               Note(48, 0x90, 62, 90), Note(1, 0x80, 62, 0)});
  Queue(buffer);
  ASSERT_EQ(midiStreamRestart(stream), MMSYSERR_NOERROR);
  driver.Advance(2000000);
  // 500000 µs per quarter / 96 ticks = 5208 1/3 µs per tick.
  ExpectTimes(Events(),
              {{0, 0, 0, 1}, {96, 500000, 0, 1}, {144, 750000, 0, 1}, {145, 755208, 1, 3}});
  EXPECT_EQ(Events()[1].message, 0x00003C80u);
}

TEST_F(StreamTiming, TempoEventsChangeTheSpeedFromWhereTheyPlay) {
  Open(480);
  TestBuffer& buffer =
      Buffer({Note(0, 0x90, 60, 100), Tempo(480, 250000), Note(0, 0x80, 60, 0),
              Note(480, 0x90, 61, 100), Tempo(240, 1000000), Note(240, 0x80, 61, 0)});
  Queue(buffer);
  midiStreamRestart(stream);
  driver.Advance(5000000);
  // 1 beat at 500000, then 1 beat at 250000, half a beat at 250000, half a beat at 1000000.
  ExpectTimes(Events(),
              {{0, 0, 0, 1}, {480, 500000, 0, 1}, {960, 750000, 0, 1}, {1440, 1375000, 0, 1}});
  EXPECT_TRUE(OfKind(Kind::kShortMsg).empty());  // tempo events are applied, not recorded
}

TEST_F(StreamTiming, ManyTempoChangesDoNotDrift) {
  Open(7);
  std::vector<MIDIEVENT> events;
  std::uint64_t sum = 0;  // sum of tempo × delta, in µs × 7
  for (std::uint32_t i = 0; i < 80; ++i) {
    const std::uint32_t tempo = 400001 + 7919 * i;
    events.push_back(Tempo(i == 0 ? 0 : 3, tempo));
    if (i > 0) {
      sum += 3ull * (400001 + 7919 * (i - 1));
    }
  }
  events.push_back(Note(5, 0x90, 1, 1));
  sum += 5ull * (400001 + 7919 * 79);
  TestBuffer& buffer = Buffer(events);
  Queue(buffer);
  midiStreamRestart(stream);
  driver.Advance(200000000);
  const std::uint64_t g = std::gcd(sum % 7, std::uint64_t{7});
  const std::uint64_t fraction = (sum % 7) / g;
  ExpectTimes(Events(), {{3 * 79 + 5, sum / 7, fraction, fraction == 0 ? 1 : 7 / g}});
}

struct SmpteCase {
  const char* name;
  std::uint32_t division;
  std::uint32_t ticks;
  Expected at;
};

void PrintTo(const SmpteCase& c, std::ostream* out) {
  *out << c.name;
}

class StreamSmpte : public StreamFixture, public ::testing::WithParamInterface<SmpteCase> {};

TEST_P(StreamSmpte, FramesTimesTicksPerFrameIgnoringTempo) {
  const SmpteCase c = GetParam();
  Open(c.division);
  TestBuffer& buffer = Buffer({Tempo(0, 100000), Note(c.ticks, 0x90, 60, 1)});
  Queue(buffer);
  midiStreamRestart(stream);
  driver.Advance(10000000);
  ExpectTimes(Events(), {c.at});
}

constexpr std::uint32_t Smpte(int frames, std::uint32_t ticksPerFrame) {
  return (static_cast<std::uint32_t>(static_cast<std::uint8_t>(-frames)) << 8) | ticksPerFrame;
}

INSTANTIATE_TEST_SUITE_P(
    Divisions, StreamSmpte,
    ::testing::Values(SmpteCase{"Fps25By40", Smpte(25, 40), 1000, {1000, 1000000, 0, 1}},
                      SmpteCase{"Fps24By4", Smpte(24, 4), 1, {1, 10416, 2, 3}},
                      SmpteCase{"Fps30By80", Smpte(30, 80), 2400, {2400, 1000000, 0, 1}},
                      // 29.97 drop-frame: 30000 frames in 1001 s.
                      SmpteCase{"DropFrameBy30", Smpte(29, 30), 900, {900, 1001000, 0, 1}},
                      SmpteCase{"DropFrameBy1", Smpte(29, 1), 1, {1, 33366, 2, 3}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StreamTiming, BuffersPlayInQueueOrderEachDoneAfterItsLastEvent) {
  Open(96);
  TestBuffer& first = Buffer({Note(0, 0x90, 60, 1), Note(96, 0x80, 60, 0)});
  TestBuffer& empty = Buffer({});
  TestBuffer& third = Buffer({Note(96, 0x90, 62, 1)});
  Queue(first);
  Queue(empty);
  Queue(third);
  midiStreamRestart(stream);

  driver.Advance(499999);
  EXPECT_EQ(DeliveredKinds(), std::vector<std::uint32_t>{MOM_OPEN});
  driver.Advance(1);
  // The first buffer is done with its last event, the empty one as soon as it is reached.
  const auto afterFirst = DeliveredMessages();
  ASSERT_EQ(afterFirst.size(), 3u);
  EXPECT_EQ(afterFirst[1].message, MOM_DONE);
  EXPECT_EQ(afterFirst[1].header, &first.header);
  EXPECT_EQ(afterFirst[1].ticks, 96u);
  EXPECT_EQ(afterFirst[2].header, &empty.header);
  EXPECT_EQ(first.header.dwFlags & (MHDR_DONE | MHDR_INQUEUE), MHDR_DONE);
  EXPECT_EQ(third.header.dwFlags & (MHDR_DONE | MHDR_INQUEUE), MHDR_INQUEUE);

  driver.Advance(500000);
  const auto all = DeliveredMessages();
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[3].header, &third.header);
  ExpectTimes(Events(), {{0, 0, 0, 1}, {96, 500000, 0, 1}, {192, 1000000, 0, 1}});
}

TEST_F(StreamTiming, FlaggedEventsReportTheirOffset) {
  Open(96);
  TestBuffer& buffer = Buffer(
      {Note(0, 0x90, 60, 1, MEVT_F_CALLBACK), Note(10, 0x80, 60, 0), Nop(20, MEVT_F_CALLBACK)});
  Queue(buffer);
  midiStreamRestart(stream);
  driver.Advance(1000000);
  const auto delivered = DeliveredMessages();
  ASSERT_EQ(delivered.size(), 4u);
  EXPECT_EQ(delivered[1].message, MOM_POSITIONCB);
  EXPECT_EQ(delivered[1].header, &buffer.header);
  EXPECT_EQ(delivered[1].offset, 0u);
  EXPECT_EQ(delivered[1].ticks, 0u);
  EXPECT_EQ(delivered[2].message, MOM_POSITIONCB);
  EXPECT_EQ(delivered[2].offset, 24u);
  EXPECT_EQ(delivered[2].ticks, 30u);
  EXPECT_EQ(delivered[3].message, MOM_DONE);
}

TEST_F(StreamTiming, EventsWithParametersAreSkippedButTakeTheirTime) {
  Open(96);
  TestBuffer& buffer = Buffer({Note(0, 0x90, 60, 1)});
  // A long event of 5 parameter bytes, padded to 8.
  buffer.AppendWords({96, 0, MEVT_F_LONG | 5, 0x7E7F09F0, 0xF7});
  buffer.AppendWords({96, 0, 0x00003C80});
  Queue(buffer);
  midiStreamRestart(stream);
  driver.Advance(2000000);
  ExpectTimes(Events(), {{0, 0, 0, 1}, {192, 1000000, 0, 1}});
}

TEST_F(StreamTiming, PositionCountsTicksBetweenEventsFromTheRestart) {
  Open(96);
  TestBuffer& buffer = Buffer({Note(960, 0x90, 60, 1)});
  Queue(buffer);
  driver.Advance(100000);
  EXPECT_EQ(PositionTicks(), 0u);  // not started yet
  midiStreamRestart(stream);
  driver.Advance(1000000);
  EXPECT_EQ(PositionTicks(), 192u);
  driver.Advance(5208);
  EXPECT_EQ(PositionTicks(), 192u);
  driver.Advance(1);
  EXPECT_EQ(PositionTicks(), 193u);
  MMTIME ms;
  ms.wType = TIME_MS;
  ASSERT_EQ(midiStreamPosition(stream, &ms, sizeof ms), MMSYSERR_NOERROR);
  EXPECT_EQ(ms.wType, TIME_MS);
  EXPECT_EQ(ms.u.ms, 1005u);
  MMTIME other;
  other.wType = TIME_SMPTE;
  ASSERT_EQ(midiStreamPosition(stream, &other, sizeof other), MMSYSERR_NOERROR);
  EXPECT_EQ(other.wType, TIME_TICKS);
  EXPECT_EQ(other.u.ticks, 193u);
}

TEST_F(StreamTiming, TempoPropertyCountsFromThePositionReached) {
  Open(96);
  TestBuffer& buffer = Buffer({Note(192, 0x90, 60, 1)});
  Queue(buffer);
  midiStreamRestart(stream);
  driver.Advance(500000);  // tick 96 reached
  MIDIPROPTEMPO tempo{sizeof(MIDIPROPTEMPO), 250000};
  ASSERT_EQ(midiStreamProperty(stream, reinterpret_cast<std::uint8_t*>(&tempo),
                               MIDIPROP_SET | MIDIPROP_TEMPO),
            MMSYSERR_NOERROR);
  EXPECT_EQ(PositionTicks(), 96u);
  driver.Advance(250000);
  ExpectTimes(Events(), {{192, 750000, 0, 1}});
  MIDIPROPTEMPO read{sizeof(MIDIPROPTEMPO), 0};
  ASSERT_EQ(midiStreamProperty(stream, reinterpret_cast<std::uint8_t*>(&read),
                               MIDIPROP_GET | MIDIPROP_TEMPO),
            MMSYSERR_NOERROR);
  EXPECT_EQ(read.dwTempo, 250000u);
  MIDIPROPTIMEDIV division{sizeof(MIDIPROPTIMEDIV), 0};
  ASSERT_EQ(midiStreamProperty(stream, reinterpret_cast<std::uint8_t*>(&division),
                               MIDIPROP_GET | MIDIPROP_TIMEDIV),
            MMSYSERR_NOERROR);
  EXPECT_EQ(division.dwTimeDiv, 96u);
}

TEST_F(StreamTiming, ABufferQueuedIntoADryStreamCountsFromThePositionReached) {
  Open(96);
  TestBuffer& first = Buffer({Note(0, 0x90, 60, 1)});
  Queue(first);
  midiStreamRestart(stream);
  driver.Advance(1000000);  // dry from 0 to 1 s: the tick clock goes on (192 ticks)
  EXPECT_EQ(PositionTicks(), 192u);
  TestBuffer& late = Buffer({Note(96, 0x80, 60, 0)});
  Queue(late);
  driver.Advance(1000000);
  ExpectTimes(Events(), {{0, 0, 0, 1}, {288, 1500000, 0, 1}});
}

TEST_F(StreamTiming, TimesCountFromTheFirstRestartOfEachStream) {
  driver.Advance(777);
  Open(96);
  TestBuffer& buffer = Buffer({Note(96, 0x90, 60, 1)});
  Queue(buffer);
  driver.Advance(1000);
  midiStreamRestart(stream);
  driver.Advance(600000);
  ExpectTimes(Events(), {{96, 500000, 0, 1}});
  EXPECT_EQ(Events()[0].stream, driver.OpenCount());
}

}  // namespace
}  // namespace quirelle::stream::testing
