// quirelle-render end to end: every corpus file plays with exit status 0 but the listed ones, which
// give 2; the four-voice songs sound all four voices in time order; the WAV output and volumes.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/readable_file.h"
#include "smf/midi_file.h"
#include "tests/support/run_command.h"

namespace {

namespace fs = std::filesystem;

using RenderRun = quirelle::testing::CommandRun;

RenderRun RunRender(const std::string& args) {
  return quirelle::testing::RunCommand(std::string(QUIRELLE_RENDER_BIN) + " " + args +
                                       " 2>/dev/null");
}

std::string Quote(const fs::path& path) {
  std::string quoted(1, '\'');
  quoted.append(path.string()).push_back('\'');
  return quoted;
}

// The corpus files that cannot be played, and why: not Standard MIDI Files at all, or tracks that
// open with a status byte (F1-F6, F8-FE) that no track of a Standard MIDI File may hold, which the
// reader takes as damaged data.
const std::set<std::string> kRefused = {
    "jazz-soft-test-midi-files/test-empty-file.mid",
    "jazz-soft-test-midi-files/test-not-a-midi-file.mid",
    "jazz-soft-test-midi-files/test-syx-7e-06-01-id-request.syx",
    "jazz-soft-test-midi-files/test-illegal-message-all.mid",
    "jazz-soft-test-midi-files/test-illegal-message-f1-xx.mid",
    "jazz-soft-test-midi-files/test-illegal-message-f2-xx-xx.mid",
    "jazz-soft-test-midi-files/test-illegal-message-f3-xx.mid",
    "jazz-soft-test-midi-files/test-illegal-message-f4.mid",
    "jazz-soft-test-midi-files/test-illegal-message-f5.mid",
    "jazz-soft-test-midi-files/test-illegal-message-f6.mid",
    "jazz-soft-test-midi-files/test-illegal-message-f8.mid",
    "jazz-soft-test-midi-files/test-illegal-message-f9.mid",
    "jazz-soft-test-midi-files/test-illegal-message-fa.mid",
    "jazz-soft-test-midi-files/test-illegal-message-fb.mid",
    "jazz-soft-test-midi-files/test-illegal-message-fc.mid",
    "jazz-soft-test-midi-files/test-illegal-message-fd.mid",
    "jazz-soft-test-midi-files/test-illegal-message-fe.mid",
    "midly/Beethoven.rmi",  // a RIFF wrapper around the song
    "midly/PiDamaged.mid",
};

bool IsTextFile(const fs::path& path) {
  const std::string ext = path.extension().string();
  const std::string name = path.filename().string();
  return ext == ".txt" || ext == ".md" || ext == ".abc" || ext == ".ly" || ext == ".log" ||
         name.rfind("COPYRIGHT", 0) == 0 || name.rfind("LICENSE", 0) == 0;
}

TEST(RenderCorpus, EveryFilePlaysExceptTheListedOnesWhichAreRefused) {
  int played = 0;
  std::set<std::string> refused;
  for (const auto& entry : fs::recursive_directory_iterator(QUIRELLE_CORPUS_DIR)) {
    if (!entry.is_regular_file() || IsTextFile(entry.path())) {
      continue;
    }
    const std::string name = entry.path().lexically_relative(QUIRELLE_CORPUS_DIR).string();
    const RenderRun run = RunRender("--events " + Quote(entry.path()));
    if (kRefused.count(name) != 0) {
      EXPECT_EQ(run.status, 2) << name << " must be refused";
      refused.insert(name);
    } else {
      EXPECT_EQ(run.status, 0) << name << " must play";
      played += run.status == 0 ? 1 : 0;
    }
  }
  EXPECT_EQ(refused, kRefused) << "a listed file is missing from the corpus";
  EXPECT_GT(played, 120);
}

TEST(RenderCorpus, UnreadableAndUnplayableFilesGiveStatusTwo) {
  const fs::path corpus = QUIRELLE_CORPUS_DIR;
  for (const auto& name : {"jazz-soft-test-midi-files/test-empty-file.mid",
                           "jazz-soft-test-midi-files/test-not-a-midi-file.mid",
                           "midly/Beethoven.rmi", "no-such-file.mid"}) {
    EXPECT_EQ(RunRender("--events " + Quote(corpus / name)).status, 2) << name;
  }
  EXPECT_EQ(RunRender("--tempo 10 --events " + Quote(corpus / "midly")).status, 2);
}

struct NoteOn {
  unsigned long long time;
  unsigned channel;
};

// The note-ons printed for `file`, checking on the way that the notes' times never go back.
// (A volume sent while a buffer comes back carries the device clock, which may stand up to a
// microsecond past the exact time of the notes played right after it.)
std::vector<NoteOn> NoteOnsInTimeOrder(const fs::path& file) {
  const RenderRun run = RunRender("--events " + Quote(file));
  EXPECT_EQ(run.status, 0) << file;
  std::istringstream lines(run.out);
  std::string line;
  unsigned long long lastTime = 0;
  std::vector<NoteOn> notes;
  while (std::getline(lines, line)) {
    unsigned long long time = 0;
    unsigned tick = 0, status = 0, data1 = 0, data2 = 0;
    const int fields =
        std::sscanf(line.c_str(), "%llu %u %x %x %x", &time, &tick, &status, &data1, &data2);
    EXPECT_GE(fields, 4) << line;
    if ((status & 0xE0) != 0x80) {
      continue;
    }
    EXPECT_GE(time, lastTime) << file << ": " << line;
    lastTime = time;
    if (fields == 5 && (status & 0xF0) == 0x90 && data2 != 0) {
      notes.push_back({time, status & 0x0F});
    }
  }
  return notes;
}

TEST(RenderCorpus, FourVoiceSongsSoundEveryVoiceInTimeOrder) {
  struct Case {
    const char* file;
    // A song whose voices lie elsewhere plays voice k on channel k; a staff's two voices in one
    // track on one channel stay together.
    std::set<unsigned> channels;
  };
  const Case cases[] = {
      {"abc2midi/satb1_old_hundredth.mid", {0, 1, 2, 3}},
      {"abc2midi/satb2_meters_tempi.mid", {0, 1, 2, 3}},
      {"abc2midi/satb3_anacrusis_keychange.mid", {0, 1, 2, 3}},
      {"abc2midi/satb3_anacrusis_keychange_STFW.mid", {0, 1, 2, 3}},
      {"lilypond/satb_lily1.midi", {0, 1, 2, 3}},
      {"lilypond/satb_lily2_pickup_dynamics.midi", {0, 1, 2, 3}},
      {"lilypond/satb_lily3_two_staves.midi", {0, 1}},
      {"lilypond/satb_lily3_two_staves_voicemap.midi", {0, 1, 2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const auto notes = NoteOnsInTimeOrder(fs::path(QUIRELLE_CORPUS_DIR) / c.file);
    std::set<unsigned> channels;
    std::size_t mostAtOnce = 0;
    for (std::size_t i = 0, j = 0; i < notes.size(); i = j) {
      for (j = i; j < notes.size() && notes[j].time == notes[i].time; ++j) {
        channels.insert(notes[j].channel);
      }
      mostAtOnce = std::max(mostAtOnce, j - i);
    }
    EXPECT_EQ(channels, c.channels);
    EXPECT_GE(mostAtOnce, 4u);  // the four voices sound together somewhere
  }
}

TEST(RenderCorpus, TempoPercentScalesTheSongLength) {
  const fs::path song = fs::path(QUIRELLE_CORPUS_DIR) / "debian-timidity";
  for (const auto& entry : fs::directory_iterator(song)) {
    if (entry.path().extension() != ".mid") {
      continue;
    }
    auto lastTime = [&](const std::string& tempo) {
      const RenderRun run = RunRender("--tempo " + tempo + " --events " + Quote(entry.path()));
      EXPECT_EQ(run.status, 0);
      const auto end = run.out.rfind('\n', run.out.size() - 2);
      return std::stoull(run.out.substr(end == std::string::npos ? 0 : end + 1));
    };
    const auto normal = lastTime("100");
    const auto doubled = lastTime("200");
    EXPECT_NEAR(static_cast<double>(doubled), static_cast<double>(normal) / 2,
                normal * 0.01 + 1000);
  }
}

// The karaoke hymn (4/4, 480 ticks a beat, no tempo before tick 1, then 714285 µs a beat) with
// a count-in and two plays: the count-in clicks at the default 500000 µs a beat, 2 s, and tick 1
// comes 1041.7 µs later: "All" at 2.001 s. "sing" at tick 4801 is 4800 ticks of 1488.1 µs later,
// 9.144 s. The song ends at tick 9600, 9599 ticks after tick 1: 16.285 s; the second count-in
// and tick 1 again: 18.286 s. At 50 % every time doubles.
TEST(RenderLyrics, LinesComeAtTheirTimesThroughCountInAndRepeatsAndScaleWithTheTempo) {
  const std::string song =
      Quote(fs::path(QUIRELLE_CORPUS_DIR) / "abc2midi/satb1_old_hundredth.mid");
  auto lines = [&](const std::string& tempo) {
    const RenderRun run = RunRender("--lyrics --count-in --loop 2 --tempo " + tempo + " " + song);
    EXPECT_EQ(run.status, 0);
    std::vector<std::pair<double, std::string>> timed;
    std::istringstream in(run.out);
    for (std::string line; std::getline(in, line);) {
      timed.emplace_back(std::stoi(line.substr(1, 2)) * 60 + std::stod(line.substr(4, 5)),
                         line.substr(10));
    }
    return timed;
  };
  const auto normal = lines("100");
  const auto half = lines("50");
  ASSERT_EQ(normal.size(), 4u);
  ASSERT_EQ(half.size(), normal.size());
  const std::array<double, 3> byHand = {2.001, 9.144, 18.286};
  for (std::size_t i = 0; i < normal.size(); ++i) {
    if (i < byHand.size()) {
      EXPECT_NEAR(normal[i].first, byHand[i], 0.010) << i;
    }
    EXPECT_NEAR(half[i].first, 2 * normal[i].first, 0.010) << i;
    EXPECT_EQ(half[i].second, normal[i].second);
  }
  EXPECT_EQ(normal[0].second, "All people that on earth do dwell,");
  EXPECT_EQ(normal[1].second, "sing to the Lord with cheerful voice");
}

}  // namespace

namespace {

// The samples of a 16-bit stereo WAV file, from its data chunk; rate 0 when it is not one.
struct Pcm16 {
  std::uint32_t rate = 0;
  std::vector<std::int16_t> samples;  // interleaved left, right
  double seconds() const { return rate == 0 ? -1 : static_cast<double>(samples.size()) / 2 / rate; }
};

Pcm16 ReadPcm16(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto u32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
  };
  Pcm16 pcm;
  if (bytes.size() < 44 || std::string(bytes.data(), 4) != "RIFF") {
    return pcm;
  }
  std::uint32_t rate = 0;
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id(bytes.data() + at, 4);
    const std::uint32_t size = u32(at + 4);
    if (id == "fmt ") {
      rate = u32(at + 12);
    } else if (id == "data" && rate != 0 && size <= bytes.size() - at - 8) {
      pcm.rate = rate;
      pcm.samples.resize(size / 2);
      std::memcpy(pcm.samples.data(), bytes.data() + at + 8, pcm.samples.size() * 2);
      return pcm;
    }
    at += 8 + static_cast<std::size_t>(size) + (size & 1);
  }
  return pcm;
}

double WavSeconds(const fs::path& path) {
  return ReadPcm16(path).seconds();
}

// Root mean square of every sample, in sample units.
double Rms(const Pcm16& pcm) {
  double sum = 0;
  for (const std::int16_t sample : pcm.samples) {
    sum += static_cast<double>(sample) * sample;
  }
  return pcm.samples.empty() ? 0 : std::sqrt(sum / static_cast<double>(pcm.samples.size()));
}

TEST(RenderWav, LengthIsTheSongPlusItsReleaseTail) {
  const fs::path song = fs::path(QUIRELLE_CORPUS_DIR) / "abc2midi/satb1_old_hundredth.mid";
  const RenderRun events = RunRender("--tempo 150 --events " + Quote(song));
  ASSERT_EQ(events.status, 0);
  const auto lastLine = events.out.rfind('\n', events.out.size() - 2);
  const double songSeconds = std::stod(events.out.substr(lastLine + 1)) / 1e6;
  const fs::path wav = fs::temp_directory_path() / "quirelle-render-test.wav";
  ASSERT_EQ(RunRender("--tempo 150 --rate 22050 -o " + Quote(wav) + " " + Quote(song)).status, 0);
  const double seconds = WavSeconds(wav);
  EXPECT_GE(seconds, songSeconds);
  EXPECT_LE(seconds, songSeconds + 1.1);  // at most one second of release tail
  fs::remove(wav);
}

TEST(RenderWav, UnwritableOutputGivesStatusTwo) {
  const fs::path song = fs::path(QUIRELLE_CORPUS_DIR) / "abc2midi/satb1_old_hundredth.mid";
  EXPECT_EQ(RunRender("-o /no/such/folder/out.wav " + Quote(song)).status, 2);
}

}  // namespace

