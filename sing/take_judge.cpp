#include "sing/take_judge.h"

#include <algorithm>
#include <cmath>

#include "midi/vocabulary.h"

namespace quirelle::sing {
namespace {

constexpr double kAttack = 0.080;  // the note's onset, where the voice is still finding it
constexpr double kRelease = 0.050;
constexpr double kShortNote = 0.150;  // shorter notes lose less of each end

// How a voiced frame off by `cents` (folded) speaks for an offset: fully within a quarter tone,
// not at all from two semitones; a voice where the line rests speaks against it.
constexpr double kFullWithin = 50;
constexpr double kNoneFrom = 200;
constexpr double kInRest = -0.5;

// A voice may glide into each new pitch for 100-250 ms (the new note's slow attack under the old
// one's release), which puts the contour's best match that much late. Where a note begins, its
// pitch class gains energy against the others at once, glide or not. So each such start is looked
// for where its class rises most, among the shifts up to kGlide earlier than the contour's (or
// kAhead later), and the offset is the median of what the starts say, weighed by how much each
// rose: a few confused by a neighbour of the same class, or sung a little early or late, do not
// move it.
constexpr double kGlide = 0.25;
constexpr double kAhead = 0.06;
// A rise is measured from just before the start to this long after it, where a soft attack has
// mostly grown; a start counts only when its class rises by at least kLeastRise (natural log of the
// energy: about 4 dB).
constexpr double kRiseBefore = 0.006;
constexpr double kRiseAfter = 0.041;
constexpr double kLeastRise = 1.0;
// Pitch-class energy this far below the take's loud singing (dB) counts as that floor.
constexpr float kFloorBelowLoud = 35;
constexpr float kNoEnergy = 1e-12f;  // keeps the log of a silent take finite

double Weight(double cents) {
  const double off = std::abs(cents);
  return off <= kFullWithin ? 1.0
         : off >= kNoneFrom ? 0.0
                            : (kNoneFrom - off) / (kNoneFrom - kFullWithin);
}

// A note's start where its pitch class rises: the first note, and each whose class differs from
// the one before it (a repeated pitch has no rise to find).
struct Rise {
  std::ptrdiff_t hop = 0;  // of the render
  std::size_t pitchClass = 0;
};

std::size_t PitchClassOf(int key) {
  return static_cast<std::size_t>(midi::PitchClass(key));
}

std::vector<Rise> RisesOf(std::span<const WrittenNote> notes, double hopSeconds) {
  std::vector<Rise> rises;
  for (std::size_t i = 0; i < notes.size(); ++i) {
    const bool repeated = i > 0 && PitchClassOf(notes[i - 1].key) == PitchClassOf(notes[i].key) &&
                          notes[i - 1].end + hopSeconds >= notes[i].start;
    if (!repeated) {
      rises.push_back({std::lround(notes[i].start / hopSeconds), PitchClassOf(notes[i].key)});
    }
  }
  return rises;
}

// Each hop's pitch classes against their mean: what stands out of the sound there. Energy far below
// the take's loud singing counts as that floor, so a note's first trace at the window's edge does
// not rise yet; its class rises as the note fills the window.
std::vector<PitchClasses> StandingClasses(std::span<const PitchFrame> frames, double hopSeconds) {
  std::vector<float> loudest;
  for (const PitchFrame& frame : frames) {
    loudest.push_back(*std::max_element(frame.classes.begin(), frame.classes.end()));
  }
  const auto loud = loudest.begin() + static_cast<std::ptrdiff_t>(loudest.size() * 9 / 10);
  std::nth_element(loudest.begin(), loud, loudest.end());
  const float floor = std::max(*loud * std::pow(10.0f, -kFloorBelowLoud / 10.0f), kNoEnergy);

  std::vector<PitchClasses> standing(
      static_cast<std::size_t>(std::max(0.0, frames.back().seconds / hopSeconds)) + 2);
  for (const PitchFrame& frame : frames) {
    const auto at = std::lround(frame.seconds / hopSeconds);
    if (at < 0 || static_cast<std::size_t>(at) >= standing.size()) {
      continue;
    }
    PitchClasses floored;
    float mean = 0;
    for (std::size_t pitchClass = 0; pitchClass < frame.classes.size(); ++pitchClass) {
      floored[pitchClass] = std::log(frame.classes[pitchClass] + floor);
      mean += floored[pitchClass];
    }
    mean /= static_cast<float>(frame.classes.size());
    for (std::size_t pitchClass = 0; pitchClass < frame.classes.size(); ++pitchClass) {
      standing[static_cast<std::size_t>(at)][pitchClass] = floored[pitchClass] - mean;
    }
  }
  return standing;
}

// The shift (in hops) near `contour` that the starts' pitch-class rises say; `contour` itself when
// no start rises clearly (a take of noise, or of one repeated pitch).
std::ptrdiff_t ShiftByRises(std::span<const WrittenNote> notes, std::span<const PitchFrame> frames,
                            double hopSeconds, std::ptrdiff_t contour, std::ptrdiff_t farthest) {
  if (frames.empty()) {
    return contour;
  }
  const std::vector<PitchClasses> standing = StandingClasses(frames, hopSeconds);
  const auto size = static_cast<std::ptrdiff_t>(standing.size());
  const auto before = std::max<std::ptrdiff_t>(1, std::lround(kRiseBefore / hopSeconds));
  const auto after = std::max<std::ptrdiff_t>(1, std::lround(kRiseAfter / hopSeconds));
  const std::ptrdiff_t from =
      std::max(-farthest, contour - static_cast<std::ptrdiff_t>(std::lround(kGlide / hopSeconds)));
  const std::ptrdiff_t to =
      std::min(farthest, contour + static_cast<std::ptrdiff_t>(std::lround(kAhead / hopSeconds)));

  // The shift each clearly rising start says, and how much it rose: a start that rises more speaks
  // with more weight.
  std::vector<std::pair<std::ptrdiff_t, double>> said;
  for (const Rise& rise : RisesOf(notes, hopSeconds)) {
    double most = kLeastRise;
    std::optional<std::ptrdiff_t> at;
    for (std::ptrdiff_t shift = from; shift <= to; ++shift) {
      const std::ptrdiff_t low = rise.hop + shift - before;
      const std::ptrdiff_t high = rise.hop + shift + after;
      if (low < 0 || high >= size) {
        continue;
      }
      const double rising = standing[static_cast<std::size_t>(high)][rise.pitchClass] -
                            standing[static_cast<std::size_t>(low)][rise.pitchClass];
      if (rising > most) {
        most = rising;
        at = shift;
      }
    }
    if (at) {
      said.emplace_back(*at, most);
    }
  }
  if (said.empty()) {
    return contour;
  }
  // The weighted median.
  std::sort(said.begin(), said.end());
  double weight = 0;
  for (const auto& [shift, rose] : said) {
    weight += rose;
  }
  double below = 0;
  for (const auto& [shift, rose] : said) {
    below += rose;
    if (2 * below >= weight) {
      return shift;
    }
  }
  return said.back().first;
}

}  // namespace

double FoldedCents(double key, int written) {
  const double cents = 100.0 * (key - written);
  return cents - 1200.0 * std::round(cents / 1200.0);
}

const char* VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::kInTune:
      return "in-tune";
    case Verdict::kSharp:
      return "sharp";
    case Verdict::kFlat:
      return "flat";
    case Verdict::kMissed:
      break;
  }
  return "missed";
}

