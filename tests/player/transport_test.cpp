// The transport on the virtual device with its real callback thread: play, pause, resume, stop,
// the end of a song, volumes, the long stop and the device errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>

#include "tests/player/transport_rig.h"

namespace quirelle::testing {
namespace {

using Kind = stream::RecordedMessage::Kind;

constexpr std::uint64_t kSecond = 1'000'000;

bool IsNoteOn(std::uint32_t message) {
  return (message & 0xF0) == 0x90 && (message >> 16) != 0;
}

long NoteOnsPlayed(const TransportRig& rig) {
  const auto events = rig.Recorded(Kind::kEvent);
  return std::count_if(events.begin(), events.end(),
                       [](const stream::RecordedMessage& m) { return IsNoteOn(m.message); });
}

TEST(Transport, PlayPauseResumeStop) {
  TransportRig rig;
  ASSERT_EQ(rig.Load(FourVoiceSong(16)), 1);
  EXPECT_FALSE(rig.engine.playing());
  ASSERT_EQ(rig.engine.Play(false), 1);
  EXPECT_TRUE(rig.engine.playing());
  rig.driver.Advance(kSecond);
  EXPECT_EQ(rig.Ticks(), 960u);  // two quarter notes at 500000 µs

  EXPECT_EQ(rig.engine.Pause(), 0);
  EXPECT_TRUE(rig.engine.paused());
  const auto notesBefore = rig.Recorded(Kind::kEvent).size();
  rig.driver.Advance(kSecond);
  EXPECT_EQ(rig.Ticks(), 960u);
  EXPECT_EQ(rig.Recorded(Kind::kEvent).size(), notesBefore);
  EXPECT_FALSE(rig.Recorded(Kind::kSilence).empty());

  EXPECT_EQ(rig.engine.Resume(), 0);
  EXPECT_FALSE(rig.engine.paused());
  rig.driver.Advance(kSecond / 2);
  EXPECT_EQ(rig.Ticks(), 1440u);

  rig.Posted();
  EXPECT_EQ(rig.engine.Stop(), 1);
  EXPECT_FALSE(rig.engine.playing());
  EXPECT_EQ(TransportRig::Count(rig.Posted(), rwm_playedoff), 1);
  EXPECT_EQ(rig.Ticks(), 0xFFFFFFFFu);  // the device is closed
}

TEST(Transport, PauseAndResumeOnlyActWhenTheyMeanSomething) {
  TransportRig rig;
  ASSERT_EQ(rig.Load(FourVoiceSong(8)), 1);
  rig.engine.Pause();  // not playing
  EXPECT_FALSE(rig.engine.paused());
  rig.engine.Resume();  // not paused
  ASSERT_EQ(rig.engine.Play(true), 1);
  rig.engine.Pause();
  rig.engine.Pause();
  EXPECT_TRUE(rig.engine.paused());
  EXPECT_EQ(rig.engine.Play(false), 1);  // resumes, keeps the loop flag
  EXPECT_FALSE(rig.engine.paused());
  EXPECT_TRUE(rig.engine.loop());
  rig.engine.Stop();
}

TEST(Transport, SongEndsByItselfClosesTheDeviceAndPostsPlayedOffOnce) {
  TransportRig rig;
  ASSERT_EQ(rig.Load(FourVoiceSong(4)), 1);  // two seconds
  ASSERT_EQ(rig.engine.Play(false), 1);
  rig.driver.Advance(5 * kSecond);
  const auto posted = rig.Posted();
  EXPECT_EQ(TransportRig::Count(posted, rwm_playedoff), 1);
  EXPECT_FALSE(rig.engine.playing());
  // One position message per returned buffer, the running total never going back.
  std::uintptr_t last = 0;
  long buffers = 0;
  for (const auto& m : posted) {
    if (m.message == rwm_positionchanged) {
      EXPECT_GE(m.wParam, last);
      last = m.wParam;
      ++buffers;
    }
  }
  EXPECT_GE(buffers, 2);
  EXPECT_GT(last, 0u);
  // Every note of the song was played.
  const long notes = NoteOnsPlayed(rig);
  EXPECT_EQ(notes, 16);
  // A stop after the end finds no device.
  EXPECT_EQ(rig.engine.Stop(), 0);
  EXPECT_EQ(TransportRig::Count(rig.Posted(), rwm_playedoff), 0);
}

TEST(Transport, ShortSongEndsWhenBothBuffersAreBack) {
  TransportRig rig;
  ASSERT_EQ(rig.Load(MidiImage(
                0, 96, {TrackData().Event(0, {0x90, 60, 100}).Event(96, {0x80, 60, 0}).End()})),
            1);
  ASSERT_EQ(rig.engine.Play(false), 1);
  rig.driver.Advance(2 * kSecond);
  EXPECT_EQ(TransportRig::Count(rig.Posted(), rwm_playedoff), 1);
  EXPECT_FALSE(rig.engine.playing());
}

TEST(Transport, LoopFlagPlaysTheSongAgain) {
  TransportRig rig;
  ASSERT_EQ(rig.Load(FourVoiceSong(2)), 1);  // one second
  ASSERT_EQ(rig.engine.Play(true), 1);
  rig.driver.Advance(2 * kSecond + kSecond / 2);
  const long notes = NoteOnsPlayed(rig);
  EXPECT_GE(notes, 8 * 2);
  EXPECT_TRUE(rig.engine.playing());
  rig.engine.SetLoop(false);  // takes effect at the next end of the song
  rig.driver.Advance(3 * kSecond);
  EXPECT_FALSE(rig.engine.playing());
  EXPECT_EQ(TransportRig::Count(rig.Posted(), rwm_playedoff), 1);
}

// The song's volume controllers scaled by the voice's percentage: what the channel sounds at.
struct VolumeCase {
  const char* name;
  std::uint8_t songVolume;      // the song's controller at tick 0 of channel 1; 0xFF: none
  std::uint32_t percentAtLoad;  // set before the song is loaded
  std::uint32_t percentLater;   // set while playing, after the song's controller has played
  std::uint32_t playedValue;    // the controller as the song's event played
  std::uint32_t sentValue;      // what the later percentage sends at once
};

class VoiceVolume : public ::testing::TestWithParam<VolumeCase> {};

TEST_P(VoiceVolume, ScalesTheSongsOwnVolume) {
  const VolumeCase& c = GetParam();
  TrackData track;
  if (c.songVolume != 0xFF) {
    track.Event(0, {0xB0, 7, c.songVolume});
  }
  track.Event(0, {0x90, 60, 100}).Event(1920, {0x80, 60, 0}).End();
  TransportRig rig;
  rig.engine.SetChannelVolume(0, c.percentAtLoad);  // not playing: kept, nothing sent
  ASSERT_EQ(rig.Load(MidiImage(0, 480, {track})), 1);
  EXPECT_TRUE(rig.Recorded(Kind::kShortMsg).empty());
  ASSERT_EQ(rig.engine.Play(false), 1);
  rig.driver.Advance(kSecond / 10);
  rig.driver.WaitIdle();
  const auto events = rig.Recorded(Kind::kEvent);
  if (c.songVolume != 0xFF) {
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().message, 0x07B0u | (c.playedValue << 16));
  }
  rig.engine.SetChannelVolume(0, c.percentLater);
  const auto sent = rig.Recorded(Kind::kShortMsg);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent.back().message, 0x07B0u | (c.sentValue << 16));
  rig.engine.Stop();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VoiceVolume,
    ::testing::Values(VolumeCase{"NoSongVolumeScalesTheDefault", 0xFF, 100, 50, 0, 50},
                      VolumeCase{"FullPercentKeepsTheSongs", 80, 100, 100, 80, 80},
                      VolumeCase{"HalfOfTheSongs", 127, 50, 50, 63, 63},
                      VolumeCase{"ALaterPercentScalesWhatThePlayedSongSet", 80, 100, 25, 80, 20},
                      VolumeCase{"AboveFullCountsAsFull", 64, 150, 0, 64, 0}),
    [](const ::testing::TestParamInfo<VolumeCase>& info) { return std::string(info.param.name); });

