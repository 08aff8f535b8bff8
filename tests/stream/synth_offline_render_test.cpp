// The offline synthesizer with the real SoundFont: the file it writes, its length, the same
// samples on every run, each note starting at its own sample, the options and the failures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "player/stream/synth/soundfont.h"
#include "player/stream/synth/synth_block_scheduler.h"
#include "player/stream/synth/synth_driver.h"
#include "tests/stream/synth_song_feeder.h"
#include "tests/stream/synth_wav_reader.h"

namespace quirelle::stream::testing {
namespace {

constexpr std::uint32_t kDivision = 96;
constexpr std::uint64_t kBlock = SynthBlockScheduler::kBlockFrames;
constexpr std::chrono::seconds kRenderLimit{20};

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("quirelle-synth-" + std::to_string(::getpid()) + "-" + name))
      .string();
}

// Eight eighth notes up a C major scale at 120 quarter notes a minute: two seconds.
std::vector<SongEvent> Scale() {
  std::vector<SongEvent> song = {{0, ShortWord(0xC0, 0, 0)}};
  const std::uint32_t keys[] = {60, 62, 64, 65, 67, 69, 71, 72};
  for (std::uint32_t i = 0; i < 8; ++i) {
    song.push_back({i * 48, ShortWord(0x90, keys[i], 100)});
    song.push_back({i * 48 + 44, ShortWord(0x80, keys[i], 0)});
  }
  song.push_back({384, ShortWord(0xB0, 7, 100)});  // the song's end: 2 s
  return song;
}

class OfflineRender : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FindSoundFont("")) << "no General MIDI SoundFont: install fluid-soundfont-gm";
  }
  void TearDown() override {
    for (const std::string& path : paths_) {
      std::filesystem::remove(path);
    }
  }

  std::string Path(const std::string& name) {
    paths_.push_back(TempPath(name));
    return paths_.back();
  }

  // Renders `song` to `path`; the file's contents, or nothing if any step failed.
  static std::optional<WavContents> Render(const std::vector<SongEvent>& song,
                                           const std::string& path,
                                           const SynthOptions& options = {}) {
    std::unique_ptr<OfflineSynthDriver> driver = MakeOfflineSynthDriver(options, path);
    {
      SongFeeder feeder(ToStreamEvents(song), kDivision, 5);
      if (feeder.Open(*driver) != MMSYSERR_NOERROR) {
        ADD_FAILURE() << "open: " << driver->LastErrorText();
        return std::nullopt;
      }
      EXPECT_EQ(feeder.Play(), MMSYSERR_NOERROR);
      // A render that hangs fails here, well inside the test's timeout; the driver is only
      // waited for once the stream has closed.
      if (!feeder.WaitUntilClosed(kRenderLimit)) {
        ADD_FAILURE() << "the render did not end within " << kRenderLimit.count() << " s";
        return std::nullopt;
      }
    }
    driver->WaitUntilClosed();
    if (!driver->Finish()) {
      ADD_FAILURE() << "finish: " << driver->FinishError();
      return std::nullopt;
    }
    WavContents wav = ReadWav(path);
    EXPECT_TRUE(wav.ok);
    EXPECT_EQ(wav.frames(), driver->FramesRendered());
    return wav;
  }

  static int Peak(const WavContents& wav) {
    int peak = 0;
    for (const std::int16_t sample : wav.samples) {
      peak = std::max(peak, std::abs(static_cast<int>(sample)));
    }
    return peak;
  }

  // The first frame with a non-zero sample at or after `from`.
  static std::optional<std::uint64_t> FirstSound(const WavContents& wav, std::uint64_t from = 0) {
    for (std::uint64_t frame = from; frame < wav.frames(); ++frame) {
      if (wav.samples[2 * frame] != 0 || wav.samples[2 * frame + 1] != 0) {
        return frame;
      }
    }
    return std::nullopt;
  }

 private:
  std::vector<std::string> paths_;
};