namespace {

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(RenderWav, SameSongAndSettingsGiveTheSameSamples) {
  const fs::path song = fs::path(QUIRELLE_CORPUS_DIR) / "abc2midi/satb2_meters_tempi.mid";
  const fs::path first = fs::temp_directory_path() / "quirelle-render-a.wav";
  const fs::path second = fs::temp_directory_path() / "quirelle-render-b.wav";
  const std::string args = "--tempo 130 --volumes 100,40,0,75 --rate 22050 -o ";
  ASSERT_EQ(RunRender(args + Quote(first) + " " + Quote(song)).status, 0);
  ASSERT_EQ(RunRender(args + Quote(second) + " " + Quote(song)).status, 0);
  const std::string a = FileBytes(first);
  EXPECT_GT(a.size(), 44u);
  EXPECT_TRUE(a == FileBytes(second)) << "the volumes must land at the same samples every run";
  fs::remove(first);
  fs::remove(second);
}

// Each voice alone, at full and at half volume, and all four silenced: the volumes reach the
// sound. At 50 % the channel volume is 63 of 127, which the General MIDI volume curve (about 40
// log10(63/127) dB, -12 dB) turns into about a quarter of the amplitude.
TEST(RenderWav, VolumesSetTheLevelOfEachVoice) {
  const fs::path song = fs::path(QUIRELLE_CORPUS_DIR) / "abc2midi/satb1_old_hundredth.mid";
  const fs::path wav = fs::temp_directory_path() / "quirelle-render-volumes.wav";
  auto level = [&](const std::string& volumes) {
    const std::string args = "--tempo 300 --rate 22050 --volumes " + volumes + " -o ";
    EXPECT_EQ(RunRender(args + Quote(wav) + " " + Quote(song)).status, 0) << volumes;
    const Pcm16 pcm = ReadPcm16(wav);
    EXPECT_GT(pcm.seconds(), 1.0) << volumes;
    return Rms(pcm);
  };
  EXPECT_LT(level("0,0,0,0"), 1.0) << "every voice at 0 % is silence";
  const std::array<const char*, 4> full = {"100,0,0,0", "0,100,0,0", "0,0,100,0", "0,0,0,100"};
  const std::array<const char*, 4> half = {"50,0,0,0", "0,50,0,0", "0,0,50,0", "0,0,0,50"};
  for (std::size_t voice = 0; voice < 4; ++voice) {
    SCOPED_TRACE(full[voice]);
    const double loud = level(full[voice]);
    const double quiet = level(half[voice]);
    EXPECT_GT(loud, 100.0) << "a voice at 100 % sounds";
    EXPECT_GT(quiet / loud, 0.15);
    EXPECT_LT(quiet / loud, 0.4);
  }
  fs::remove(wav);
}

}  // namespace

