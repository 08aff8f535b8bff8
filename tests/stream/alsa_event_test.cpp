// Short messages as ALSA sequencer events.
#include "player/stream/alsa/alsa_event.h"

#include <gtest/gtest.h>

namespace quirelle::stream {
namespace {

struct NoteCase {
  std::uint32_t message;
  snd_seq_event_type_t type;
  int channel, note, velocity;
};

class NoteEvents : public ::testing::TestWithParam<NoteCase> {};

TEST_P(NoteEvents, CarryChannelKeyAndVelocity) {
  const NoteCase& param = GetParam();
  snd_seq_event_t event;
  ASSERT_TRUE(ToSeqEvent(param.message, &event));
  EXPECT_EQ(event.type, param.type);
  EXPECT_EQ(event.data.note.channel, param.channel);
  EXPECT_EQ(event.data.note.note, param.note);
  EXPECT_EQ(event.data.note.velocity, param.velocity);
  EXPECT_EQ(event.flags & SND_SEQ_EVENT_LENGTH_MASK, SND_SEQ_EVENT_LENGTH_FIXED);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, NoteEvents,
    ::testing::Values(NoteCase{0x643C90, SND_SEQ_EVENT_NOTEON, 0, 60, 100},
                      NoteCase{0x00459F, SND_SEQ_EVENT_NOTEON, 15, 69, 0},  // velocity 0 as sent
                      NoteCase{0x403C85, SND_SEQ_EVENT_NOTEOFF, 5, 60, 64},
                      NoteCase{0x7F40A2, SND_SEQ_EVENT_KEYPRESS, 2, 64, 127},
                      // A velocity byte of 0xFF (real files have it) is read as 7 bits.
                      NoteCase{0xFF3C90, SND_SEQ_EVENT_NOTEON, 0, 60, 127}));

struct ControlCase {
  std::uint32_t message;
  snd_seq_event_type_t type;
  int channel;
  unsigned param;
  int value;
};

class ControlEvents : public ::testing::TestWithParam<ControlCase> {};

TEST_P(ControlEvents, CarryChannelParameterAndValue) {
  const ControlCase& param = GetParam();
  snd_seq_event_t event;
  ASSERT_TRUE(ToSeqEvent(param.message, &event));
  EXPECT_EQ(event.type, param.type);
  EXPECT_EQ(event.data.control.channel, param.channel);
  EXPECT_EQ(event.data.control.param, param.param);
  EXPECT_EQ(event.data.control.value, param.value);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ControlEvents,
    ::testing::Values(ControlCase{0x3F07B0, SND_SEQ_EVENT_CONTROLLER, 0, 7, 63},
                      ControlCase{0x007BBF, SND_SEQ_EVENT_CONTROLLER, 15, 123, 0},
                      ControlCase{0x0028C3, SND_SEQ_EVENT_PGMCHANGE, 3, 0, 40},
                      ControlCase{0x0050D1, SND_SEQ_EVENT_CHANPRESS, 1, 0, 80},
                      ControlCase{0x4000E0, SND_SEQ_EVENT_PITCHBEND, 0, 0, 0},
                      ControlCase{0x0000E0, SND_SEQ_EVENT_PITCHBEND, 0, 0, -8192},
                      ControlCase{0x7F7FE4, SND_SEQ_EVENT_PITCHBEND, 4, 0, 8191},
                      ControlCase{0x0010F2 | (0x01 << 16), SND_SEQ_EVENT_SONGPOS, 0, 0, 144},
                      ControlCase{0x0005F3, SND_SEQ_EVENT_SONGSEL, 0, 0, 5}));

TEST(AlsaEvent, SystemRealTimeMessagesHaveTheirOwnTypes) {
  const std::pair<std::uint32_t, snd_seq_event_type_t> cases[] = {
      {0xF8, SND_SEQ_EVENT_CLOCK},       {0xFA, SND_SEQ_EVENT_START},
      {0xFB, SND_SEQ_EVENT_CONTINUE},    {0xFC, SND_SEQ_EVENT_STOP},
      {0xFE, SND_SEQ_EVENT_SENSING},     {0xFF, SND_SEQ_EVENT_RESET},
      {0xF6, SND_SEQ_EVENT_TUNE_REQUEST}};
  for (const auto& [message, type] : cases) {
    snd_seq_event_t event;
    ASSERT_TRUE(ToSeqEvent(message, &event)) << std::hex << message;
    EXPECT_EQ(event.type, type) << std::hex << message;
  }
}

TEST(AlsaEvent, MessagesWithoutAStatusByteOrASequencerEventAreNotSent) {
  for (const std::uint32_t message : {0x00u, 0x643Cu, 0x7Fu, 0xF0u, 0xF7u, 0xF4u, 0xF9u, 0xFDu}) {
    snd_seq_event_t event;
    EXPECT_FALSE(ToSeqEvent(message, &event)) << std::hex << message;
  }
}

}  // namespace
}  // namespace quirelle::stream