TEST_F(OfflineRender, AShortSongSoundsAtAListeningLevelForItsLengthPlusTheTail) {
  const std::vector<SongEvent> song = Scale();
  const std::optional<WavContents> wav = Render(song, Path("scale.wav"));
  ASSERT_TRUE(wav);
  EXPECT_EQ(wav->sampleRate, 44100);
  EXPECT_EQ(wav->channels, 2);
  EXPECT_EQ(wav->format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  const std::uint64_t end = NearestGridPoint(SampleOfTick(song, kDivision, 44100, 384), 64);
  const std::uint64_t songFrames = (end / kBlock + 1) * kBlock;
  const std::uint64_t longestTail = (44100 * kReleaseTailSeconds + kBlock - 1) / kBlock * kBlock;
  EXPECT_GE(wav->frames(), songFrames + kBlock);
  EXPECT_LE(wav->frames(), songFrames + longestTail);
  // Loud enough to hear (above -20 dBFS), not clipped.
  const int peak = Peak(*wav);
  EXPECT_GT(peak, 3277);
  EXPECT_LT(peak, 32767);
  // The last block is silence: the tail ended because the sound had died away, or at its limit.
  const bool silentEnd = std::all_of(wav->samples.end() - 2 * kBlock, wav->samples.end(),
                                     [](std::int16_t s) { return s == 0; });
  EXPECT_TRUE(silentEnd || wav->frames() == songFrames + longestTail);
}

TEST_F(OfflineRender, RenderingTwiceGivesTheSameSamples) {
  const std::vector<SongEvent> song = Scale();
  const std::optional<WavContents> first = Render(song, Path("first.wav"));
  const std::optional<WavContents> second = Render(song, Path("second.wav"));
  ASSERT_TRUE(first && second);
  ASSERT_EQ(first->frames(), second->frames());
  EXPECT_TRUE(first->samples == second->samples);
}

TEST_F(OfflineRender, EachNoteStartsAtTheGridPointNearestItsExactSample) {
  // One piano note after silence per render, at ticks that fall between grid points (the tempo
  // makes a tick 5000 µs, 220.5 samples).
  std::vector<std::uint64_t> attacks;
  for (const std::uint32_t tick : {0u, 1u, 17u, 50u, 97u, 251u}) {
    const std::vector<SongEvent> song = {{0, TempoWord(480000)},
                                         {0, ShortWord(0xC0, 0, 0)},
                                         {tick, ShortWord(0x90, 72, 120)},
                                         {tick + 24, ShortWord(0x80, 72, 0)}};
    const std::optional<WavContents> wav = Render(song, Path("onset.wav"));
    ASSERT_TRUE(wav);
    const ExactSamples exact = SampleOfTick(song, kDivision, 44100, tick);
    const std::uint64_t gridPoint = NearestGridPoint(exact, 64);
    const std::uint64_t exactFloor = exact.Floor();
    EXPECT_LE(gridPoint > exactFloor ? gridPoint - exactFloor : exactFloor - gridPoint, 32u);
    const std::optional<std::uint64_t> first = FirstSound(*wav);
    ASSERT_TRUE(first);
    ASSERT_GE(*first, gridPoint) << "tick " << tick;  // silence up to the grid point
    attacks.push_back(*first - gridPoint);
  }
  // The sound rises out of 16-bit silence a few samples into the attack, the same at every tick.
  EXPECT_LT(attacks[0], 16u);
  for (const std::uint64_t attack : attacks) {
    EXPECT_EQ(attack, attacks[0]);
  }
}

TEST_F(OfflineRender, TheSampleRateOptionSetsTheFileRateAndTheTimeScale) {
  SynthOptions options;
  options.sampleRate = 22050;
  const std::vector<SongEvent> song = {
      {0, ShortWord(0xC0, 0, 0)}, {96, ShortWord(0x90, 60, 100)}, {120, ShortWord(0x80, 60, 0)}};
  const std::optional<WavContents> wav = Render(song, Path("rate.wav"), options);
  ASSERT_TRUE(wav);
  EXPECT_EQ(wav->sampleRate, 22050);
  const std::optional<std::uint64_t> first = FirstSound(*wav);
  ASSERT_TRUE(first);
  const std::uint64_t gridPoint = NearestGridPoint(SampleOfTick(song, kDivision, 22050, 96), 64);
  EXPECT_GE(*first, gridPoint);
  EXPECT_LT(*first, gridPoint + 16);
}

TEST_F(OfflineRender, TheGainOptionScalesTheLevel) {
  SynthOptions quiet;
  quiet.gain = 0.25;
  SynthOptions loud;
  loud.gain = 0.5;
  const std::optional<WavContents> a = Render(Scale(), Path("quiet.wav"), quiet);
  const std::optional<WavContents> b = Render(Scale(), Path("loud.wav"), loud);
  ASSERT_TRUE(a && b);
  const double ratio = static_cast<double>(Peak(*b)) / Peak(*a);
  EXPECT_NEAR(ratio, 2.0, 0.1);
}

TEST_F(OfflineRender, PansSentToAHeldChannelLeaveItSoundingFromTheCentre) {
  std::vector<SongEvent> panned = Scale();
  panned.insert(panned.begin() + 1, {0, ShortWord(0xB0, 10, 0)});  // hard left
  panned.push_back({200, ShortWord(0xB0, 10, 127)});               // hard right
  SynthOptions held;
  held.centredPan.set(0);
  const std::optional<WavContents> centre = Render(Scale(), Path("centre.wav"));
  const std::optional<WavContents> heldPan = Render(panned, Path("held.wav"), held);
  const std::optional<WavContents> freePan = Render(panned, Path("free.wav"));
  ASSERT_TRUE(centre && heldPan && freePan);
  EXPECT_TRUE(heldPan->samples == centre->samples);
  EXPECT_FALSE(freePan->samples == centre->samples);
}

TEST_F(OfflineRender, ProgressCountsTheFramesUpToTheLast) {
  std::vector<std::uint64_t> reported;  // only the rendering thread adds while it runs
  SynthOptions options;
  options.progress = [&reported](std::uint64_t frames) { reported.push_back(frames); };
  const std::optional<WavContents> wav = Render(Scale(), Path("progress.wav"), options);
  ASSERT_TRUE(wav);
  ASSERT_GE(reported.size(), 10u);  // about ten a second of audio
  EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
  EXPECT_EQ(reported.back(), wav->frames());
}

TEST_F(OfflineRender, FinishEndsAStreamStillPlayingAndCompletesTheFile) {
  const std::string path = Path("unfinished.wav");
  std::unique_ptr<OfflineSynthDriver> driver = MakeOfflineSynthDriver({}, path);
  // A note held for an hour.
  SongFeeder feeder(
      ToStreamEvents({{0, ShortWord(0x90, 60, 100)}, {96 * 2 * 3600, ShortWord(0x80, 60, 0)}}),
      kDivision);
  ASSERT_EQ(feeder.Open(*driver), MMSYSERR_NOERROR);
  ASSERT_EQ(feeder.Play(), MMSYSERR_NOERROR);
  while (driver->FramesRendered() < 44100) {  // a second into the hour
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(driver->Finish());
  EXPECT_TRUE(driver->Finish());  // the same answer again
  const WavContents wav = ReadWav(path);
  EXPECT_TRUE(wav.ok);
  EXPECT_EQ(wav.frames(), driver->FramesRendered());
  EXPECT_GE(wav.frames(), 44100u);
  std::uint32_t device = MIDI_MAPPER;
  HMIDISTRM stream = nullptr;
  EXPECT_EQ(driver->midiStreamOpen(&stream, &device, 1, &IgnoreMessages, 0, CALLBACK_FUNCTION),
            MMSYSERR_NOTENABLED);
  EXPECT_NE(driver->LastErrorText().find("finished"), std::string::npos);
}

struct BadOpen {
  const char* name;
  SynthOptions options;
  std::string wavPath;
  MMRESULT code;
  const char* reason;
};

class OfflineOpenFailure : public OfflineRender, public ::testing::WithParamInterface<BadOpen> {};

TEST_P(OfflineOpenFailure, FailsWithAReasonAndWritesNothing) {
  const BadOpen& param = GetParam();
  const std::string path = param.wavPath.empty() ? Path("bad.wav") : param.wavPath;
  std::unique_ptr<OfflineSynthDriver> driver = MakeOfflineSynthDriver(param.options, path);
  std::uint32_t device = MIDI_MAPPER;
  HMIDISTRM stream = nullptr;
  EXPECT_EQ(driver->midiStreamOpen(&stream, &device, 1, &IgnoreMessages, 0, CALLBACK_FUNCTION),
            param.code);
  EXPECT_NE(driver->LastErrorText().find(param.reason), std::string::npos)
      << driver->LastErrorText();
  EXPECT_FALSE(driver->Finish());
  EXPECT_FALSE(driver->FinishError().empty());
  EXPECT_FALSE(std::filesystem::exists(path));
}

SynthOptions WithRate(std::uint32_t rate) {
  SynthOptions options;
  options.sampleRate = rate;
  return options;
}
SynthOptions WithGain(double gain) {
  SynthOptions options;
  options.gain = gain;
  return options;
}
SynthOptions WithSoundFont(const std::string& path) {
  SynthOptions options;
  options.soundFont = path;
  return options;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OfflineOpenFailure,
    ::testing::Values(
        BadOpen{"Unwritable", {}, "/nonexistent-dir/out.wav", MMSYSERR_ERROR, "cannot write"},
        BadOpen{"RateTooLow", WithRate(4000), "", MMSYSERR_INVALPARAM, "sample rate"},
        BadOpen{"RateTooHigh", WithRate(1000000), "", MMSYSERR_INVALPARAM, "sample rate"},
        BadOpen{"NegativeGain", WithGain(-1.0), "", MMSYSERR_INVALPARAM, "gain"},
        BadOpen{"NoSuchSoundFont", WithSoundFont("/nonexistent.sf2"), "", MMSYSERR_NODRIVER,
                "no SoundFont at /nonexistent.sf2"},
        BadOpen{"NotASoundFont", WithSoundFont("/etc/hostname"), "", MMSYSERR_NODRIVER,
                "no SoundFont at"}),
    [](const ::testing::TestParamInfo<BadOpen>& info) { return info.param.name; });

}  // namespace
}  // namespace quirelle::stream::testing
