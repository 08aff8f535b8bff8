// The ALSA device through the stream core, with a manual clock and a recording sink: each event
// goes out when its time comes, silence at once, and the opens that fail here say why.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/clock.h"
#include "player/stream/alsa/alsa_driver.h"
#include "player/stream/handle_registry.h"
#include "player/stream/stream_core.h"
#include "tests/stream/synth_song_feeder.h"
#include "tests/stream/synth_stderr_capture.h"

namespace quirelle::stream::testing {
namespace {

struct SentEvent {
  std::uint64_t micros = 0;  // the clock when it went out
  snd_seq_event_t event{};
};

class RecordingSink final : public AlsaEventSink {
 public:
  RecordingSink(const platform::Clock& clock, std::vector<SentEvent>& sent, std::mutex& mutex)
      : clock_(clock), sent_(sent), mutex_(mutex) {}
  void Output(const snd_seq_event_t& event) override {
    std::lock_guard lock(mutex_);
    sent_.push_back({clock_.NowMicros(), event});
  }

 private:
  const platform::Clock& clock_;
  std::vector<SentEvent>& sent_;
  std::mutex& mutex_;
};

class AlsaDeviceTest : public ::testing::Test {
 protected:
  AlsaDeviceTest()
      : driver(MakeAlsaDriver(
            [this](AlsaOpenFailure*) {
              return std::make_unique<RecordingSink>(clock, sent_, mutex_);
            },
            clock)) {}

  ~AlsaDeviceTest() override {
    if (stream != nullptr) {
      midiStreamStop(stream);
      midiStreamClose(stream);
    }
  }

  void Open(std::uint32_t division = 96) {
    std::uint32_t device = MIDI_MAPPER;
    ASSERT_EQ(driver->midiStreamOpen(&stream, &device, 1, &IgnoreMessages, 0, CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    MIDIPROPTIMEDIV property{sizeof(MIDIPROPTIMEDIV), division};
    ASSERT_EQ(midiStreamProperty(stream, reinterpret_cast<std::uint8_t*>(&property),
                                 MIDIPROP_SET | MIDIPROP_TIMEDIV),
              MMSYSERR_NOERROR);
  }

  void Queue(const std::vector<SongEvent>& song) {
    const std::vector<MIDIEVENT> events = ToStreamEvents(song);
    bytes_.assign(reinterpret_cast<const std::uint8_t*>(events.data()),
                  reinterpret_cast<const std::uint8_t*>(events.data() + events.size()));
    header_.lpData = bytes_.data();
    header_.dwBufferLength = static_cast<std::uint32_t>(bytes_.size());
    header_.dwBytesRecorded = header_.dwBufferLength;
    ASSERT_EQ(midiOutPrepareHeader(stream, &header_, sizeof(MIDIHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamOut(stream, &header_, sizeof(MIDIHDR)), MMSYSERR_NOERROR);
  }

  // Moves the clock on and plays what is due, as the real-time pump does at the event times.
  void Advance(std::uint64_t micros) {
    clock.Advance(micros);
    HandleRegistry::Instance().Find(stream)->PlayUntil(clock.NowMicros());
  }

  std::vector<SentEvent> Sent() {
    std::lock_guard lock(mutex_);
    return sent_;
  }

  platform::ManualClock clock;
  std::unique_ptr<AlsaDriver> driver;
  HMIDISTRM stream = nullptr;

 private:
  std::mutex mutex_;
  std::vector<SentEvent> sent_;
  std::vector<std::uint8_t> bytes_;
  MIDIHDR header_;
};

TEST_F(AlsaDeviceTest, EachEventGoesOutWhenItsTimeComesWithTheTempoInForce) {
  Open(96);
  Queue({{0, ShortWord(0x90, 60, 100)},
         {96, ShortWord(0x80, 60, 0)},
         {96, TempoWord(250000)},
         {192, ShortWord(0xB0, 7, 90)},
         {288, ShortWord(0xE0, 0, 0x40)}});
  ASSERT_EQ(midiStreamRestart(stream), MMSYSERR_NOERROR);
  Advance(0);
  Advance(499999);
  ASSERT_EQ(Sent().size(), 1u);
  Advance(1);  // 500000 µs: a quarter note at 500000 µs a quarter
  Advance(249999);
  ASSERT_EQ(Sent().size(), 2u);
  Advance(1);  // 750000 µs: the next quarter at 250000 µs
  Advance(250000);
  const std::vector<SentEvent> sent = Sent();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0].micros, 0u);
  EXPECT_EQ(sent[0].event.type, SND_SEQ_EVENT_NOTEON);
  EXPECT_EQ(sent[1].micros, 500000u);
  EXPECT_EQ(sent[1].event.type, SND_SEQ_EVENT_NOTEOFF);
  EXPECT_EQ(sent[2].micros, 750000u);
  EXPECT_EQ(sent[2].event.type, SND_SEQ_EVENT_CONTROLLER);
  EXPECT_EQ(sent[2].event.data.control.value, 90);
  EXPECT_EQ(sent[3].micros, 1000000u);
  EXPECT_EQ(sent[3].event.type, SND_SEQ_EVENT_PITCHBEND);
  EXPECT_EQ(sent[3].event.data.control.value, 0);
}

TEST_F(AlsaDeviceTest, PauseSilencesEveryChannelAtOnceAndHoldsTheRest) {
  Open(96);
  Queue({{0, ShortWord(0x90, 60, 100)}, {96, ShortWord(0x80, 60, 0)}});
  ASSERT_EQ(midiStreamRestart(stream), MMSYSERR_NOERROR);
  Advance(100000);
  ASSERT_EQ(midiStreamPause(stream), MMSYSERR_NOERROR);
  std::vector<SentEvent> sent = Sent();
  ASSERT_EQ(sent.size(), 1u + 16 * 4);
  bool channels[16] = {};
  for (std::size_t i = 1; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].micros, 100000u);  // no clock movement needed
    EXPECT_EQ(sent[i].event.type, SND_SEQ_EVENT_CONTROLLER);
    if (sent[i].event.data.control.param == 123) {
      channels[sent[i].event.data.control.channel] = true;
    }
  }
  for (const bool channel : channels) {
    EXPECT_TRUE(channel);
  }
  Advance(1000000);
  EXPECT_EQ(Sent().size(), sent.size());  // paused: the note-off waits
  ASSERT_EQ(midiStreamRestart(stream), MMSYSERR_NOERROR);
  Advance(400000);  // the 400000 µs left of the quarter note
  sent = Sent();
  ASSERT_EQ(sent.size(), 2u + 16 * 4);
  EXPECT_EQ(sent.back().event.type, SND_SEQ_EVENT_NOTEOFF);
  EXPECT_EQ(sent.back().micros, 1500000u);
}

TEST_F(AlsaDeviceTest, AShortMessageGoesOutAtOnceEvenWhenStopped) {
  Open();
  ASSERT_EQ(midiOutShortMsg(stream, 0x3F07B0), MMSYSERR_NOERROR);
  const std::vector<SentEvent> sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].event.type, SND_SEQ_EVENT_CONTROLLER);
  EXPECT_EQ(sent[0].event.data.control.param, 7u);
  EXPECT_EQ(sent[0].event.data.control.value, 63);
}

