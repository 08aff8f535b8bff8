// The pitch tracker and the judging rule on takes the test sings itself: each case gives the
// verdict of every note and the offset found.
#include "sing/take_judge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "sing/pitch_tracker.h"
#include "tests/support/sung_take.h"

namespace {

using quirelle::sing::JudgeTake;
using quirelle::sing::TrackTake;
using quirelle::sing::Verdict;
using quirelle::sing::WrittenNote;
using quirelle::testing::SungNote;
using quirelle::testing::TakeRecipe;

// A line of 16 notes, long and short, with a rest, and the three voices under it.
std::vector<SungNote> Line(int below = 0) {
  const double lengths[] = {0.6,  0.3,  0.3, 0.9, 0.15, 0.15, 0.3, 0.6,
                            0.45, 0.15, 0.6, 0.3, 0.3,  0.6,  0.3, 1.2};
  const int keys[] = {67, 69, 71, 72, 74, 72, 71, 69, 67, 66, 67, 64, 62, 64, 66, 67};
  std::vector<SungNote> line;
  double at = 0.5;
  for (std::size_t i = 0; i < std::size(keys); ++i) {
    line.push_back({at, at + lengths[i], keys[i] - below});
    at += lengths[i] + (i == 7 ? 0.5 : 0);  // a rest after the eighth note
  }
  return line;
}

std::vector<SungNote> OtherVoices() {
  std::vector<SungNote> voices;
  for (const int below : {4, 9, 17}) {
    const std::vector<SungNote> line = Line(below);
    voices.insert(voices.end(), line.begin(), line.end());
  }
  return voices;
}

std::vector<WrittenNote> Written() {
  std::vector<WrittenNote> notes;
  for (const SungNote& note : Line()) {
    notes.push_back({note.start, note.end, note.key, std::nullopt});
  }
  return notes;
}

struct Case {
  const char* name;
  TakeRecipe recipe;
  std::vector<std::pair<std::size_t, double>> detuned;  // note, cents
  std::vector<std::size_t> leftOut;
  std::vector<std::pair<std::size_t, double>> late;  // note, seconds
  int tolerance;
  const char* verdicts;  // per note: i in tune, s sharp, f flat, m missed
  int offsetMs;
};

TakeRecipe Recipe(double lead = 0, int octaves = 0, double noiseDb = -200, bool bleed = false,
                  std::uint32_t rate = 44100) {
  TakeRecipe recipe;
  recipe.lead = lead;
  recipe.octaves = octaves;
  recipe.noiseDb = noiseDb;
  recipe.rate = rate;
  if (bleed) {
    recipe.bleed = OtherVoices();
  }
  return recipe;
}

const Case kCases[] = {
    {"InTune", Recipe(), {}, {}, {}, 50, "iiiiiiiiiiiiiiii", 0},
    {"Detuned",
     Recipe(),
     {{0, 73}, {3, -120}, {5, 80}, {8, -40}, {12, 150}},
     {},
     {},
     50,
     "siifisiiiiiisiii",
     0},
    {"NarrowTolerance", Recipe(), {{0, 35}, {3, -30}, {8, 20}}, {}, {}, 25, "siifiiiiiiiiiiii", 0},
    {"LeftOut", Recipe(), {}, {1, 5, 9, 15}, {}, 50, "imiiimiiimiiiiim", 0},
    {"OnsetsEarlyAndLate",
     Recipe(),
     {},
     {},
     {{0, 0.03}, {2, -0.03}, {4, 0.03}, {11, -0.03}},
     50,
     "iiiiiiiiiiiiiiii",
     0},
    {"LeadingSilence", Recipe(0.8), {{3, -90}}, {}, {}, 50, "iiifiiiiiiiiiiii", 800},
    {"StartedLate", Recipe(-0.9), {}, {}, {}, 50, "miiiiiiiiiiiiiii", -900},
    {"OctaveBelow", Recipe(0.3, -1), {{5, 70}}, {}, {}, 50, "iiiiisiiiiiiiiii", 300},
    {"Noise", Recipe(0.5, 0, -20), {{3, 90}}, {7}, {}, 50, "iiisiiimiiiiiiii", 500},
    {"OthersBleedingIn",
     Recipe(0.2, 0, -200, true),
     {{2, -100}},
     {1, 10},
     {},
     50,
     "imfiiiiiiimiiiii",
     200},
    {"EightKilohertz",
     Recipe(0.4, 0, -200, false, 8000),
     {{3, 75}},
     {6},
     {},
     50,
     "iiisiimiiiiiiiii",
     400},
};

class JudgeTakes : public ::testing::TestWithParam<Case> {};

TEST_P(JudgeTakes, GiveEachNoteItsVerdictAndFindTheOffset) {
  const Case& c = GetParam();
  std::vector<SungNote> sung = Line();
  for (const auto& [note, cents] : c.detuned) {
    sung[note].cents = cents;
  }
  for (const std::size_t note : c.leftOut) {
    sung[note].sung = false;
  }
  for (const auto& [note, seconds] : c.late) {
    sung[note].late = seconds;
  }
  const std::vector<float> take = quirelle::testing::SingTake(sung, c.recipe);
  double hop = 0;
  const auto frames = TrackTake(take, c.recipe.rate, &hop);
  const std::vector<WrittenNote> written = Written();
  const auto judged = JudgeTake(written, frames, hop, c.tolerance);
  std::string verdicts;
  for (std::size_t i = 0; i < judged.notes.size(); ++i) {
    verdicts += "isfm"[static_cast<int>(judged.notes[i].verdict)];
    if (judged.notes[i].verdict != Verdict::kMissed && sung[i].sung) {
      // A short note is judged on a part of one vibrato swing (up to its depth off); low notes
      // read a little sharp.
      const bool shortNote = written[i].end - written[i].start < 0.2;
      EXPECT_NEAR(judged.notes[i].cents, sung[i].cents, shortNote ? 35 : 25) << "note " << i;
    }
  }
  EXPECT_EQ(verdicts, c.verdicts);
  EXPECT_NEAR(judged.offset * 1000, c.offsetMs, 30);  // what a singer is promised
}

INSTANTIATE_TEST_SUITE_P(Takes, JudgeTakes, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Takes with nothing to hear: every note missed, the offset left at 0.
TEST(JudgeTakes, SilenceAndTooLittleMissEveryNote) {
  const std::vector<WrittenNote> written = Written();
  for (const std::vector<float>& take :
       {std::vector<float>{}, std::vector<float>{0.5f}, std::vector<float>(44100 * 10)}) {
    double hop = 0;
    const auto judged = JudgeTake(written, TrackTake(take, 44100, &hop), hop);
    EXPECT_EQ(judged.missed, static_cast<int>(written.size()));
    EXPECT_EQ(judged.offset, 0);
  }
}

}  // namespace
