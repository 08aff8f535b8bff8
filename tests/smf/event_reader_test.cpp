// The track event reader: events, running status, system-exclusive and meta data, the end of a
// track, and every kind of cut-short or bad input.
#include "smf/event_reader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/smf/exercise_file.h"
#include "tests/smf/image_builder.h"
#include "tests/smf/read_recorder.h"

namespace quirelle::smf {
namespace {

using test::Bytes;
using test::ReadRecorder;

struct Expected {
  std::uint32_t time;
  std::uint8_t status;
  std::uint8_t data1;
  std::uint8_t data2;
  std::uint32_t length;
  std::optional<Bytes> data;  // nullopt: no block
};

struct ReaderCase {
  const char* name;
  Bytes track;  // the whole track data, its first delta time included
  std::vector<Expected> events;
  const char* error;  // message of the read that ends the track, or null for none
  bool finished;      // reading ended because the track finished (else on a failed read)
};

TrackCursor CursorOn(const Bytes& track) {
  TrackCursor cursor;
  cursor.start = cursor.position = track.data();
  cursor.length = static_cast<std::uint32_t>(track.size());
  return cursor;
}

const ReaderCase kReaderCases[] = {
    {"NoteOnThenRunningStatusThenEndOfTrack",
     {0x00, 0x90, 0x3C, 0x64, 0x60, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00},
     {{0, 0x90, 0x3C, 0x64, 3, {}}, {96, 0x90, 0x3C, 0x00, 3, {}}, {96, 0xFF, 0x2F, 0, 0, {}}},
     nullptr,
     true},
    {"ProgramChangeHasOneDataByteAlsoUnderRunningStatus",
     {0x00, 0xC5, 0x10, 0x05, 0x20, 0x00, 0xFF, 0x2F, 0x00},
     {{0, 0xC5, 0x10, 0, 2, {}}, {5, 0xC5, 0x20, 0, 2, {}}, {5, 0xFF, 0x2F, 0, 0, {}}},
     nullptr,
     true},
    {"ChannelPressureAndPitchBend",
     {0x00, 0xD3, 0x40, 0x00, 0xE3, 0x00, 0x40, 0x00, 0xFF, 0x2F, 0x00},
     {{0, 0xD3, 0x40, 0, 2, {}}, {0, 0xE3, 0x00, 0x40, 3, {}}, {0, 0xFF, 0x2F, 0, 0, {}}},
     nullptr,
     true},
    {"RunningStatusSurvivesMeta",
     {0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x01, 0x02, 'h', 'i', 0x00, 0x3C, 0x00, 0x00, 0xFF, 0x2F,
      0x00},
     {{0, 0x90, 0x3C, 0x64, 3, {}},
      {0, 0xFF, 0x01, 0, 2, Bytes{'h', 'i'}},
      {0, 0x90, 0x3C, 0x00, 3, {}},
      {0, 0xFF, 0x2F, 0, 0, {}}},
     nullptr,
     true},
    {"RunningStatusSurvivesSysEx",
     {0x00, 0x90, 0x3C, 0x64, 0x00, 0xF0, 0x02, 0x7E, 0xF7, 0x00, 0x3C, 0x00, 0x00, 0xFF, 0x2F,
      0x00},
     {{0, 0x90, 0x3C, 0x64, 3, {}},
      {0, 0xF0, 0, 0, 2, Bytes{0x7E, 0xF7}},
      {0, 0x90, 0x3C, 0x00, 3, {}},
      {0, 0xFF, 0x2F, 0, 0, {}}},
     nullptr,
     true},
    {"EscapedSysExKeepsItsBytes",
     {0x00, 0xF7, 0x02, 0xF3, 0x01, 0x00, 0xFF, 0x2F, 0x00},
     {{0, 0xF7, 0, 0, 2, Bytes{0xF3, 0x01}}, {0, 0xFF, 0x2F, 0, 0, {}}},
     nullptr,
     true},
    {"SysExOfLengthZeroStillHasABlock",
     {0x00, 0xF0, 0x00, 0x00, 0xFF, 0x2F, 0x00},
     {{0, 0xF0, 0, 0, 0, Bytes{}}, {0, 0xFF, 0x2F, 0, 0, {}}},
     nullptr,
     true},
    {"MetaOfLengthZeroHasNoBlock",
     {0x00, 0xFF, 0x01, 0x00, 0x00, 0xFF, 0x2F, 0x00},
     {{0, 0xFF, 0x01, 0, 0, {}}, {0, 0xFF, 0x2F, 0, 0, {}}},
     nullptr,
     true},
    {"EndOfTrackWithDataKeepsThem",
     {0x00, 0xFF, 0x2F, 0x01, 0x07},
     {{0, 0xFF, 0x2F, 0, 1, Bytes{0x07}}},
     nullptr,
     true},
    {"NothingAfterEndOfTrackIsRead",
     {0x00, 0xFF, 0x2F, 0x00, 0x00, 0x90, 0x3C, 0x64},
     {{0, 0xFF, 0x2F, 0, 0, {}}},
     nullptr,
     true},
    {"TimesAreTheSumsOfTheDeltas",
     {0x10, 0x90, 0x3C, 0x64, 0x20, 0x80, 0x3C, 0x00, 0x30, 0xFF, 0x2F, 0x00},
     {{16, 0x90, 0x3C, 0x64, 3, {}}, {48, 0x80, 0x3C, 0x00, 3, {}}, {96, 0xFF, 0x2F, 0, 0, {}}},
     nullptr,
     true},
    {"FiveByteDeltaReadsAsTwoToThe28th",
     {0x00, 0x90, 0x3C, 0x64, 0x81, 0x80, 0x80, 0x80, 0x00, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00},
     {{0, 0x90, 0x3C, 0x64, 3, {}},
      {0x10000000, 0x90, 0x3C, 0x00, 3, {}},
      {0x10000000, 0xFF, 0x2F, 0, 0, {}}},
     nullptr,
     true},
    {"SixByteDeltaKeepsTheLow32Bits",
     {0x00, 0x90, 0x3C, 0x64, 0x81, 0x80, 0x80, 0x80, 0x80, 0x00, 0x3C, 0x00, 0x00, 0xFF, 0x2F,
      0x00},
     {{0, 0x90, 0x3C, 0x64, 3, {}}, {0, 0x90, 0x3C, 0x00, 3, {}}, {0, 0xFF, 0x2F, 0, 0, {}}},
     nullptr,
     true},
    {"DataBytesAreTakenAsTheyAre",
     {0x00, 0x90, 0x3C, 0xFF, 0x00, 0xFF, 0x7F, 0x01, 0x80, 0x00, 0xFF, 0x2F, 0x00},
     {{0, 0x90, 0x3C, 0xFF, 3, {}}, {0, 0xFF, 0x7F, 0, 1, Bytes{0x80}}, {0, 0xFF, 0x2F, 0, 0, {}}},
     nullptr,
     true},
    {"TrackWithoutEndOfTrackFinishesAfterItsLastEvent",
     {0x00, 0x90, 0x3C, 0x64},
     {{0, 0x90, 0x3C, 0x64, 3, {}}},
     nullptr,
     true},
    {"TrackWhoseDataEndAfterADeltaFinishesThere",
     {0x00, 0x90, 0x3C, 0x64, 0x10},
     {{0, 0x90, 0x3C, 0x64, 3, {}}},
     nullptr,
     true},
    {"MetaAsTheLastBytesFinishesTheTrack",
     {0x00, 0xFF, 0x03, 0x01, 'T'},
     {{0, 0xFF, 0x03, 0, 1, Bytes{'T'}}},
     nullptr,
     true},
    {"DataEndingInsideADeltaIsAReadError", {0x00, 0x90, 0x3C, 0x64, 0x81}, {}, nullptr, false},
    {"DeltaCutShortAfterMetaReleasesItsBlock",
     {0x00, 0xFF, 0x01, 0x01, 'x', 0x81},
     {},
     nullptr,
     false},
    {"MissingRunningStatus", {0x00, 0x3C, 0x64, 0x00}, {}, kMissingRunningStatus, false},
    {"ChannelMessageCutShort", {0x00, 0x90, 0x3C}, {}, nullptr, false},
    {"ChannelMessageWithoutDataBytes", {0x00, 0x90}, {}, nullptr, false},
    {"RunningStatusMessageCutShort",
     {0x00, 0x90, 0x3C, 0x64, 0x00, 0x3C},
     {{0, 0x90, 0x3C, 0x64, 3, {}}},
     nullptr,
     false},
    {"SysExLengthCutShort", {0x00, 0xF0, 0x81}, {}, kSysExTruncatedLength, false},
    {"SysExDataCutShort", {0x00, 0xF0, 0x05, 0x01, 0x02}, {}, kSysExTruncated, false},
    {"SysExWithHugeLengthAllocatesNothing",
     {0x00, 0xF0, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0x01},
     {},
     kSysExTruncated,
     false},
    {"MetaWithoutTypeByte", {0x00, 0xFF}, {}, nullptr, false},
    {"MetaLengthMissing", {0x00, 0xFF, 0x03}, {}, kMetaTruncatedLength, false},
    {"MetaLengthCutShort", {0x00, 0xFF, 0x03, 0x85}, {}, kMetaTruncatedLength, false},
    {"MetaDataCutShort", {0x00, 0xFF, 0x03, 0x05, 'a'}, {}, kMetaTruncated, false},
    {"StatusF8EndsTheTrackSilently",
     {0x00, 0x90, 0x3C, 0x64, 0x00, 0xF8, 0x00},
     {{0, 0x90, 0x3C, 0x64, 3, {}}},
     nullptr,
     false},
};

class ReaderTable : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(ReaderTable, DeliversTheEventsAndEndsAsExpected) {
  const ReaderCase& c = GetParam();
  ReadRecorder hooks;
  TrackCursor cursor = CursorOn(c.track);
  ASSERT_EQ(ReadVarLen(cursor, cursor.nextTime), 1);

