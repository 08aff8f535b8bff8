// Every refusal of the stream calls gets its Windows result code and changes nothing: bad
// handles, null pointers, wrong sizes, unprepared or queued buffers, bad property flags, bad open
// arguments, and failures a test tells the virtual device to make.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "tests/stream/stream_fixture.h"

namespace quirelle::stream::testing {
namespace {

struct ErrorCase {
  std::string name;
  std::function<MMRESULT(HMIDISTRM stream, TestBuffer& buffer)> call;
  MMRESULT expected;
};

void PrintTo(const ErrorCase& c, std::ostream* out) {
  *out << c.name;
}

std::uint8_t* Bytes(void* record) {
  return static_cast<std::uint8_t*>(record);
}

MMRESULT SetDivision(HMIDISTRM stream, std::uint32_t size, std::uint32_t division,
                     std::uint32_t flags) {
  MIDIPROPTIMEDIV property{size, division};
  return midiStreamProperty(stream, Bytes(&property), flags);
}

const std::uint32_t kSetDivision = MIDIPROP_SET | MIDIPROP_TIMEDIV;
const std::uint32_t kHeader = sizeof(MIDIHDR);

std::vector<ErrorCase> Cases() {
  return {
      {"OutUnprepared",
       [](HMIDISTRM s, TestBuffer& b) { return midiStreamOut(s, &b.header, kHeader); },
       MIDIERR_UNPREPARED},
      {"OutQueuedTwice",
       [](HMIDISTRM s, TestBuffer& b) {
         midiOutPrepareHeader(s, &b.header, kHeader);
         midiStreamOut(s, &b.header, kHeader);
         return midiStreamOut(s, &b.header, kHeader);
       },
       MIDIERR_STILLPLAYING},
      {"UnprepareQueued",
       [](HMIDISTRM s, TestBuffer& b) {
         midiOutPrepareHeader(s, &b.header, kHeader);
         midiStreamOut(s, &b.header, kHeader);
         return midiOutUnprepareHeader(s, &b.header, kHeader);
       },
       MIDIERR_STILLPLAYING},
      {"OutMoreRecordedThanTheBufferHolds",
       [](HMIDISTRM s, TestBuffer& b) {
         midiOutPrepareHeader(s, &b.header, kHeader);
         b.header.dwBytesRecorded = b.header.dwBufferLength + 12;
         return midiStreamOut(s, &b.header, kHeader);
       },
       MMSYSERR_INVALPARAM},
      {"OutNullHeader", [](HMIDISTRM s, TestBuffer&) { return midiStreamOut(s, nullptr, kHeader); },
       MMSYSERR_INVALPARAM},
      {"OutWrongSize",
       [](HMIDISTRM s, TestBuffer& b) {
         midiOutPrepareHeader(s, &b.header, kHeader);
         return midiStreamOut(s, &b.header, 64 - 1);
       },
       MMSYSERR_INVALPARAM},
      {"PrepareNullHeader",
       [](HMIDISTRM s, TestBuffer&) { return midiOutPrepareHeader(s, nullptr, kHeader); },
       MMSYSERR_INVALPARAM},
      {"PrepareWrongSize",
       [](HMIDISTRM s, TestBuffer& b) { return midiOutPrepareHeader(s, &b.header, kHeader + 8); },
       MMSYSERR_INVALPARAM},
      {"PrepareNoData",
       [](HMIDISTRM s, TestBuffer& b) {
         b.header.lpData = nullptr;
         return midiOutPrepareHeader(s, &b.header, kHeader);
       },
       MMSYSERR_INVALPARAM},
      {"UnprepareNullHeader",
       [](HMIDISTRM s, TestBuffer&) { return midiOutUnprepareHeader(s, nullptr, kHeader); },
       MMSYSERR_INVALPARAM},
      {"UnprepareWrongSize",
       [](HMIDISTRM s, TestBuffer& b) { return midiOutUnprepareHeader(s, &b.header, 0); },
       MMSYSERR_INVALPARAM},
      {"PositionNull",
       [](HMIDISTRM s, TestBuffer&) { return midiStreamPosition(s, nullptr, sizeof(MMTIME)); },
       MMSYSERR_INVALPARAM},
      {"PositionWrongSize",
       [](HMIDISTRM s, TestBuffer&) {
         MMTIME time;
         time.wType = TIME_TICKS;
         return midiStreamPosition(s, &time, 8);
       },
       MMSYSERR_INVALPARAM},
      {"PropertyNull",
       [](HMIDISTRM s, TestBuffer&) { return midiStreamProperty(s, nullptr, kSetDivision); },
       MMSYSERR_INVALPARAM},
      {"PropertyWrongRecordSize",
       [](HMIDISTRM s, TestBuffer&) { return SetDivision(s, 12, 96, kSetDivision); },
       MMSYSERR_INVALPARAM},
      {"PropertyUnknownFlag",
       [](HMIDISTRM s, TestBuffer&) { return SetDivision(s, 8, 96, kSetDivision | 0x100); },
       MMSYSERR_INVALFLAG},
      {"PropertyBothGetAndSet",
       [](HMIDISTRM s, TestBuffer&) { return SetDivision(s, 8, 96, kSetDivision | MIDIPROP_GET); },
       MMSYSERR_INVALFLAG},
      {"PropertyNeitherGetNorSet",
       [](HMIDISTRM s, TestBuffer&) { return SetDivision(s, 8, 96, MIDIPROP_TIMEDIV); },
       MMSYSERR_INVALFLAG},
      {"PropertyNoPropertyNamed",
       [](HMIDISTRM s, TestBuffer&) { return SetDivision(s, 8, 96, MIDIPROP_SET); },
       MMSYSERR_INVALPARAM},
      {"PropertyTwoPropertiesNamed",
       [](HMIDISTRM s, TestBuffer&) {
         return SetDivision(s, 8, 96, kSetDivision | MIDIPROP_TEMPO);
       },
       MMSYSERR_INVALPARAM},
      {"PropertyDivisionZero",
       [](HMIDISTRM s, TestBuffer&) { return SetDivision(s, 8, 0, kSetDivision); },
       MMSYSERR_INVALPARAM},
      {"PropertyDivisionAbove16Bits",
       [](HMIDISTRM s, TestBuffer&) { return SetDivision(s, 8, 0x10060, kSetDivision); },
       MMSYSERR_INVALPARAM},
      {"PropertySmpteUnknownRate",
       [](HMIDISTRM s, TestBuffer&) { return SetDivision(s, 8, 0xE428, kSetDivision); },
       MMSYSERR_INVALPARAM},
      {"PropertySmpteNoTicksPerFrame",
       [](HMIDISTRM s, TestBuffer&) { return SetDivision(s, 8, 0xE700, kSetDivision); },
       MMSYSERR_INVALPARAM},
      {"PropertyTempoZero",
       [](HMIDISTRM s, TestBuffer&) {
         MIDIPROPTEMPO tempo{8, 0};
         return midiStreamProperty(s, Bytes(&tempo), MIDIPROP_SET | MIDIPROP_TEMPO);
       },
       MMSYSERR_INVALPARAM},
  };
}

class StreamErrors : public StreamFixture, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(StreamErrors, GetsItsCodeAndLeavesTheStreamWorking) {
  Open(96);
  TestBuffer& buffer = Buffer({Note(0, 0x90, 60, 1)});
  EXPECT_EQ(GetParam().call(stream, buffer), GetParam().expected);
  // The stream still plays a good buffer afterwards, at the division it had.
  TestBuffer& good = Buffer({Note(96, 0x90, 61, 1)});
  Queue(good);
  midiStreamRestart(stream);
  driver.Advance(2000000);
  ASSERT_FALSE(Events().empty());
  EXPECT_EQ(Events().back().tick, 96u);
  EXPECT_EQ(Events().back().micros, 500000u);
  EXPECT_EQ(Events().back().message, 0x00013D90u);
}

INSTANTIATE_TEST_SUITE_P(Calls, StreamErrors, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.name; });

TEST(StreamBadHandles, EveryCallAnswersInvalHandle) {
  std::vector<HMIDISTRM> handles = {nullptr, reinterpret_cast<HMIDISTRM>(std::uintptr_t{0x1234}),
                                    reinterpret_cast<HMIDISTRM>(std::uintptr_t{0x51A0})};
  {
    // A handle that was open once and has been closed.
    VirtualDriver driver;
    HMIDISTRM closed = nullptr;
    std::uint32_t device = MIDI_MAPPER;
    ASSERT_EQ(driver.midiStreamOpen(&closed, &device, 1, &IgnoreCallback, 0, CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    midiStreamClose(closed);
    handles.push_back(closed);
  }
  MIDIHDR header;
  MMTIME time;
  MIDIPROPTIMEDIV division{8, 96};
  for (HMIDISTRM h : handles) {
    SCOPED_TRACE(reinterpret_cast<std::uintptr_t>(h));
    EXPECT_EQ(midiStreamProperty(h, Bytes(&division), kSetDivision), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiOutPrepareHeader(h, &header, kHeader), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiOutUnprepareHeader(h, &header, kHeader), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiStreamOut(h, &header, kHeader), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiStreamRestart(h), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiStreamPause(h), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiStreamStop(h), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiOutReset(h), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiStreamClose(h), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiStreamPosition(h, &time, sizeof time), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiOutShortMsg(h, 0x90), MMSYSERR_INVALHANDLE);
  }
}

struct OpenCase {
  std::string name;
  bool nullHandle;
  bool nullDevice;
  std::uint32_t device;
  std::uint32_t count;
  bool nullCallback;
  std::uint32_t flags;
  MMRESULT expected;
};

void PrintTo(const OpenCase& c, std::ostream* out) {
  *out << c.name;
}

class StreamOpenArguments : public ::testing::TestWithParam<OpenCase> {};

TEST_P(StreamOpenArguments, AreCheckedBeforeAnythingOpens) {
  const OpenCase c = GetParam();
  VirtualDriver driver;
  HMIDISTRM stream = nullptr;
  std::uint32_t device = c.device;
  const MMRESULT result =
      driver.midiStreamOpen(c.nullHandle ? nullptr : &stream, c.nullDevice ? nullptr : &device,
                            c.count, c.nullCallback ? nullptr : &IgnoreCallback, 0, c.flags);
  EXPECT_EQ(result, c.expected);
  if (result == MMSYSERR_NOERROR) {
    EXPECT_EQ(midiStreamClose(stream), MMSYSERR_NOERROR);
  } else {
    EXPECT_EQ(driver.OpenCount(), 0);
    EXPECT_FALSE(driver.LastErrorText().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, StreamOpenArguments,
                         ::testing::Values(OpenCase{"Mapper", false, false, MIDI_MAPPER, 1, false,
                                                    CALLBACK_FUNCTION, MMSYSERR_NOERROR},
                                           OpenCase{"DeviceZero", false, false, 0, 1, false,
                                                    CALLBACK_FUNCTION, MMSYSERR_NOERROR},
                                           OpenCase{"NullHandle", true, false, MIDI_MAPPER, 1,
                                                    false, CALLBACK_FUNCTION, MMSYSERR_INVALPARAM},
                                           OpenCase{"NullDeviceId", false, true, MIDI_MAPPER, 1,
                                                    false, CALLBACK_FUNCTION, MMSYSERR_INVALPARAM},
                                           OpenCase{"TwoDevices", false, false, MIDI_MAPPER, 2,
                                                    false, CALLBACK_FUNCTION, MMSYSERR_INVALPARAM},
                                           OpenCase{"NoCallback", false, false, MIDI_MAPPER, 1,
                                                    true, CALLBACK_FUNCTION, MMSYSERR_INVALPARAM},
                                           OpenCase{"OtherCallbackKind", false, false, MIDI_MAPPER,
                                                    1, false, 0x00050000, MMSYSERR_INVALFLAG},
                                           OpenCase{"UnknownDevice", false, false, 3, 1, false,
                                                    CALLBACK_FUNCTION, MMSYSERR_BADDEVICEID}),
                         [](const auto& info) { return info.param.name; });

class StreamInjectedFailures : public StreamFixture,
                               public ::testing::WithParamInterface<StreamOperation> {};

MMRESULT Call(StreamOperation op, HMIDISTRM s, TestBuffer& b) {
  MIDIPROPTIMEDIV division{8, 96};
  MMTIME time;
  time.wType = TIME_TICKS;
  switch (op) {
    case StreamOperation::kProperty:
      return midiStreamProperty(s, Bytes(&division), kSetDivision);
    case StreamOperation::kPrepare:
      return midiOutPrepareHeader(s, &b.header, kHeader);
    case StreamOperation::kUnprepare:
      return midiOutUnprepareHeader(s, &b.header, kHeader);
    case StreamOperation::kOut:
      return midiStreamOut(s, &b.header, kHeader);
    case StreamOperation::kRestart:
      return midiStreamRestart(s);
    case StreamOperation::kPause:
      return midiStreamPause(s);
    case StreamOperation::kStop:
      return midiStreamStop(s);
    case StreamOperation::kReset:
      return midiOutReset(s);
    case StreamOperation::kClose:
      return midiStreamClose(s);
    case StreamOperation::kPosition:
      return midiStreamPosition(s, &time, sizeof time);
    case StreamOperation::kShortMsg:
      return midiOutShortMsg(s, 0x90);
    case StreamOperation::kOpen:
      break;
  }
  return MMSYSERR_ERROR;
}

TEST_P(StreamInjectedFailures, TheChosenOperationFailsWithTheChosenCodeUntilCleared) {
  Open(96);
  TestBuffer& buffer = Buffer({Note(0, 0x90, 60, 1)});
  ASSERT_EQ(midiOutPrepareHeader(stream, &buffer.header, kHeader), MMSYSERR_NOERROR);
  driver.FailOperation(GetParam(), MIDIERR_NODEVICE);
  EXPECT_EQ(Call(GetParam(), stream, buffer), MIDIERR_NODEVICE);
  EXPECT_EQ(Call(GetParam(), stream, buffer), MIDIERR_NODEVICE);
  EXPECT_EQ(midiStreamRestart(stream) == MIDIERR_NODEVICE, GetParam() == StreamOperation::kRestart);
  driver.ClearFailures();
  if (GetParam() != StreamOperation::kClose) {
    EXPECT_EQ(Call(GetParam(), stream, buffer), MMSYSERR_NOERROR);
  }
}

INSTANTIATE_TEST_SUITE_P(Operations, StreamInjectedFailures,
                         ::testing::Values(StreamOperation::kProperty, StreamOperation::kPrepare,
                                           StreamOperation::kUnprepare, StreamOperation::kOut,
                                           StreamOperation::kRestart, StreamOperation::kPause,
                                           StreamOperation::kStop, StreamOperation::kReset,
                                           StreamOperation::kClose, StreamOperation::kPosition,
                                           StreamOperation::kShortMsg));

TEST(StreamInjectedOpenFailure, OpenFailsWithTheCodeAndSaysWhy) {
  VirtualDriver driver;
  driver.FailOperation(StreamOperation::kOpen, MMSYSERR_ALLOCATED);
  HMIDISTRM stream = nullptr;
  std::uint32_t device = MIDI_MAPPER;
  EXPECT_EQ(driver.midiStreamOpen(&stream, &device, 1, &IgnoreCallback, 0, CALLBACK_FUNCTION),
            MMSYSERR_ALLOCATED);
  EXPECT_EQ(stream, nullptr);
  EXPECT_FALSE(driver.LastErrorText().empty());
  driver.ClearFailures();
  ASSERT_EQ(driver.midiStreamOpen(&stream, &device, 1, &IgnoreCallback, 0, CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  EXPECT_TRUE(driver.LastErrorText().empty());
  EXPECT_EQ(midiStreamClose(stream), MMSYSERR_NOERROR);
}

}  // namespace
}  // namespace quirelle::stream::testing
