// Opens that cannot work on a machine without sound: the live synthesizer and the default device
// fail cleanly, with a reason for the window and nothing printed; bad arguments are refused by
// every driver alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "player/stream/alsa/alsa_driver.h"
#include "player/stream/midi_stream.h"
#include "player/stream/synth/kept_synth.h"
#include "player/stream/synth/soundfont.h"
#include "player/stream/synth/synth_driver.h"
#include "tests/stream/synth_song_feeder.h"
#include "tests/stream/synth_stderr_capture.h"

namespace quirelle::stream::testing {
namespace {

MMRESULT OpenOn(StreamDriver& driver, HMIDISTRM* stream) {
  std::uint32_t device = MIDI_MAPPER;
  return driver.midiStreamOpen(stream, &device, 1, &IgnoreMessages, 0, CALLBACK_FUNCTION);
}

bool HasAlsaSequencer() {
  return std::filesystem::exists("/dev/snd/seq");
}

TEST(LiveSynthOpen, WithoutAnAudioOutputFailsWithAReasonAndPrintsNothing) {
  // Without a SoundFont the open fails before it looks for audio; CI installs one.
  ASSERT_TRUE(FindSoundFont("")) << "no General MIDI SoundFont: install fluid-soundfont-gm";
  std::unique_ptr<SynthDriver> driver = MakeLiveSynthDriver({});
  HMIDISTRM stream = nullptr;
  StderrCapture capture;
  const MMRESULT result = OpenOn(*driver, &stream);
  const std::string printed = capture.Text();
  if (result == MMSYSERR_NOERROR) {
    midiStreamClose(stream);
    GTEST_SKIP() << "this machine has an audio output, so the failed open cannot be seen";
  }
  EXPECT_EQ(result, MMSYSERR_NODRIVER);
  EXPECT_EQ(driver->LastErrorText(), "no audio output");
  EXPECT_FALSE(driver->LastErrorDetail().empty());  // what the audio drivers said, kept
  EXPECT_EQ(printed, "");
  EXPECT_EQ(stream, nullptr);
  // Again: each open tries afresh and fails the same way.
  EXPECT_EQ(OpenOn(*driver, &stream), MMSYSERR_NODRIVER);
  EXPECT_EQ(driver->LastErrorText(), "no audio output");
}

TEST(LiveSynthOpen, ANamedSoundFontThatIsNotThereIsSaidBeforeAnyAudioIsTried) {
  SynthOptions options;
  options.soundFont = "/nonexistent/piano.sf2";
  std::unique_ptr<SynthDriver> driver = MakeLiveSynthDriver(options);
  HMIDISTRM stream = nullptr;
  EXPECT_EQ(OpenOn(*driver, &stream), MMSYSERR_NODRIVER);
  EXPECT_EQ(driver->LastErrorText(), "no SoundFont at /nonexistent/piano.sf2");
}

TEST(DefaultDevice, WithNeitherAudioNorSequencerNamesBothAndPrintsNothing) {
  std::unique_ptr<StreamDriver> driver = MakeDefaultDriver();
  HMIDISTRM stream = nullptr;
  StderrCapture capture;
  const MMRESULT result = OpenOn(*driver, &stream);
  const std::string printed = capture.Text();
  if (result == MMSYSERR_NOERROR) {
    midiStreamClose(stream);
    GTEST_SKIP() << "this machine has a sound output, so the failed open cannot be seen";
  }
  EXPECT_EQ(printed, "");
  if (HasAlsaSequencer()) {
    EXPECT_EQ(result, MIDIERR_NODEVICE);
    EXPECT_NE(driver->LastErrorText().find("no ALSA synthesizer port"), std::string::npos);
    return;
  }
  EXPECT_EQ(result, MMSYSERR_NODRIVER);
  const std::string synthReason = FindSoundFont("") ? "no audio output" : "no SoundFont found";
  EXPECT_EQ(driver->LastErrorText(), synthReason + "; no ALSA sequencer");
}

TEST(LiveSynthOpen, KeepsOneSynthesizerAndSilencesAndResetsItForTheNextStream) {
  const std::optional<std::string> soundFont = FindSoundFont("");
  ASSERT_TRUE(soundFont) << "the General MIDI SoundFont (fluid-soundfont-gm) is not installed";
  FluidSetup setup;
  setup.soundFontPath = *soundFont;
  KeptSynth kept;
  SynthOpenFailure failure;
  std::unique_ptr<FluidLease> first = kept.Lease(setup, &failure);
  ASSERT_TRUE(first) << failure.reason;
  fluid_synth_t* synth = first->unit().fluid.synth.get();
  fluid_synth_program_change(synth, 0, 52);
  fluid_synth_cc(synth, 0, 64, 127);
  fluid_synth_noteon(synth, 0, 60, 100);
  std::vector<float> left(4410), right(4410);
  for (int block = 0; block < 5; ++block) {  // half a second of the chord, into the reverb too
    first->unit().renderer->Render(left.data(), right.data(), 4410);
  }
  {
    // A second stream while the first still plays gets a synthesizer of its own.
    std::unique_ptr<FluidLease> second = kept.Lease(setup, &failure);
    ASSERT_TRUE(second);
    EXPECT_NE(second->unit().fluid.synth.get(), synth);
  }
  first.reset();
  std::unique_ptr<FluidLease> next = kept.Lease(setup, &failure);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->unit().fluid.synth.get(), synth);
  // Nothing of the last stream sounds in the next one: no voice, no release, no reverb.
  EXPECT_EQ(fluid_synth_get_active_voice_count(synth), 0);
  float loudest = 0;
  for (int block = 0; block < 10; ++block) {
    next->unit().renderer->Render(left.data(), right.data(), 4410);
    for (std::size_t i = 0; i < left.size(); ++i) {
      loudest = std::max({loudest, std::fabs(left[i]), std::fabs(right[i])});
    }
  }
  EXPECT_LT(loudest, 3e-5f) << "the last stream's sound reaches the next one";
  int value = -1;
  fluid_synth_get_cc(synth, 0, 64, &value);
  EXPECT_EQ(value, 0);
  int soundFontId = 0, bank = 0, program = 0;
  fluid_synth_get_program(synth, 0, &soundFontId, &bank, &program);
  EXPECT_EQ(program, 0);
}

TEST(LiveSynthOpen, AFailedFirstMakeIsTriedAgain) {
  KeptSynth kept;
  FluidSetup setup;
  setup.soundFontPath = "/nonexistent/piano.sf2";
  SynthOpenFailure failure;
  EXPECT_FALSE(kept.Lease(setup, &failure));
  EXPECT_EQ(failure.reason, "SoundFont /nonexistent/piano.sf2 could not be loaded");
  EXPECT_FALSE(kept.Made());
  const std::optional<std::string> soundFont = FindSoundFont("");
  ASSERT_TRUE(soundFont);
  setup.soundFontPath = *soundFont;
  EXPECT_TRUE(kept.Lease(setup, &failure));
  EXPECT_TRUE(kept.Made());
}

TEST(LiveSynthOpen, StreamsOneAfterAnotherPlayOnTheNullOutput) {
  SynthOptions options;
  options.audio = {"alsa", "null"};
  std::unique_ptr<SynthDriver> driver = MakeLiveSynthDriver(options);
  for (int song = 0; song < 3; ++song) {
    HMIDISTRM stream = nullptr;
    ASSERT_EQ(OpenOn(*driver, &stream), MMSYSERR_NOERROR) << driver->LastErrorText();
    EXPECT_EQ(midiOutShortMsg(stream, 0x647C90), MMSYSERR_NOERROR);  // a note left on
    EXPECT_EQ(midiStreamClose(stream), MMSYSERR_NOERROR);
  }
}

struct BadArguments {
  const char* name;
  bool nullHandle;
  std::uint32_t device;
  std::uint32_t count;
  bool nullCallback;
  std::uint32_t flags;
  MMRESULT expected;
};

struct DriverMaker {
  const char* name;
  std::function<std::unique_ptr<StreamDriver>()> make;
};

class RefusedOpen : public ::testing::TestWithParam<std::tuple<BadArguments, DriverMaker>> {};

TEST_P(RefusedOpen, IsRefusedBeforeAnythingIsOpened) {
  const auto& [args, maker] = GetParam();
  std::unique_ptr<StreamDriver> driver = maker.make();
  HMIDISTRM stream = nullptr;
  std::uint32_t device = args.device;
  EXPECT_EQ(driver->midiStreamOpen(args.nullHandle ? nullptr : &stream, &device, args.count,
                                   args.nullCallback ? nullptr : &IgnoreMessages, 0, args.flags),
            args.expected);
  EXPECT_EQ(stream, nullptr);
  EXPECT_FALSE(driver->LastErrorText().empty());
}

INSTANTIATE_TEST_SUITE_P(Drivers, RefusedOpen,
                         ::testing::
                             Combine(
                                 ::testing::Values(BadArguments{"NullHandle", true, MIDI_MAPPER, 1, false, CALLBACK_FUNCTION, MMSYSERR_INVALPARAM}, BadArguments{"TwoDevices", false, MIDI_MAPPER, 2, false, CALLBACK_FUNCTION, MMSYSERR_INVALPARAM}, BadArguments{"NoCallbackFlag", false, MIDI_MAPPER, 1, false, 0, MMSYSERR_INVALFLAG}, BadArguments{"NullCallback", false, MIDI_MAPPER, 1, true, CALLBACK_FUNCTION, MMSYSERR_INVALPARAM}, BadArguments{"DeviceSeven", false, 7, 1, false, CALLBACK_FUNCTION, MMSYSERR_BADDEVICEID}), ::testing::
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                             Values(
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                 DriverMaker{"Default",
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                             [] {
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                               return MakeDefaultDriver();
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                             }},
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                 DriverMaker{
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                     "LiveSynth",
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                     [] {
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                       return std::unique_ptr<
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                           StreamDriver>(
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                           MakeLiveSynthDriver(
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                               {}));
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                     }},
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                 DriverMaker{
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                     "OfflineSynth",
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                     [] {
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                       return std::unique_ptr<
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                           StreamDriver>(
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                           MakeOfflineSynthDriver(
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                               {},
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                               "/nonexistent-dir/never.wav"));
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                     }},
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                 DriverMaker{
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                     "Alsa",
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                     [] {
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                       return std::unique_ptr<
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                           StreamDriver>(
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                           MakeAlsaDriver(
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                               AlsaOptions{}));
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                     }})),
                         [](const ::testing::TestParamInfo<RefusedOpen::ParamType>& info) {
                           return std::string(std::get<0>(info.param).name) + "_" +
                                  std::get<1>(info.param).name;
                         });

}  // namespace
}  // namespace quirelle::stream::testing
