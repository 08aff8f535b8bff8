// The followed voice as sung, pass by pass.
#include "ui/sung_line.h"

#include <algorithm>
#include <cmath>

#include "midi/vocabulary.h"

namespace quirelle::ui {
namespace {

using Seconds = std::chrono::duration<double>;

// A note is judged once the singing after its end has had this long to come in.
constexpr auto kJudgeMargin = std::chrono::milliseconds(150);
// A position this many ticks before the last one heard is a jump back (a loop's restart).
constexpr std::uint32_t kJumpTicks = 2;

SungMark MarkOf(const sing::NoteJudgement& judgement) {
  switch (judgement.verdict) {
    case sing::Verdict::kInTune:
      return SungMark::kInTune;
    case sing::Verdict::kMissed:
      return SungMark::kMissed;
    default:
      return SungMark::kOff;
  }
}

const char* const kNoteNames[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

}  // namespace

void SungLine::Reset(const smf::MidiFile* file, const smf::VoiceNotes* notes,
                     const smf::Words* words, int transpose, int tolerance, bool sameLine) {
  file_ = file;
  notes_ = notes;
  if (!sameLine) {
    overlay_.notes.clear();
  }
  words_ = words;
  transpose_ = transpose;
  tolerance_ = tolerance;
  summary_.reset();
  StartPass();
}

void SungLine::StartPass() {
  origin_ = Clock::now();
  heard_.clear();
  sung_.clear();
  const std::size_t count = notes_ != nullptr ? notes_->notes().size() : 0;
  crossings_.assign(count, {});
  overlay_.trace.clear();
  // The last pass's verdicts stay in view until the notes are sung again.
  overlay_.notes.resize(count, SungMark::kNone);
}

void SungLine::Heard(Clock::time_point at, std::uint32_t tick) {
  if (notes_ == nullptr) {
    return;
  }
  if (!heard_.empty() && tick + kJumpTicks < heard_.back().tick) {
    EndPass();
  }
  if (!heard_.empty() && tick <= heard_.back().tick) {
    return;  // standing still (paused, or the count-in)
  }
  const std::optional<Position> previous =
      heard_.empty() ? std::nullopt : std::optional<Position>(heard_.back());
  heard_.push_back({at, tick});
  const auto& notes = notes_->notes();
  if (!previous) {
    // The pass begins here: the notes that begin here are crossed now.
    notes_->ForEachIn(tick, tick + 1, [&](const smf::WrittenNote& note) {
      if (note.start == tick) {
        crossings_[static_cast<std::size_t>(&note - notes.data())].start = at;
        overlay_.notes[static_cast<std::size_t>(&note - notes.data())] = SungMark::kNone;
      }
    });
    return;
  }
  // The moment between the two positions heard at which `crossed` was reached.
  auto reached = [&](std::uint32_t crossed) {
    const double share = double(crossed - previous->tick) / double(tick - previous->tick);
    return previous->at + std::chrono::duration_cast<Clock::duration>((at - previous->at) * share);
  };
  notes_->ForEachIn(previous->tick, tick + 1, [&](const smf::WrittenNote& note) {
    Crossing& crossing = crossings_[static_cast<std::size_t>(&note - notes.data())];
    if (note.start > previous->tick && note.start <= tick) {
      crossing.start = reached(note.start);
      overlay_.notes[static_cast<std::size_t>(&note - notes.data())] = SungMark::kNone;
    }
    if (note.end > previous->tick && note.end <= tick && crossing.start) {
      crossing.end = reached(note.end);
    }
  });
}

std::optional<std::uint32_t> SungLine::TickAt(Clock::time_point at) const {
  const auto after =
      std::upper_bound(heard_.begin(), heard_.end(), at,
                       [](Clock::time_point t, const Position& p) { return t < p.at; });
  if (after == heard_.begin() || after == heard_.end()) {
    return std::nullopt;  // before the pass or not heard yet
  }
  const Position& before = *(after - 1);
  const double share = Seconds(at - before.at) / Seconds(after->at - before.at);
  return before.tick + static_cast<std::uint32_t>(share * (after->tick - before.tick));
}

void SungLine::Sung(const std::vector<sing::DatedPitch>& pitches, std::chrono::milliseconds delay) {
  if (notes_ == nullptr) {
    return;
  }
  for (const sing::DatedPitch& pitch : pitches) {
    const Clock::time_point at = pitch.sungAt - delay;
    sung_.push_back({Seconds(at - origin_).count(), pitch.key});
    const std::optional<std::uint32_t> tick = TickAt(at);
    if (pitch.key <= 0 || !tick) {
      continue;
    }
    SungMark mark = SungMark::kNone;
    notes_->ForEachIn(*tick, *tick + 1, [&](const smf::WrittenNote& note) {
      const double cents = sing::FoldedCents(pitch.key, note.key + transpose_);
      mark = std::fabs(cents) <= tolerance_ ? SungMark::kInTune : SungMark::kOff;
    });
    if (overlay_.trace.empty() || overlay_.trace.back().tick <= *tick) {
      overlay_.trace.push_back({*tick, pitch.key, mark});
    }
  }
}

void SungLine::Judge(std::size_t index) {
  Crossing& crossing = crossings_[index];
  const smf::WrittenNote& note = notes_->notes()[index];
  sing::WrittenNote written;
  written.start = Seconds(*crossing.start - origin_).count();
  written.end = Seconds(*crossing.end - origin_).count();
  written.key = note.key + transpose_;
  crossing.judgement = sing::JudgeNote(written, sung_, 0.0, tolerance_);
  crossing.judged = true;
  overlay_.notes[index] = MarkOf(crossing.judgement);
}

void SungLine::JudgePassed(Clock::time_point now, std::chrono::milliseconds delay) {
  for (std::size_t i = 0; i < crossings_.size(); ++i) {
    const Crossing& crossing = crossings_[i];
    if (!crossing.judged && crossing.end && now - delay > *crossing.end + kJudgeMargin) {
      Judge(i);
    }
  }
}

void SungLine::EndPass() {
  if (notes_ == nullptr) {
    return;
  }
  for (std::size_t i = 0; i < crossings_.size(); ++i) {
    Crossing& crossing = crossings_[i];
    if (!crossing.judged && crossing.start) {
      if (!crossing.end && !heard_.empty()) {
        crossing.end = heard_.back().at;  // the song ended inside it
      }
      if (crossing.end && *crossing.end > *crossing.start) {
        Judge(i);
      }
    }
  }
  Summarise();
  StartPass();
}

void SungLine::Summarise() {
  int judged = 0;
  int inTune = 0;
  std::optional<std::size_t> worst;
  auto badness = [&](std::size_t i) {
    const sing::NoteJudgement& j = crossings_[i].judgement;
    return j.verdict == sing::Verdict::kMissed ? 10000 : std::abs(j.cents);
  };
  for (std::size_t i = 0; i < crossings_.size(); ++i) {
    if (!crossings_[i].judged) {
      continue;
    }
    ++judged;
    if (crossings_[i].judgement.verdict == sing::Verdict::kInTune) {
      ++inTune;
    } else if (!worst || badness(i) > badness(*worst)) {
      worst = i;
    }
  }
  if (judged == 0) {
    return;
  }
  QString line = QStringLiteral("%1 of %2 notes in tune").arg(inTune).arg(judged);
  if (worst) {
    const smf::WrittenNote& note = notes_->notes()[*worst];
    QString where;
    if (const auto bar = file_ != nullptr ? file_->GetBarNumber(note.start) : std::nullopt) {
      where = QStringLiteral("bar %1 ").arg(*bar);
    }
    // The syllable sung on the note, else the note's name.
    QString what;
    for (const smf::WordsLine& line : words_ != nullptr ? *words_ : smf::Words{}) {
      for (const smf::Syllable& syllable : line.syllables) {
        if (syllable.tick >= note.start && syllable.tick < note.end && what.isEmpty()) {
          what = QStringLiteral("\"%1\"").arg(QString::fromStdString(syllable.text));
        }
      }
    }
    if (what.isEmpty()) {
      const int key = note.key + transpose_;
      what = QStringLiteral("%1%2").arg(kNoteNames[midi::PitchClass(key)]).arg(key / 12 - 1);
    }
    const sing::NoteJudgement& j = crossings_[*worst].judgement;
    const QString how = j.verdict == sing::Verdict::kMissed
                            ? QStringLiteral("missed")
                            : QStringLiteral("%1 cents %2")
                                  .arg(std::abs(j.cents))
                                  .arg(j.verdict == sing::Verdict::kSharp ? "sharp" : "flat");
    line += QStringLiteral(" \u00b7 ") + where + what + QStringLiteral(" ") + how;
  }
  summary_ = line;
}

std::optional<QString> SungLine::TakeSummary() {
  return std::exchange(summary_, std::nullopt);
}

}  // namespace quirelle::ui