NoteJudgement JudgeNote(const WrittenNote& note, std::span<const PitchFrame> frames, double offset,
                        int tolerance) {
  const double length = std::max(0.0, note.end - note.start);
  const double attack = length >= kShortNote ? kAttack : length * kAttack / kShortNote;
  const double release = std::min(kRelease, length / 5);
  const double from = note.start + attack + offset;
  const double to = note.end - release + offset;
  const auto byTime = [](const PitchFrame& frame, double seconds) {
    return frame.seconds < seconds;
  };
  auto first = std::lower_bound(frames.begin(), frames.end(), from, byTime);
  auto last = std::lower_bound(first, frames.end(), to, byTime);
  if (first == last) {
    // A span shorter than a hop: the frame nearest its middle.
    const double middle = (from + to) / 2;
    if (first != frames.begin() &&
        (first == frames.end() || middle - (first - 1)->seconds < first->seconds - middle)) {
      --first;
    }
    if (first == frames.end() || std::abs(first->seconds - middle) > length / 2 + 0.02) {
      return {};
    }
    last = first + 1;
  }
  std::vector<double> cents;
  for (auto frame = first; frame != last; ++frame) {
    if (frame->voiced()) {
      cents.push_back(FoldedCents(frame->key, note.key));
    }
  }
  // Frames the take does not reach (it began late or ended early) count as unvoiced.
  std::size_t counted = static_cast<std::size_t>(last - first);
  if (frames.size() >= 2 && frames[1].seconds > frames[0].seconds) {
    const double hop = frames[1].seconds - frames[0].seconds;
    counted = std::max(counted, static_cast<std::size_t>(std::max(0.0, (to - from) / hop)));
  }
  if (cents.empty() || cents.size() * 2 < counted) {
    return {};
  }
  const auto middle = cents.begin() + static_cast<std::ptrdiff_t>(cents.size() / 2);
  std::nth_element(cents.begin(), middle, cents.end());
  double median = *middle;
  if (cents.size() % 2 == 0) {
    median = (median + *std::max_element(cents.begin(), middle)) / 2;
  }
  NoteJudgement judged;
  judged.cents = static_cast<int>(std::lround(median));
  judged.verdict = std::abs(judged.cents) <= tolerance ? Verdict::kInTune
                   : judged.cents > 0                  ? Verdict::kSharp
                                                       : Verdict::kFlat;
  return judged;
}

