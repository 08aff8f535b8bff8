#include "sing/take_judge.h"

#include <algorithm>
#include <cmath>

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

// A voice may glide into each new pitch for 100-300 ms (the new note's slow attack under the old
// one's release), which puts the contour's best match that much late. Where notes begin, the sound
// still grows at once, so the offset is finally taken where the take's onsets meet the written
// starts, among the shifts up to kGlide earlier than the contour's (or kAhead later) whose contour
// still matches well.
constexpr double kGlide = 0.40;
constexpr double kAhead = 0.10;
constexpr double kOnsetWeight = 1.0;  // against the contour's match, both scaled to 0..1
constexpr double kLoudestOnset = 8;  // in the take's mean onset strength: one attack counts no more
// The onset strength of a clean attack peaks this many hops before it (the hop's spectrum against
// the one before, each dated at its window's centre), at every sample rate.
constexpr std::ptrdiff_t kOnsetLead = 1;

// The deviation in cents with whole octaves taken away: -600 up to 600.
double FoldedCents(double key, int written) {
  const double cents = 100.0 * (key - written);
  return cents - 1200.0 * std::round(cents / 1200.0);
}

double Weight(double cents) {
  const double off = std::abs(cents);
  return off <= kFullWithin ? 1.0
         : off >= kNoneFrom ? 0.0
                            : (kNoneFrom - off) / (kNoneFrom - kFullWithin);
}

// The shift (in hops) near `contour` where the take's onsets meet the notes' starts best, weighed
// with the contour's match `scores` (indexed by shift + farthest).
std::ptrdiff_t ShiftByOnsets(std::span<const WrittenNote> notes, std::span<const PitchFrame> frames,
                             double hopSeconds, const std::vector<double>& scores,
                             std::ptrdiff_t contour, std::ptrdiff_t farthest) {
  const double best = scores[static_cast<std::size_t>(contour + farthest)];
  if (best <= 0 || frames.empty()) {
    return contour;
  }
  // The onset strength at each hop of the take, in its mean, loud attacks clipped.
  std::vector<double> strength(
      static_cast<std::size_t>(std::max(0.0, frames.back().seconds / hopSeconds)) + 2);
  double sum = 0;
  for (const PitchFrame& frame : frames) {
    const auto at = std::lround(frame.seconds / hopSeconds);
    if (at >= 0 && static_cast<std::size_t>(at) < strength.size()) {
      strength[static_cast<std::size_t>(at)] += frame.onset;
      sum += frame.onset;
    }
  }
  const double mean = sum / static_cast<double>(strength.size());
  if (mean <= 0) {
    return contour;
  }
  for (double& value : strength) {
    value = std::min(value / mean, kLoudestOnset);
  }
  std::vector<std::ptrdiff_t> starts;  // in hops of the render, each once
  for (const WrittenNote& note : notes) {
    starts.push_back(std::lround(note.start / hopSeconds));
  }
  std::sort(starts.begin(), starts.end());
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());

  const std::ptrdiff_t from =
      std::max(-farthest, contour - static_cast<std::ptrdiff_t>(std::lround(kGlide / hopSeconds)));
  const std::ptrdiff_t to =
      std::min(farthest, contour + static_cast<std::ptrdiff_t>(std::lround(kAhead / hopSeconds)));
  std::vector<double> onsets;
  const auto size = static_cast<std::ptrdiff_t>(strength.size());
  for (std::ptrdiff_t shift = from; shift <= to; ++shift) {
    double met = 0;
    for (const std::ptrdiff_t start : starts) {
      // The take's hop where the start's onset peaks, and half of each hop beside it.
      const std::ptrdiff_t peak = start + shift - kOnsetLead;
      for (std::ptrdiff_t at = peak - 1; at <= peak + 1; ++at) {
        if (at >= 0 && at < size) {
          met += strength[static_cast<std::size_t>(at)] * (at == peak ? 1.0 : 0.5);
        }
      }
    }
    onsets.push_back(met);
  }
  std::vector<double> sorted = onsets;
  const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
  std::nth_element(sorted.begin(), middle, sorted.end());
  const double median = *middle;
  const double most = *std::max_element(onsets.begin(), onsets.end());
  if (most - median <= 1e-9 * std::max(1.0, most)) {
    return contour;  // no onsets stand out: a take of glides or of noise
  }
  std::ptrdiff_t chosen = contour;
  double chosenScore = -1e300;
  for (std::ptrdiff_t shift = from; shift <= to; ++shift) {
    const double score =
        scores[static_cast<std::size_t>(shift + farthest)] / best +
        kOnsetWeight * (onsets[static_cast<std::size_t>(shift - from)] - median) / (most - median);
    if (score > chosenScore) {
      chosenScore = score;
      chosen = shift;
    }
  }
  return chosen;
}

}  // namespace

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
  const std::ptrdiff_t shift = ShiftByOnsets(notes, frames, hopSeconds, scores, contour, farthest);
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
