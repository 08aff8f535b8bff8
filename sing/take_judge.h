// The one rule that says how each written note was sung, for the window and for quirelle-render:
// the median of the voiced frames inside the note (less its attack and its last 50 ms), in cents
// from the written pitch with the octave folded away; in tune within the tolerance, sharp or flat
// beyond it, missed when fewer than half of those frames are voiced. A recorded take is first
// lined up with the line: the sung contour matched against the written one says roughly where, and
// the moments the notes' pitch classes rise say exactly.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sing/pitch_tracker.h"

namespace quirelle::sing {

// A note of the judged voice as it sounds, in seconds of the render (after the key).
struct WrittenNote {
  double start = 0;
  double end = 0;
  int key = 60;                     // C4 = 60
  std::optional<std::int32_t> bar;  // as the score prints it
};

// How far `key` (with its fraction) lies from the `written` key in cents, whole octaves taken away
// (a tenor singing the soprano line an octave down is in tune): -600 up to 600.
double FoldedCents(double key, int written);

enum class Verdict { kInTune, kSharp, kFlat, kMissed };
const char* VerdictName(Verdict verdict);  // "in-tune", "sharp", "flat", "missed"

struct NoteJudgement {
  Verdict verdict = Verdict::kMissed;
  int cents = 0;  // the median deviation; 0 when missed
};

// The tolerances the singer chooses from, in cents either way.
inline constexpr int kWideTolerance = 50;
inline constexpr int kNarrowTolerance = 25;
// The farthest a take's start is looked for from the render's.
inline constexpr double kLongestOffset = 1.0;

// `frames` in time order, in seconds of the take; the render's time t lies at t + offset in it.
NoteJudgement JudgeNote(const WrittenNote& note, std::span<const PitchFrame> frames, double offset,
                        int tolerance = kWideTolerance);

// The take's offset (-kLongestOffset to +kLongestOffset s; positive when the take starts before
// the render) where its voiced frames match the notes and its pitch classes rise at their starts;
// 0 for a take with no voiced frame.
// `hopSeconds` is the frames' spacing.
double FindOffset(std::span<const WrittenNote> notes, std::span<const PitchFrame> frames,
                  double hopSeconds);

struct TakeJudgement {
  std::vector<NoteJudgement> notes;  // one per written note, in their order
  double offset = 0;
  int inTune = 0, sharp = 0, flat = 0, missed = 0;
};

TakeJudgement JudgeTake(std::span<const WrittenNote> notes, std::span<const PitchFrame> frames,
                        double hopSeconds, int tolerance = kWideTolerance);

}  // namespace quirelle::sing