  EXPECT_TRUE(test::FastAndCarefulAgree(cursor));

  TrackEvent event;
  std::size_t delivered = 0;
  int blocks = 0;
  while (delivered <= c.track.size() && hooks.Read(cursor, event) == 1) {
    ASSERT_LT(delivered, c.events.size()) << "unexpected event " << delivered;
    const Expected& e = c.events[delivered];
    SCOPED_TRACE("event " + std::to_string(delivered));
    EXPECT_EQ(event.time, e.time);
    EXPECT_EQ(event.status, e.status);
    EXPECT_EQ(event.data1, e.data1);
    EXPECT_EQ(event.data2, e.data2);
    EXPECT_EQ(event.length, e.length);
    ASSERT_EQ(event.data != nullptr, e.data.has_value());
    if (e.data) {
      ++blocks;
      EXPECT_EQ(Bytes(event.data.get(), event.data.get() + event.length), *e.data);
    }
    ++delivered;
  }
  EXPECT_EQ(delivered, c.events.size());
  EXPECT_EQ(event.data, nullptr) << "a failed read hands no block over";
  EXPECT_EQ(cursor.finished(), c.finished);
  EXPECT_EQ(hooks.errors, c.error ? std::vector<std::string>{c.error} : std::vector<std::string>{});
  EXPECT_EQ(hooks.allocations, blocks);
  EXPECT_LE(cursor.position, cursor.start + cursor.length);

