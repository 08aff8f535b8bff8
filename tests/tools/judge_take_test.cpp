// quirelle-render --judge end to end: takes the test sings to a song of its own, judged under the
// passage and practice options that move the line in time and key, and takes that are no takes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/midi_image.h"
#include "tests/support/run_command.h"
#include "tests/support/sung_take.h"

namespace {

namespace fs = std::filesystem;
using quirelle::testing::SungNote;
using quirelle::testing::TakeRecipe;
using quirelle::testing::TrackData;

// Two bars of 4/4 at 120 beats a minute; voice 1 holds C5, voice 2 (with words) sings quarters.
const int kLine[] = {60, 62, 64, 65, 67, 65, 64, 62};

std::string Song() {
  TrackData conductor;
  conductor.Tempo(0, 500000).Meta(0, 0x58, {4, 2, 24, 8}).End(3840);
  TrackData top;
  top.Event(0, {0x90, 72, 80}).Event(3840, {0x80, 72, 0}).End();
  TrackData line;
  line.Text(0, 0x05, "la");
  for (const int key : kLine) {
    line.Event(0, {0x91, static_cast<std::uint8_t>(key), 90})
        .Event(480, {0x81, static_cast<std::uint8_t>(key), 0});
  }
  line.End();
  return quirelle::testing::WriteTempFile(
      quirelle::testing::MidiImage(1, 480, {conductor, top, line}), "judge-song.mid");
}

struct Heard {
  double time;
  int bar;
  int key;
  const char* name;
  char verdict;  // i in tune, s sharp, f flat, m missed
};

struct Case {
  const char* name;
  const char* args;
  double beat;  // seconds
  double lead;  // the take starts this early
  std::vector<Heard> notes;
};

std::vector<Heard> Line(double from, double beat, int firstBar, int transpose, std::size_t begin,
                        std::size_t end, const std::string& verdicts) {
  static const char* const kNames[] = {"C4", "D4", "E4", "F4", "G4", "F4", "E4", "D4"};
  static const char* const kUp[] = {"D4", "E4", "F#4", "G4", "A4", "G4", "F#4", "E4"};
  std::vector<Heard> notes;
  for (std::size_t i = begin; i < end; ++i) {
    const double time = from + beat * static_cast<double>(notes.size());
    notes.push_back({time, firstBar + static_cast<int>(i / 4), kLine[i] + transpose,
                     transpose == 0 ? kNames[i] : kUp[i], verdicts[notes.size()]});
  }
  return notes;
}

std::vector<Heard> Twice(std::vector<Heard> notes, double length) {
  const std::size_t count = notes.size();
  for (std::size_t i = 0; i < count; ++i) {
    notes.push_back(notes[i]);
    notes.back().time += length;
  }
  return notes;
}

const Case kCases[] = {
    {"WholeSong", "", 0.5, 0.6, Line(0, 0.5, 1, 0, 0, 8, "iisiimif")},
    {"CountInAndPassage", "--count-in --from-bar 2", 0.5, 0, Line(2, 0.5, 1, 0, 4, 8, "fiii")},
    {"TempoAndKey", "--tempo 200 --transpose 2 --voice 2", 0.25, 0.3,
     Line(0, 0.25, 1, 2, 0, 8, "iiiimiii")},
    {"Loop", "--from-bar 2 --to-bar 2 --loop 2 --speed-up 0", 0.5, -0.2,
     Twice(Line(0, 0.5, 1, 0, 4, 8, "iiii"), 2)},
};

class JudgeTake : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quirelle-judge-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::remove_all(dir_);
    fs::remove_all(fs::path(song_).parent_path());
  }

  quirelle::testing::CommandRun Judge(const std::string& take, const std::string& args) const {
    return quirelle::testing::RunCommand(std::string(QUIRELLE_RENDER_BIN) + " --judge '" + take +
                                         "' " + args + " '" + song_ + "' 2>'" +
                                         (dir_ / "err").string() + "'");
  }
  std::string Err() const {
    std::ifstream in(dir_ / "err");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir_;
  std::string song_ = Song();
};

TEST_P(JudgeTake, EveryNoteOfThePassageComesWithItsTimeBarAndVerdict) {
  const Case& c = GetParam();
  std::vector<SungNote> sung;
  for (const Heard& note : c.notes) {
    const double cents = note.verdict == 's' ? 90 : note.verdict == 'f' ? -90 : 0;
    sung.push_back({note.time, note.time + c.beat, note.key, cents, note.verdict != 'm'});
  }
  TakeRecipe recipe;
  recipe.lead = c.lead;
  recipe.rate = 48000;
  const std::string take = (dir_ / "take.wav").string();
  ASSERT_TRUE(quirelle::testing::WriteTake(take, quirelle::testing::SingTake(sung, recipe),
                                           recipe.rate, 2));
  const quirelle::testing::CommandRun run = Judge(take, c.args);
  ASSERT_EQ(run.status, 0) << Err();
  std::istringstream lines(run.out);
  for (const Heard& note : c.notes) {
    double time = 0;
    int bar = 0;
    std::string name, cents, verdict;
    lines >> time >> bar >> name >> cents >> verdict;
    SCOPED_TRACE(run.out);
    EXPECT_NEAR(time, note.time, 0.002);
    EXPECT_EQ(bar, note.bar);
    EXPECT_EQ(name, note.name);
    EXPECT_EQ(verdict[0] == 'i' ? 'i' : verdict[0], note.verdict) << verdict;
  }
  std::string summary;
  std::getline(lines >> std::ws, summary);
  int offset = 0;
  ASSERT_EQ(std::sscanf(summary.c_str(),
                        "judge: notes=%*d in_tune=%*d sharp=%*d flat=%*d "
                        "missed=%*d offset_ms=%d",
                        &offset),
            1)
      << summary;
  EXPECT_NEAR(offset, c.lead * 1000, 30);  // what a singer is promised
}

INSTANTIATE_TEST_SUITE_P(Options, JudgeTake, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(JudgeTake, WhatIsNoTakeIsRefusedAndWhatIsTooLittleMissesEveryNote) {
  struct Row {
    const char* name;
    std::vector<float> samples;  // written as a WAV; none: the file holds `text`
    const char* text;
    int status;
    const char* said;  // on stderr, or for status 0 on stdout
  };
  const Row rows[] = {
      {"empty.wav", {}, "", 2, "cannot read"},
      {"words.wav", {}, "not a sound\n", 2, "cannot read"},
      {"silent.wav", std::vector<float>(48000), nullptr, 0, "missed=8 offset_ms=0"},
      {"one.wav", {0.5f}, nullptr, 0, "missed=8 offset_ms=0"},
      {"none.wav", {}, nullptr, 0, "missed=8 offset_ms=0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = (dir_ / row.name).string();
    if (row.text != nullptr) {
      std::ofstream(path) << row.text;
    } else {
      ASSERT_TRUE(quirelle::testing::WriteTake(path, row.samples, 48000));
    }
    const quirelle::testing::CommandRun run = Judge(path, "");
    EXPECT_EQ(run.status, row.status);
    EXPECT_NE((row.status == 0 ? run.out : Err()).find(row.said), std::string::npos)
        << run.out << Err();
  }
  const quirelle::testing::CommandRun run = Judge((dir_ / "one.wav").string(), "--voice 5");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(Err().find("has no voice 5"), std::string::npos) << Err();
}

}  // namespace