TEST(Transport, AVolumeWrittenBeforeAPercentChangeIsMendedWhenItPlays) {
  TransportRig rig;
  TrackData track;
  track.Event(0, {0x90, 60, 100}).Event(240, {0xB0, 7, 100}).Event(1680, {0x80, 60, 0}).End();
  ASSERT_EQ(rig.Load(MidiImage(0, 480, {track})), 1);
  ASSERT_EQ(rig.engine.Play(false), 1);
  rig.engine.SetChannelVolume(0, 40);  // the controller at tick 240 is already in a buffer
  rig.driver.Advance(kSecond / 2);
  rig.driver.WaitIdle();
  const auto sent = rig.Recorded(Kind::kShortMsg);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].message, 0x2807B0u);  // 40 % of the default 100
  EXPECT_EQ(sent[1].message, 0x2807B0u);  // 40 % of the song's 100, right after it played
  const auto count = sent.size();
  rig.engine.SetChannelVolume(16, 50);  // no such channel
  EXPECT_EQ(rig.Recorded(Kind::kShortMsg).size(), count);
  rig.engine.Stop();
}

// A madrigal's five voices on channels 1 to 5 and a piano on channel 6, each at the song's
// volume 100: a mute or solo while playing sends each voice's channel what it now sounds at.
struct SilenceCase {
  const char* name;
  std::uint32_t channel;  // 0-based
  bool solo;
  std::array<std::uint32_t, 6> sent;  // channels 1 to 6; 0xFF: nothing sent
};