  // Once reading has ended it stays ended, without a further message on a finished track.
  const std::size_t errorsSoFar = hooks.errors.size();
  if (c.finished) {
    EXPECT_EQ(hooks.Read(cursor, event), 0);
    EXPECT_EQ(hooks.errors.size(), errorsSoFar);
  }
}

INSTANTIATE_TEST_SUITE_P(Tracks, ReaderTable, ::testing::ValuesIn(kReaderCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EventReader, FastCaseReadsAsTheCarefulReaderWhereverTheTrackIsCut) {
  // Channel messages of every length with deltas of one to four bytes, a status change, a meta
  // event, and the end of the track: cut after every byte.
  const Bytes full = {0x00, 0x90, 0x3C, 0x64, 0x05, 0x3C, 0x00, 0x81, 0x00, 0xC2, 0x07, 0x83, 0xFF,
                      0x7F, 0x08, 0xD2, 0x40, 0x81, 0x80, 0x80, 0x00, 0xE2, 0x00, 0x40, 0x00, 0x00,
                      0x7F, 0x00, 0xFF, 0x01, 0x01, 'x',  0x00, 0x41, 0x40, 0x81, 0x7F, 0xB2, 0x07,
                      0x64, 0x00, 0x92, 0x3C, 0x64, 0x81, 0x00, 0xFF, 0x2F, 0x00};
  for (std::size_t size = 1; size <= full.size(); ++size) {
    SCOPED_TRACE(size);
    const Bytes track(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size));
    TrackCursor cursor = CursorOn(track);
    ASSERT_EQ(ReadVarLen(cursor, cursor.nextTime), 1);
    EXPECT_TRUE(test::FastAndCarefulAgree(cursor));
  }
}

TEST(EventReader, StatusBytesWithNoPlaceInAFileEndTheTrackWithoutAMessage) {
  for (int status = 0xF1; status <= 0xFE; ++status) {
    if (status == 0xF7 || status == 0xFF) {
      continue;
    }
    SCOPED_TRACE(status);
    const Bytes track = {0x00, static_cast<std::uint8_t>(status), 0x00, 0x00, 0xFF, 0x2F, 0x00};
    ReadRecorder hooks;
    TrackCursor cursor = CursorOn(track);
    ASSERT_EQ(ReadVarLen(cursor, cursor.nextTime), 1);
    TrackEvent event;
    EXPECT_EQ(hooks.Read(cursor, event), 0);
    EXPECT_FALSE(cursor.finished());
    EXPECT_TRUE(hooks.errors.empty());
  }
}

TEST(EventReader, ChannelStatusBecomesRunningStatusEvenWhenItsDataAreMissing) {
  const Bytes track = {0x00, 0x92};
  ReadRecorder hooks;
  TrackCursor cursor = CursorOn(track);
  ASSERT_EQ(ReadVarLen(cursor, cursor.nextTime), 1);
  TrackEvent event;
  EXPECT_EQ(hooks.Read(cursor, event), 0);
  EXPECT_EQ(cursor.runningStatus, 0x92);
}

TEST(EventReader, ClearsTheRecordBeforeEachRead) {
  const Bytes track = {0x00, 0xFF, 0x01, 0x01, 'x', 0x00, 0xC0, 0x05, 0x00, 0xFF, 0x2F, 0x00};
  ReadRecorder hooks;
  TrackCursor cursor = CursorOn(track);
  ASSERT_EQ(ReadVarLen(cursor, cursor.nextTime), 1);
  TrackEvent event;
  event.data2 = 0x55;
  ASSERT_EQ(hooks.Read(cursor, event), 1);
  ASSERT_NE(event.data, nullptr);
  event.data2 = 0x55;
  ASSERT_EQ(hooks.Read(cursor, event), 1);
  EXPECT_EQ(event.data, nullptr);
  EXPECT_EQ(event.data2, 0);
  EXPECT_EQ(event.length, 2u);
}

TEST(EventReader, ParseErrorLeavesTheCursorPastTheBadByte) {
  const Bytes track = {0x00, 0x3C};
  TrackCursor cursor = CursorOn(track);
  ASSERT_EQ(ReadVarLen(cursor, cursor.nextTime), 1);
  TrackEvent event;
  EXPECT_EQ(ReadEvent(cursor, event), 0);
  EXPECT_STREQ(cursor.error, kMissingRunningStatus);
  EXPECT_EQ(cursor.position, track.data() + 2);
}

TEST(ReadVarLen, FailsOnAFinishedTrackAndLeavesTheValue) {
  const Bytes track = {0x05};
  TrackCursor cursor = CursorOn(track);
  cursor.flags = kTrackFinished;
  std::uint32_t value = 77;
  EXPECT_EQ(ReadVarLen(cursor, value), 0);
  EXPECT_EQ(value, 77u);
  EXPECT_EQ(cursor.position, track.data());
}

TEST(ReadVarLen, FailsWhenTheDataEndInsideTheQuantity) {
  const Bytes track = {0x81, 0x80};
  TrackCursor cursor = CursorOn(track);
  std::uint32_t value = 77;
  EXPECT_EQ(ReadVarLen(cursor, value), 0);
  EXPECT_EQ(value, 77u);
  EXPECT_EQ(cursor.position, track.data() + 2);
}

TEST(ReadVarLen, ReadsMultiByteQuantities) {
  const Bytes track = {0x81, 0x00, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F};
  TrackCursor cursor = CursorOn(track);
  std::uint32_t value = 0;
  ASSERT_EQ(ReadVarLen(cursor, value), 1);
  EXPECT_EQ(value, 128u);
  ASSERT_EQ(ReadVarLen(cursor, value), 1);
  EXPECT_EQ(value, 0x3FFFu);
  ASSERT_EQ(ReadVarLen(cursor, value), 1);
  EXPECT_EQ(value, 0x0FFFFFFFu);
  EXPECT_TRUE(cursor.exhausted());
}

}  // namespace
}  // namespace quirelle::smf