double FindOffset(std::span<const WrittenNote> notes, std::span<const PitchFrame> frames,
                  double hopSeconds) {
  if (notes.empty() || hopSeconds <= 0) {
    return 0;
  }
  // The keys sounding at each hop of the render.
  double lastEnd = 0;
  for (const WrittenNote& note : notes) {
    lastEnd = std::max(lastEnd, note.end);
  }
  const auto hops = static_cast<std::ptrdiff_t>(std::ceil(lastEnd / hopSeconds)) + 1;
  std::vector<std::vector<int>> sounding(static_cast<std::size_t>(hops));
  for (const WrittenNote& note : notes) {
    const auto from = std::max<std::ptrdiff_t>(0, std::lround(note.start / hopSeconds));
    const auto to = std::min<std::ptrdiff_t>(hops, std::lround(note.end / hopSeconds));
    for (auto hop = from; hop < to; ++hop) {
      sounding[static_cast<std::size_t>(hop)].push_back(note.key);
    }
  }
  // Each voiced frame's weight as if it fell on each hop of the render.
  const auto farthest = static_cast<std::ptrdiff_t>(std::lround(kLongestOffset / hopSeconds));
  std::vector<double> scores(static_cast<std::size_t>(2 * farthest + 1));
  bool anyVoiced = false;
  for (const PitchFrame& frame : frames) {
    if (!frame.voiced()) {
      continue;
    }
    anyVoiced = true;
    const auto at = static_cast<std::ptrdiff_t>(std::lround(frame.seconds / hopSeconds));
    for (std::ptrdiff_t shift = -farthest; shift <= farthest; ++shift) {
      const std::ptrdiff_t hop = at - shift;
      double weight = kInRest;
      if (hop >= 0 && hop < hops && !sounding[static_cast<std::size_t>(hop)].empty()) {
        weight = 0;
        for (const int key : sounding[static_cast<std::size_t>(hop)]) {
          weight = std::max(weight, Weight(FoldedCents(frame.key, key)));
        }
      }
      scores[static_cast<std::size_t>(shift + farthest)] += weight;
    }
  }
  if (!anyVoiced) {
    return 0;
  }
  // Where several shifts match equally (notes sung shorter than written), the middle of them.
  const auto best = std::max_element(scores.begin(), scores.end());
  const double tie = 1e-6 * std::max(1.0, std::abs(*best));
  auto lo = best;
  auto hi = best;
  while (lo != scores.begin() && *(lo - 1) >= *best - tie) {
    --lo;
  }
  while (hi + 1 != scores.end() && *(hi + 1) >= *best - tie) {
    ++hi;
  }
  const std::ptrdiff_t contour = (lo - scores.begin() + (hi - scores.begin())) / 2 - farthest;
  const std::ptrdiff_t shift = ShiftByRises(notes, frames, hopSeconds, contour, farthest);
  return static_cast<double>(shift) * hopSeconds;
}

TakeJudgement JudgeTake(std::span<const WrittenNote> notes, std::span<const PitchFrame> frames,
                        double hopSeconds, int tolerance) {
  TakeJudgement judged;
  judged.offset = FindOffset(notes, frames, hopSeconds);
  for (const WrittenNote& note : notes) {
    const NoteJudgement one = JudgeNote(note, frames, judged.offset, tolerance);
    judged.notes.push_back(one);
    switch (one.verdict) {
      case Verdict::kInTune:
        ++judged.inTune;
        break;
      case Verdict::kSharp:
        ++judged.sharp;
        break;
      case Verdict::kFlat:
        ++judged.flat;
        break;
      case Verdict::kMissed:
        ++judged.missed;
        break;
    }
  }
  return judged;
}

}  // namespace quirelle::sing