TEST_F(AlsaDeviceTest, MessagesWithoutASequencerEventAreLeftOut) {
  Open();
  ASSERT_EQ(midiOutShortMsg(stream, 0x643C), MMSYSERR_NOERROR);  // no status byte
  ASSERT_EQ(midiOutShortMsg(stream, 0xF4), MMSYSERR_NOERROR);    // undefined
  EXPECT_TRUE(Sent().empty());
}

TEST(AlsaDriver, ASinkThatCannotBeMadeFailsTheOpenWithItsReason) {
  platform::ManualClock clock;
  std::unique_ptr<AlsaDriver> driver = MakeAlsaDriver(
      [](AlsaOpenFailure* failure) {
        *failure = {MIDIERR_NODEVICE, "no ALSA synthesizer port", "ports: 0:0 0:1 14:0"};
        return std::unique_ptr<AlsaEventSink>();
      },
      clock);
  HMIDISTRM stream = nullptr;
  std::uint32_t device = 0;
  EXPECT_EQ(driver->midiStreamOpen(&stream, &device, 1, &IgnoreMessages, 0, CALLBACK_FUNCTION),
            MIDIERR_NODEVICE);
  EXPECT_EQ(driver->LastErrorText(), "no ALSA synthesizer port");
  EXPECT_EQ(driver->LastErrorDetail(), "ports: 0:0 0:1 14:0");
  EXPECT_EQ(stream, nullptr);
}

TEST(AlsaDriver, WithoutASequencerFailsWithAReasonAndPrintsNothing) {
  if (std::filesystem::exists("/dev/snd/seq")) {
    GTEST_SKIP() << "this machine has an ALSA sequencer";
  }
  std::unique_ptr<AlsaDriver> driver = MakeAlsaDriver(AlsaOptions{});
  HMIDISTRM stream = nullptr;
  std::uint32_t device = MIDI_MAPPER;
  StderrCapture capture;
  const MMRESULT result =
      driver->midiStreamOpen(&stream, &device, 1, &IgnoreMessages, 0, CALLBACK_FUNCTION);
  EXPECT_EQ(capture.Text(), "");
  EXPECT_EQ(result, MMSYSERR_NODRIVER);
  EXPECT_EQ(driver->LastErrorText(), "no ALSA sequencer");
  EXPECT_NE(driver->LastErrorDetail().find("snd_seq_open"), std::string::npos);
  EXPECT_EQ(stream, nullptr);
}

}  // namespace
}  // namespace quirelle::stream::testing