namespace {

// --info shows the names the files give their voice tracks (worked out from the files by hand).
TEST(RenderCorpus, InfoShowsTheNamesOfTheVoiceTracks) {
  struct Row {
    const char* file;
    const char* voices;
  };
  const Row rows[] = {
      {"debian-freedink-data/dink__dink__Sound__104.mid",
       "voice 1: Flute\nvoice 2: Violin\nvoice 3: Guitar\nvoice 4: Channel 4\n"},
      {"debian-openttd-openmsx/games__openttd__baseset__openmsx__run_for_your_life.mid",
       "voice 1: ELIOT\nvoice 2: FREDRIK\nvoice 3: TOBIAS\nvoice 4: LUCAS\n"},
      {"debian-timidity/doc__timidity__examples__test_sample.mid",
       "voice 1: Bass\nvoice 2: Piano (accompaniment)\nvoice 3: Jazz Guitar (accompaniment)\n"
       "voice 4: Channel 4\n"},
      {"lilypond/satb_lily3_two_staves.midi",
       "voice 1: women:sop\nvoice 2: men:ten\nvoice 3: Channel 3\nvoice 4: Channel 4\n"},
      {"debian-playmidi/doc__playmidi__examples__bach-invention-01.mid",
       "voice 1: one\nvoice 2: two\nvoice 3: Channel 3\nvoice 4: Channel 4\n"},
      // Every part on channel 1, one track each: the voices are the tracks, the horn among them.
      {"choir-exports/music21/bach_bwv1_6.mid",
       "voice 1: Horn 2 (accompaniment)\nvoice 2: Soprano\nvoice 3: Alto\nvoice 4: Tenor\n"
       "voice 5: Bass\n"},
      {"choir-exports/lilypond/bach_bwv24_6.mid",
       "voice 1: :PartPOneVoiceOne\nvoice 2: :PartPTwoVoiceOne\nvoice 3: :PartPThreeVoiceOne\n"},
  };
  for (const Row& row : rows) {
    const RenderRun run = RunRender("--info " + Quote(fs::path(QUIRELLE_CORPUS_DIR) / row.file));
    EXPECT_EQ(run.status, 0) << row.file;
    EXPECT_NE(run.out.find(row.voices), std::string::npos) << row.file << "\n" << run.out;
  }
}

// What a printed score shows of a chorale, from its file in choir-scores/ (one flat JSON object).
struct PrintedScore {
  std::vector<std::string> parts;
  std::vector<std::pair<int, double>> barStarts;  // printed number, start in quarter notes
  double pickupQuarters = 0;
  int division = 0;
};

PrintedScore ReadPrintedScore(const fs::path& path) {
  std::ifstream in(path);
  const std::string json((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  PrintedScore score;
  score.division = std::stoi(json.substr(json.find("\"division\":") + 11));
  const std::string parts = json.substr(json.find("\"parts\":["));
  for (std::size_t at = parts.find('"', 9); at < parts.find(']');) {
    const std::size_t end = parts.find('"', at + 1);
    score.parts.push_back(parts.substr(at + 1, end - at - 1));
    at = parts.find('"', end + 1);
  }
  // "measures":[[number,"suffix",start,length],...]; a suffix marks the second half of a bar.
  std::istringstream measures(json.substr(json.find("\"measures\":[") + 12));
  char c = 0;
  while (measures >> c && c == '[') {
    int number = 0;
    std::string suffix;
    double start = 0, length = 0;
    measures >> number >> c;
    std::getline(measures, suffix, ',');
    measures >> start >> c >> length >> c >> c;
    if (suffix == "\"\"") {
      score.barStarts.emplace_back(number, start);
    }
    if (number == 0) {
      score.pickupQuarters = length;
    }
    if (c != ',') {
      break;
    }
  }
  return score;
}

// The pitches each of channels 1 to 4 sounds, in order.
std::array<std::string, 4> PitchesOfChannels(const fs::path& file) {
  std::array<std::string, 4> pitches;
  std::istringstream lines(RunRender("--events " + Quote(file)).out);
  std::string line;
  while (std::getline(lines, line)) {
    unsigned long long time = 0;
    unsigned tick = 0, status = 0, key = 0, velocity = 0;
    if (std::sscanf(line.c_str(), "%llu %u %x %x %x", &time, &tick, &status, &key, &velocity) ==
            5 &&
        (status & 0xF0) == 0x90 && (status & 0x0F) < 4 && velocity != 0) {
      pitches[status & 0x0F] += std::to_string(key) + ' ';
    }
  }
  return pitches;
}

// The real exports of eight chorales by three notation programs: voice k sounds on channel k
// the notes MuseScore (which writes voice k on channel k) gives it, and every printed bar starts
// where the score says, with the pickup given to the exporters that do not write it.
TEST(RenderCorpus, ChoirExportsPlayTheirVoicesAndBarsAsPrinted) {
  const fs::path exports = fs::path(QUIRELLE_CORPUS_DIR) / "choir-exports";
  const fs::path scores = fs::path(QUIRELLE_CORPUS_DIR).parent_path() / "choir-scores";
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(scores / "musescore3")) {
    const std::string chorale = entry.path().stem().stem().string();
    const auto asWritten = PitchesOfChannels(exports / "musescore3" / (chorale + ".mid"));
    for (const std::string exporter : {"musescore3", "music21", "lilypond"}) {
      SCOPED_TRACE(exporter + "/" + chorale);
      const fs::path song = exports / exporter / (chorale + ".mid");
      const PrintedScore score = ReadPrintedScore(scores / exporter / (chorale + ".score.json"));
      const auto pitches = PitchesOfChannels(song);
      for (std::size_t voice = 0; voice < pitches.size(); ++voice) {
        // Of bwv345 the exporters give the soprano's notes differently (127, 97 and 159).
        if (chorale != "bach_bwv345" || voice != 0) {
          EXPECT_EQ(pitches[voice], asWritten[voice]) << "voice " << voice + 1;
        }
      }
      const bool writesPickup = exporter == "musescore3";
      const int pickupBeats = writesPickup ? 0 : static_cast<int>(score.pickupQuarters);
      const RenderRun run =
          RunRender("--bars --pickup " + std::to_string(pickupBeats) + " " + Quote(song));
      ASSERT_EQ(run.status, 0);
      std::map<int, long> starts;
      std::istringstream lines(run.out);
      for (int bar = 0; lines >> bar;) {
        lines >> starts[bar];
      }
      for (const auto& [number, quarters] : score.barStarts) {
        EXPECT_EQ(starts[number], std::lround(quarters * score.division)) << "bar " << number;
      }
      ++checked;
    }
  }
  EXPECT_EQ(checked, 24);
}

// The text of an SVG part sheet, as (x, y, text), in the order drawn.
struct SheetText {
  double x;
  double y;
  std::string text;
};
std::vector<SheetText> TextsOf(const fs::path& svg) {
  std::ifstream in(svg);
  const std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  static const std::regex kText(
      R"re(<text[^>]*\sx="([-0-9.]+)"\s+y="([-0-9.]+)"[^>]*>([^<]*)</text>)re");
  std::vector<SheetText> texts;
  for (auto m = std::sregex_iterator(xml.begin(), xml.end(), kText); m != std::sregex_iterator();
       ++m) {
    texts.push_back({std::stod((*m)[1]), std::stod((*m)[2]), (*m)[3]});
  }
  return texts;
}

// The syllables voice 1 sings from the start of bar `from` to the end of bar `to`, as the file
// model reads them.
std::vector<std::string> SyllablesOfBars(const fs::path& song, int pickup, int from, int to) {
  quirelle::smf::MidiFile file;
  quirelle::platform::PosixFile posix;
  file.SetPickup(static_cast<std::uint32_t>(pickup));
  if (!posix.Open(song.string()) || file.LoadFromFile(posix) == 0) {
    return {};
  }
  const auto* words = quirelle::smf::WordsOnChannel(file.words(), file.voiceMap(), 0);
  const std::uint32_t start = file.BarStartTick(from).value_or(0);
  const std::uint32_t end = file.BarStartTick(to + 1).value_or(file.lastEventTick());
  std::vector<std::string> syllables;
  for (const auto& line : words != nullptr ? *words : quirelle::smf::Words{}) {
    for (const auto& syllable : line.syllables) {
      if (syllable.tick >= start && syllable.tick < end) {
        syllables.push_back(syllable.text);
      }
    }
  }
  return syllables;
}

// Part sheets of real choir exports with words: bars 2 to 5 of voice 1 show the numbers 2 to 5
// from left to right above the notes, and every syllable of the voice in those bars, in order,
// under them. In an SVG they stay text.
TEST(RenderPicture, SheetsOfChoirExportsShowTheirBarsAndWordsInOrder) {
#if !QUIRELLE_HAVE_PICTURE
  GTEST_SKIP() << "built without Qt";
#endif
  const fs::path exports = fs::path(QUIRELLE_CORPUS_DIR) / "choir-exports";
  const fs::path scores = fs::path(QUIRELLE_CORPUS_DIR).parent_path() / "choir-scores";
  const fs::path svg = fs::temp_directory_path() / "quirelle_sheet_test.svg";
  int withWords = 0;
  for (const std::string exporter : {"music21", "lilypond"}) {
    for (const auto& entry : fs::directory_iterator(exports / exporter)) {
      SCOPED_TRACE(entry.path().string());
      const std::string chorale = entry.path().stem().string();
      const int pickup = static_cast<int>(
          ReadPrintedScore(scores / exporter / (chorale + ".score.json")).pickupQuarters);
      const std::vector<std::string> syllables = SyllablesOfBars(entry.path(), pickup, 2, 5);
      ASSERT_EQ(RunRender("--picture " + Quote(svg) + " --voice 1 --from-bar 2 --to-bar 5 " +
                          "--pickup " + std::to_string(pickup) + " " + Quote(entry.path()))
                    .status,
                0);
      std::vector<std::string> bars;
      std::vector<std::string> words;
      double lastBarX = -1;
      for (const SheetText& text : TextsOf(svg)) {
        if (text.y < 18) {
          EXPECT_GT(text.x, lastBarX) << text.text;
          lastBarX = text.x;
          bars.push_back(text.text);
        } else if (text.y > 360 - 24) {
          words.push_back(text.text);
        }
      }
      EXPECT_EQ(bars, (std::vector<std::string>{"2", "3", "4", "5"}));
      EXPECT_EQ(words, syllables);
      withWords += syllables.empty() ? 0 : 1;
    }
  }
  EXPECT_GE(withWords, 4);
  fs::remove(svg);
}

}  // namespace