class FivePartsAndPiano : public ::testing::TestWithParam<SilenceCase> {};

TEST_P(FivePartsAndPiano, MuteAndSoloReachEveryVoicesChannel) {
  const SilenceCase& c = GetParam();
  std::vector<TrackData> tracks;
  const char* names[] = {"Canto", "Quinto", "Alto", "Tenore", "Basso", "Piano"};
  for (std::uint8_t channel = 0; channel < 6; ++channel) {
    TrackData track;
    track.Text(0, 0x03, names[channel]).Event(0, {static_cast<std::uint8_t>(0xC0 | channel), 0});
    track.Event(0, {static_cast<std::uint8_t>(0x90 | channel), 60, 100})
        .Event(1920, {static_cast<std::uint8_t>(0x80 | channel), 60, 0})
        .End();
    tracks.push_back(track);
  }
  TransportRig rig;
  ASSERT_EQ(rig.Load(MidiImage(1, 480, tracks)), 1);
  ASSERT_EQ(rig.engine.Play(false), 1);
  rig.driver.Advance(kSecond / 10);
  rig.driver.WaitIdle();
  if (c.solo) {
    rig.engine.SetVoiceSoloed(c.channel, true);
  } else {
    rig.engine.SetVoiceMuted(c.channel, true);
  }
  std::array<std::uint32_t, 6> sent;
  sent.fill(0xFF);
  for (const auto& message : rig.Recorded(Kind::kShortMsg)) {
    ASSERT_EQ(message.message & 0xFFF0, 0x07B0u);
    ASSERT_LT(message.message & 0x0F, 6u);
    sent[message.message & 0x0F] = message.message >> 16;
  }
  EXPECT_EQ(sent, c.sent);
  rig.engine.Stop();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FivePartsAndPiano,
    ::testing::Values(SilenceCase{"MutingTheFifth", 4, false, {100, 100, 100, 100, 0, 100}},
                      SilenceCase{"SoloingTheFifthLeavesThePiano", 4, true, {0, 0, 0, 0, 100, 100}},
                      SilenceCase{"SoloingTheFirst", 0, true, {100, 0, 0, 0, 0, 100}},
                      SilenceCase{
                          "SoloingThePianoSilencesTheSingers", 5, true, {0, 0, 0, 0, 0, 100}}),
    [](const ::testing::TestParamInfo<SilenceCase>& info) { return std::string(info.param.name); });

