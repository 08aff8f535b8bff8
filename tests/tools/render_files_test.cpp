// quirelle-render's audio files end to end: each format read back by libsndfile, the rehearsal
// tracks of --parts (their names, each voice's level measured from the samples, the centred
// voice), and the command line's own answers (--help, --version, the errors of a render).
#include <sndfile.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "player/stream/synth/audio_file_writer.h"
#include "tests/stream/synth_wav_reader.h"
#include "tests/support/midi_image.h"
#include "tests/support/run_command.h"

namespace {

namespace fs = std::filesystem;
using quirelle::stream::AudioFileFormat;

const fs::path kHymn = fs::path(QUIRELLE_CORPUS_DIR) / "abc2midi/satb1_old_hundredth.mid";

std::string Quote(const fs::path& path) {
  // Appended, not `"'" + path.string()`: GCC 12 at -O3 sees a false overlap in that insert at
  // the front (-Werror=restrict).
  std::string quoted(1, '\'');
  quoted += path.string();
  quoted += '\'';
  return quoted;
}

std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A folder of its own for each test, gone afterwards.
class RenderFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("quirelle-render-" + std::to_string(::getpid()) + "-" + test->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  struct Run {
    int status = -1;
    std::string out;
    std::string err;
  };

  // Runs quirelle-render in the test's folder, after the shell command `before` when given.
  Run Render(const std::string& args, const std::string& before = "") const {
    const fs::path errPath = dir_ / "stderr.txt";
    const std::string command = "cd " + Quote(dir_) + " && " + before + QUIRELLE_RENDER_BIN + " " +
                                args + " 2>" + Quote(errPath);
    Run run;
    const quirelle::testing::CommandRun commandRun = quirelle::testing::RunCommand(command);
    run.status = commandRun.status;
    run.out = commandRun.out;
    run.err = FileText(errPath);
    fs::remove(errPath);
    return run;
  }

  fs::path dir_;
};

// An audio file as libsndfile reads it back, in floats.
using Audio = quirelle::stream::testing::AudioContents<float>;

Audio ReadAudio(const fs::path& path) {
  return quirelle::stream::testing::ReadAudioFile<float>(path.string());
}

double Rms(const std::vector<float>& samples) {
  double sum = 0;
  for (const float s : samples) {
    sum += static_cast<double>(s) * s;
  }
  return samples.empty() ? 0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

// Which formats this libsndfile writes, asked of it directly.
bool LibraryWrites(int format, int rate) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  info.format = format;
  return sf_format_check(&info) != 0;
}

TEST_F(RenderFiles, EachFormatIsReadBackWithItsFormatRateAndLength) {
  struct Row {
    const char* output;  // the arguments that choose the file and its format
    const char* file;
    int format;
  };
  const Row rows[] = {
      {"-o out.wav", "out.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
      {"-o out.flac", "out.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
      {"--format ogg -o out.audio", "out.audio", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
      {"-o OUT.MP3", "OUT.MP3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
  };
  const std::string song = " --tempo 300 --rate 22050 " + Quote(kHymn);
  ASSERT_EQ(Render("-o " + Quote(dir_ / "reference.wav") + song).status, 0);
  const Audio reference = ReadAudio(dir_ / "reference.wav");
  ASSERT_TRUE(reference.ok);
  ASSERT_GT(reference.frames(), 22050u);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.output);
    std::string output = row.output;
    output.replace(output.rfind(' ') + 1, std::string::npos, Quote(dir_ / row.file));
    const Run run = Render(output + song);
    if (!LibraryWrites(row.format, 22050)) {
      EXPECT_EQ(run.status, 2);
      EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
      EXPECT_FALSE(fs::exists(dir_ / row.file));
      continue;
    }
    ASSERT_EQ(run.status, 0) << run.err;
    const Audio audio = ReadAudio(dir_ / row.file);
    ASSERT_TRUE(audio.ok);
    EXPECT_EQ(audio.format, row.format);
    EXPECT_EQ(audio.sampleRate, 22050);
    EXPECT_EQ(audio.frames(), reference.frames());
    if ((row.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16) {
      EXPECT_TRUE(audio.samples == reference.samples) << "16-bit files hold the same samples";
    } else {
      EXPECT_NEAR(Rms(audio.samples) / Rms(reference.samples), 1.0, 0.1);
    }
  }
}

// Least squares: the gains g that make `mix` closest to g1 stem1 + ... + g4 stem4, over every
// sample of both channels (a file shorter than another counts as silence after its end), and the
// share of the mix's energy the stems leave unexplained.
struct Fit {
  std::array<double, 4> gains{};
  double residualShare = 1;
};

Fit FitGains(const Audio& mix, const std::array<Audio, 4>& stems) {
  auto sample = [](const Audio& audio, std::size_t i) {
    return i < audio.samples.size() ? static_cast<double>(audio.samples[i]) : 0.0;
  };
  std::size_t length = mix.samples.size();
  for (const Audio& stem : stems) {
    length = std::max(length, stem.samples.size());
  }
  // The normal equations A g = b, A[j][k] = <stem_j, stem_k>, b[j] = <stem_j, mix>.
  std::array<std::array<double, 5>, 4> a{};
  double mixEnergy = 0;
  for (std::size_t i = 0; i < length; ++i) {
    const double m = sample(mix, i);
    mixEnergy += m * m;
    for (std::size_t j = 0; j < 4; ++j) {
      const double sj = sample(stems[j], i);
      for (std::size_t k = 0; k < 4; ++k) {
        a[j][k] += sj * sample(stems[k], i);
      }
      a[j][4] += sj * m;
    }
  }
  const std::array<std::array<double, 5>, 4> normal = a;
  for (std::size_t col = 0; col < 4; ++col) {  // Gauss-Jordan with partial pivoting
    std::size_t pivot = col;
    for (std::size_t row = col + 1; row < 4; ++row) {
      if (std::fabs(a[row][col]) > std::fabs(a[pivot][col])) {
        pivot = row;
      }
    }
    std::swap(a[col], a[pivot]);
    if (a[col][col] == 0) {
      return {};
    }
    for (std::size_t row = 0; row < 4; ++row) {
      if (row != col) {
        const double factor = a[row][col] / a[col][col];
        for (std::size_t k = col; k < 5; ++k) {
          a[row][k] -= factor * a[col][k];
        }
      }
    }
  }
  Fit fit;
  for (std::size_t j = 0; j < 4; ++j) {
    fit.gains[j] = a[j][4] / a[j][j];
  }
  // |mix - S g|^2 = |mix|^2 - 2 g.b + g.A g
  double explained = 0;
  for (std::size_t j = 0; j < 4; ++j) {
    explained += 2 * fit.gains[j] * normal[j][4];
    for (std::size_t k = 0; k < 4; ++k) {
      explained -= fit.gains[j] * normal[j][k] * fit.gains[k];
    }
  }
  fit.residualShare = mixEnergy > 0 ? (mixEnergy - explained) / mixEnergy : 1;
  return fit;
}

std::set<std::string> FileNamesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// The hymn's voices are on channels 1 to 4 and unnamed, so the engine calls them "Channel N".
// Each voice rendered alone at 100 % is a stem; the synthesizer mixes voices by adding them, so
// each track is a sum of the stems, and least squares finds the gain of each voice in it. The
// others at 30 % scale the song's channel volume 100 to 30, which the General MIDI volume curve
// (40 log10(30/100) dB, -21 dB) turns into 0.09 of the amplitude. (The hymn sets no pan, so a
// track's centred voice sounds as in its stem.) A voice's minus track has it at 0 and the others
// at full.
TEST_F(RenderFiles, PartsOfTheHymnHoldEachVoiceAtFullOverTheOthersAtThirtyPercent) {
  const fs::path parts = dir_ / "tracks" / "hymn";  // made with its parent
  const std::string song = " --rate 22050 " + Quote(kHymn);
  ASSERT_EQ(Render("--minus --parts " + Quote(parts) + song).status, 0);
  const std::array<std::string, 9> files = {
      "Channel 1.wav",       "Channel 2.wav",       "Channel 3.wav",
      "Channel 4.wav",       "Tutti.wav",           "Channel 1 minus.wav",
      "Channel 2 minus.wav", "Channel 3 minus.wav", "Channel 4 minus.wav"};
  // Each track's words beside it: the hymn's karaoke text, for every voice.
  std::set<std::string> names(files.begin(), files.end());
  for (const std::string& file : files) {
    names.insert(fs::path(file).replace_extension(".lrc").string());
  }
  EXPECT_EQ(FileNamesIn(parts), names);
  std::ifstream tutti(parts / "Tutti.lrc");
  const std::string words((std::istreambuf_iterator<char>(tutti)),
                          std::istreambuf_iterator<char>());
  EXPECT_EQ(words, Render("--lyrics" + song).out);

  const std::array<const char*, 4> solo = {"100,0,0,0", "0,100,0,0", "0,0,100,0", "0,0,0,100"};
  std::array<Audio, 4> stems;
  for (std::size_t voice = 0; voice < 4; ++voice) {
    const fs::path stem = dir_ / ("stem" + std::to_string(voice) + ".wav");
    ASSERT_EQ(Render(std::string("--volumes ") + solo[voice] + " -o " + Quote(stem) + song).status,
              0);
    stems[voice] = ReadAudio(stem);
    ASSERT_TRUE(stems[voice].ok);
  }
  const double quiet = std::pow(30.0 / 100.0, 2);
  for (std::size_t part = 0; part < files.size(); ++part) {
    SCOPED_TRACE(files[part]);
    const Audio mix = ReadAudio(parts / files[part]);
    ASSERT_TRUE(mix.ok);
    const Fit fit = FitGains(mix, stems);
    std::printf("%-14s gains %.4f %.4f %.4f %.4f, unexplained %.6f %%\n", files[part].c_str(),
                fit.gains[0], fit.gains[1], fit.gains[2], fit.gains[3], 100 * fit.residualShare);
    EXPECT_LT(fit.residualShare, 0.01) << "the track is a sum of the voices";
    std::string volumes = "--volumes ";  // built by appending, as Quote explains
    for (std::size_t voice = 0; voice < 4; ++voice) {
      const bool missing = part == 5 + voice;
      const bool full = part == 4 || part == voice || (part > 4 && !missing);
      const double gain = missing ? 0.0 : (full ? 1.0 : quiet);
      EXPECT_NEAR(fit.gains[voice], gain, full ? 0.02 : 0.01) << "voice " << voice;
      volumes += voice == 0 ? "" : ",";
      volumes += missing ? "0" : full ? "100" : "30";
    }
    // The set is mixed from stems; a render of the track alone gives the same samples to within
    // -60 dB, and the same length.
    const fs::path alone = dir_ / "alone.wav";
    volumes += " -o ";
    volumes += Quote(alone);
    ASSERT_EQ(Render(volumes + song).status, 0);
    const Audio reference = ReadAudio(alone);
    ASSERT_EQ(mix.samples.size(), reference.samples.size());
    double difference = 0;
    double energy = 0;
    for (std::size_t i = 0; i < mix.samples.size(); ++i) {
      difference += std::pow(static_cast<double>(mix.samples[i]) - reference.samples[i], 2);
      energy += std::pow(static_cast<double>(reference.samples[i]), 2);
    }
    const double decibels = 10 * std::log10(std::max(difference, 1e-30) / energy);
    std::printf("%-20s differs from the track alone by %.1f dB\n", files[part].c_str(), decibels);
    EXPECT_LT(decibels, -60.0);
  }
}

// A made-up song whose four voices, panned hard left, sing one after another (organ notes of
// half a second, 1.5 s apart), on tracks named so that their file names need care.
fs::path WriteLeftPannedSong(const fs::path& dir) {
  using quirelle::testing::TrackData;
  const std::array<std::string, 4> names = {"Sop/Alt", "Tenor", "tenor", "Bass"};
  std::vector<TrackData> tracks(1);
  tracks[0].Tempo(0, 500000).End(6 * 96 * 3);
  for (std::uint8_t voice = 0; voice < 4; ++voice) {
    TrackData track;
    const auto cc = static_cast<std::uint8_t>(0xB0 | voice);
    const auto on = static_cast<std::uint8_t>(0x90 | voice);
    const auto key = static_cast<std::uint8_t>(60 + 4 * voice);
    track.Text(0, 0x03, names[voice])
        .Event(0, {static_cast<std::uint8_t>(0xC0 | voice), 19})
        .Event(0, {cc, 10, 0})
        .Event(voice * 288u, {on, key, 100})
        .Event(96, {on, key, 0})
        .End();
    tracks.push_back(track);
  }
  const fs::path path = dir / "left.mid";
  std::ofstream out(path, std::ios::binary);
  const auto image = quirelle::testing::MidiImage(1, 96, tracks);
  out.write(reinterpret_cast<const char*>(image.data()),
            static_cast<std::streamsize>(image.size()));
  return path;
}

// Energy of each channel while voice `slot` holds its note (the steady middle of it).
std::array<double, 2> SlotEnergy(const Audio& audio, std::size_t slot) {
  const auto first = static_cast<std::size_t>((slot * 1.5 + 0.1) * audio.sampleRate);
  const auto last = static_cast<std::size_t>((slot * 1.5 + 0.4) * audio.sampleRate);
  std::array<double, 2> energy{};
  for (std::size_t frame = first; frame < last && frame < audio.frames(); ++frame) {
    for (std::size_t side = 0; side < 2; ++side) {
      const double s = audio.samples[2 * frame + side];
      energy[side] += s * s;
    }
  }
  return energy;
}

TEST_F(RenderFiles, PartsAreNamedAfterTheVoicesAndSoundTheirVoiceFromTheCentre) {
  const fs::path song = WriteLeftPannedSong(dir_);
  const fs::path parts = dir_ / "parts";
  ASSERT_EQ(Render("--format flac --rate 22050 --parts " + Quote(parts) + " " + Quote(song)).status,
            0);
  const std::array<std::string, 5> files = {"Sop-Alt.flac", "Tenor.flac", "tenor (2).flac",
                                            "Bass.flac", "Tutti.flac"};
  EXPECT_EQ(FileNamesIn(parts), std::set<std::string>(files.begin(), files.end()));
  for (std::size_t part = 0; part < files.size(); ++part) {
    SCOPED_TRACE(files[part]);
    const Audio audio = ReadAudio(parts / files[part]);
    ASSERT_TRUE(audio.ok);
    for (std::size_t voice = 0; voice < 4; ++voice) {
      const auto [left, right] = SlotEnergy(audio, voice);
      ASSERT_GT(left, 0) << "voice " << voice;
      const double rightShare = right / left;
      if (part == voice) {
        EXPECT_NEAR(rightShare, 1.0, 0.2) << "voice " << voice << " is in the middle";
      } else {
        EXPECT_LT(rightShare, 0.1) << "voice " << voice << " stays on the left";
      }
    }
  }
}

// --info's seconds come from the tempo map, at the written tempo: a bar at 120 beats a minute
// (2 s), then one at 240 set by the first track and 60 by the second at the same tick, where the
// first track's holds, as it does in play (1 s); a count-in bar goes at the starting tempo, and a
// loop repeats it all.
TEST_F(RenderFiles, InfoGivesTheLengthFromTheTempoMap) {
  using quirelle::testing::TrackData;
  std::vector<TrackData> tracks(2);
  tracks[0].Tempo(0, 500000).Tempo(1920, 250000).End(1920);
  tracks[1].Event(0, {0x90, 60, 100}).Tempo(1920, 1000000).Event(1920, {0x80, 60, 0}).End();
  const fs::path song = dir_ / "tempi.mid";
  const auto image = quirelle::testing::MidiImage(1, 480, tracks);
  std::ofstream(song, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()),
             static_cast<std::streamsize>(image.size()));
  const std::pair<const char*, const char*> rows[] = {
      {"", "seconds: 3.0\n"},
      {"--tempo 50", "seconds: 3.0\n"},
      {"--from-bar 2", "seconds: 1.0\n"},
      {"--from-bar 1 --to-bar 1 --count-in --loop 2", "seconds: 8.0\n"},
  };
  for (const auto& [args, seconds] : rows) {
    SCOPED_TRACE(args);
    const Run run = Render(std::string(args) + " --info " + Quote(song));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(seconds), std::string::npos) << run.out;
  }
}

// Each format into a folder with too little room: a small tmpfs where one can be mounted, else a
// limit on the size of any file the render writes. Either way nothing of the run may stay.
TEST_F(RenderFiles, AFullDiskIsReportedAndLeavesNoFileBehind) {
  const fs::path room = dir_ / "room";
  fs::create_directories(room);
  const bool mounted = ::mount("tmpfs", room.c_str(), "tmpfs", 0, "size=32k") == 0;
  const std::string limit = mounted ? "" : "ulimit -f 64 && ";
  const std::string reason = mounted ? "No space left on device" : "File too large";
  const std::string song = " --rate 22050 " + Quote(kHymn);
  for (const AudioFileFormat format : quirelle::stream::kAudioFileFormats) {
    const std::string name(quirelle::stream::AudioFileFormatName(format));
    if (!quirelle::stream::AudioFileProblem(format, 22050).empty()) {
      continue;
    }
    for (const std::string& output :
         {"-o " + Quote(room / ("out." + name)), "--parts " + Quote(room / "tracks")}) {
      SCOPED_TRACE(output + " as " + name);
      const Run run = Render("--format " + name + " " + output + song, limit);
      EXPECT_EQ(run.status, 2);
      EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
      EXPECT_TRUE(FileNamesIn(room).empty()) << *FileNamesIn(room).begin();
    }
  }
  if (mounted) {
    ::umount2(room.c_str(), MNT_DETACH);
  }
}

TEST_F(RenderFiles, TheCommandLineAnswersForItselfAndRefusesWhatCannotBeRendered) {
  const Run help = Render("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"-o OUT",           "--parts DIR", "--events",
                             "--info",           "--format",    "--tempo",
                             "--volumes",        "--soundfont", "--rate",
                             "--from-bar",       "--to-bar",    "--from-tick",
                             "--count-in",       "--loop",      "--transpose",
                             "--mute",           "--solo",      "--speed-up STEP[:TARGET]",
                             "--starting-notes", "--minus",     "--help",
                             "--version"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  const Run version = Render("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "quirelle-render " QUIRELLE_VERSION "\n");

  fs::create_directories(dir_ / "blocked" / "Channel 2.wav");  // a folder where a file must go
  std::ofstream(dir_ / "plain").put('x');
  const bool mp3 = LibraryWrites(SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100);
  struct Refused {
    std::string args;
    std::string says;
    const char* notMade;  // a file or folder the render must not leave behind
  };
  const Refused rows[] = {
      {"--from-bar 7 -o out.wav", "quirelle-render: the song has bars 1 to 5", "out.wav"},
      {"--to-bar 0 -o out.wav", "quirelle-render: the song has bars 1 to 5", "out.wav"},
      {"--pickup 1 --from-bar 6 -o out.wav", "quirelle-render: the song has bars 0 to 5",
       "out.wav"},
      {"--from-bar 5 --to-bar 4 --parts tracks", "quirelle-render: bar 5 comes after bar 4",
       "tracks"},
      {"--from-tick 99999 --to-bar 2 -o out.wav",
       "quirelle-render: tick 99999 is past the end of bar 2", "out.wav"},
      {"--format mp3 --rate 96000 -o out.mp3",
       mp3 ? "quirelle-render: cannot write MP3 at 96000 Hz"
           : "quirelle-render: this libsndfile cannot write MP3 files",
       "out.mp3"},
      {"--parts plain/tracks", "quirelle-render: cannot make the folder plain/tracks", "plain"},
      {"--parts blocked", "cannot write blocked/Channel 2.wav", "blocked/Channel 1.wav"},
  };
  for (const Refused& row : rows) {
    SCOPED_TRACE(row.args);
    const Run run = Render(row.args + " " + Quote(kHymn));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    if (std::string(row.notMade) != "plain") {
      EXPECT_FALSE(fs::exists(dir_ / row.notMade));
    }
  }
}

}  // namespace