// Runs Stop while the device clock moves on in steps of 50 ms.
int StopWhileTimePasses(TransportRig& rig, std::uint64_t* waitedMicros) {
  int result = -1;
  *waitedMicros = DeviceTimeOf(
      rig, [&] { result = rig.engine.Stop(); }, 50'000);
  return result;
}

TEST(Transport, UserStopsReturnAtOnceAndLeaveEveryChannelSilent) {
  struct Case {
    const char* name;
    bool pauseFirst;
    bool reload;  // the window's Rewind: a stop, then the song loaded again
  };
  const Case cases[] = {
      {"Stop", false, false},
      {"Rewind", false, true},
      {"StopWhilePaused", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TransportRig rig;
    const Bytes song = HeldChordSong(16);
    ASSERT_EQ(rig.Load(song), 1);
    ASSERT_EQ(rig.engine.Play(false), 1);
    rig.driver.Advance(kSecond);  // the chord sounds, every pedal of the song down
    ASSERT_EQ(WhatIsLeftSounding(rig.driver.Messages()).notes.size(), 4u);
    if (c.pauseFirst) {
      ASSERT_EQ(rig.engine.Pause(), 0);
    }
    rig.Posted();
    int stopped = -1;
    int loaded = 1;
    const std::uint64_t took = DeviceTimeOf(
        rig,
        [&] {
          stopped = rig.engine.Stop();
          loaded = c.reload ? rig.Load(song) : 1;
        },
        1'000);
    EXPECT_EQ(stopped, 1);
    EXPECT_EQ(loaded, 1);
    EXPECT_LE(took, 50'000u) << "µs of device time";
    EXPECT_FALSE(rig.engine.playing());
    // Counted from every pedal down, so the stop must release all 16 channels.
    const LeftSounding left = WhatIsLeftSounding(rig.driver.Messages(), AllPedalsDown());
    EXPECT_TRUE(left.notes.empty()) << left.notes.size() << " notes left sounding";
    EXPECT_TRUE(left.sustained.empty()) << left.sustained.size() << " channels left sustained";
  }
}

TEST(Transport, StopGivesUpWaitingForKeptBuffersAfterTwoSeconds) {
  TransportRig rig;
  ASSERT_EQ(rig.Load(FourVoiceSong(16)), 1);
  ASSERT_EQ(rig.engine.Play(false), 1);
  rig.driver.Advance(kSecond);
  rig.driver.HoldBuffers(true);
  rig.Posted();
  std::uint64_t waited = 0;
  EXPECT_EQ(StopWhileTimePasses(rig, &waited), 1);
  EXPECT_GE(waited, 2 * kSecond);
  EXPECT_FALSE(rig.engine.playing());
  EXPECT_EQ(TransportRig::Count(rig.Posted(), rwm_playedoff), 1);
  EXPECT_EQ(rig.Ticks(), 0xFFFFFFFFu);
}

TEST(Transport, SignalOfAnEarlierStopDoesNotCutALaterWaitShort) {
  TransportRig rig;
  ASSERT_EQ(rig.Load(FourVoiceSong(2)), 1);
  ASSERT_EQ(rig.engine.Play(false), 1);
  rig.driver.Advance(3 * kSecond);  // the song ends; the callback side stops and signals
  ASSERT_FALSE(rig.engine.playing());
  ASSERT_EQ(rig.Load(FourVoiceSong(16)), 1);
  ASSERT_EQ(rig.engine.Play(false), 1);
  rig.driver.Advance(kSecond);
  rig.driver.HoldBuffers(true);
  std::uint64_t waited = 0;
  EXPECT_EQ(StopWhileTimePasses(rig, &waited), 1);
  EXPECT_GE(waited, 2 * kSecond);
}

TEST(Transport, ReadErrorDuringPlayEndsTheSongLikeItsEnd) {
  TrackData track;
  for (int i = 0; i < 300; ++i) {
    track.Event(i == 0 ? 0 : 24, {0x90, 60, 100});
  }
  track.Raw({0x10, 0x90, 0x3C});  // cut inside an event
  TransportRig rig;
  ASSERT_EQ(rig.Load(MidiImage(0, 96, {track})), 1);
  ASSERT_EQ(rig.engine.Play(false), 1);
  rig.driver.Advance(60 * kSecond);
  EXPECT_FALSE(rig.engine.playing());
  EXPECT_EQ(TransportRig::Count(rig.Posted(), rwm_playedoff), 1);
}

TEST(Transport, PlayWhilePlayingStopsAndTheRestartFails) {
  TransportRig rig;
  ASSERT_EQ(rig.Load(FourVoiceSong(8)), 1);
  ASSERT_EQ(rig.engine.Play(false), 1);
  EXPECT_EQ(rig.engine.Play(false), 0);
  EXPECT_FALSE(rig.engine.playing());
  EXPECT_EQ(TransportRig::Count(rig.Posted(), rwm_playedoff), 1);
}

TEST(Transport, StopWithoutADeviceFails) {
  TransportRig rig;
  EXPECT_EQ(rig.engine.Stop(), 0);
  EXPECT_EQ(rig.engine.state(), player::Stopping);
  EXPECT_TRUE(rig.Posted().empty());
}

TEST(Transport, RewindByReloadPlaysFromTheStartAgain) {
  TransportRig rig;
  const Bytes song = FourVoiceSong(8);
  ASSERT_EQ(rig.Load(song), 1);
  ASSERT_EQ(rig.engine.Play(false), 1);
  rig.driver.Advance(kSecond);
  ASSERT_EQ(rig.engine.Stop(), 1);
  rig.driver.ClearMessages();
  ASSERT_EQ(rig.Load(song), 1);
  ASSERT_EQ(rig.engine.Play(false), 1);
  rig.driver.Advance(kSecond / 10);
  const auto events = rig.Recorded(Kind::kEvent);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front().micros, 0u);
  EXPECT_EQ(events.front().tick, 0u);
  rig.engine.Stop();
}

TEST(Transport, FailedOpenClosesTheHalfOpenedDeviceQuietly) {
  TransportRig rig;
  rig.driver.FailOperation(stream::StreamOperation::kProperty, stream::MMSYSERR_ERROR);
  EXPECT_EQ(rig.Load(FourVoiceSong(4)), 0);
  EXPECT_TRUE(rig.engine.file().HasImage());
  EXPECT_TRUE(rig.Posted().empty());  // nothing was playing: the dialog hears nothing
  const auto callbacks = rig.driver.CallbackMessages();
  EXPECT_NE(std::find(callbacks.begin(), callbacks.end(), stream::MOM_CLOSE), callbacks.end());
  rig.driver.ClearFailures();
  ASSERT_EQ(rig.Load(FourVoiceSong(4)), 1);
  EXPECT_EQ(rig.engine.Play(false), 1);
  rig.engine.Stop();
}

TEST(Transport, DeviceThatCannotOpenFailsTheLoadWithItsReason) {
  TransportRig rig;
  rig.driver.FailOperation(stream::StreamOperation::kOpen, stream::MMSYSERR_NODRIVER);
  EXPECT_EQ(rig.Load(FourVoiceSong(4)), 0);
  EXPECT_FALSE(rig.engine.lastOpenError().empty());
  EXPECT_EQ(rig.engine.Play(false), 0);
}

TEST(Transport, DestroyingAPlayingEnginePostsNothing) {
  stream::VirtualDriver driver;
  platform::MessageQueueWindow window;
  PostingListener listener(window);
  {
    player::CNotifyingPlayer engine(driver, driver.clock());
    engine.SetListener(&listener);
    MemoryFile file(FourVoiceSong(8));
    ASSERT_EQ(engine.LoadFromFile(file), 1);
    ASSERT_EQ(engine.Play(false), 1);
    driver.Advance(kSecond);
    driver.WaitIdle();
    while (window.Take(0)) {
    }
  }
  driver.WaitIdle();
  EXPECT_FALSE(window.Take(0).has_value());
}

}  // namespace
}  // namespace quirelle::testing

namespace quirelle::testing {
namespace {

TEST(Transport, SongThatEndsInItsFirstBuffersEndsRightAfterPlay) {
  // Both buffers may come back the moment the device starts; none of them may be missed.
  TransportRig rig(stream::VirtualDriver::Mode::kRealTime);
  const Bytes empty = MidiImage(1, 480, {TrackData().End(), TrackData().End()});
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(rig.Load(empty), 1);
    ASSERT_EQ(rig.engine.Play(false), 1);
    bool closed = false;
    while (auto message = rig.window.Take(5000)) {
      if (message->message == rwm_playedoff) {
        closed = true;
        break;
      }
    }
    ASSERT_TRUE(closed) << "round " << i;
    EXPECT_FALSE(rig.engine.playing());
  }
}

TEST(Transport, StopAfterTheDeviceRefusedARefillDoesNotWait) {
  TransportRig rig;
  ASSERT_EQ(rig.Load(FourVoiceSong(16)), 1);
  ASSERT_EQ(rig.engine.Play(false), 1);
  rig.driver.FailOperation(stream::StreamOperation::kOut, stream::MMSYSERR_NOMEM);
  rig.driver.Advance(kSecond);  // both buffers come back and cannot go out again
  EXPECT_EQ(TransportRig::Count(rig.Posted(), rwm_playedoff), 1);
  EXPECT_FALSE(rig.engine.playing());
  std::uint64_t waited = 0;
  StopWhileTimePasses(rig, &waited);
  EXPECT_LT(waited, 2 * kSecond);
}

}  // namespace
}  // namespace quirelle::testing
