#include "tools/render/take_lines.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "midi/vocabulary.h"

namespace quirelle::render {

void SoundedLine::Hear(std::uint32_t message, double seconds, std::uint32_t tick,
                       std::optional<std::int32_t> bar) {
  const std::uint8_t status = midi::StatusOf(message);
  if (!midi::IsChannelStatus(status) || midi::ChannelOf(status) != channel_) {
    return;
  }
  const std::uint8_t kind = midi::KindOf(status);
  const int key = midi::Data1Of(message);
  if (kind == midi::kNoteOn && midi::Data2Of(message) > 0) {
    Release(key, seconds, tick);  // a key struck again ends its last note
    down_.push_back({{seconds, seconds, key, bar}, tick});
  } else if (kind == midi::kNoteOff || kind == midi::kNoteOn) {
    Release(key, seconds, tick);
  } else if (kind == midi::kControlChange &&
             (key == midi::kAllNotesOff || key == midi::kAllSoundOff)) {
    while (!down_.empty()) {
      Release(down_.front().note.key, seconds, tick);
    }
  }
}

void SoundedLine::Release(int key, double seconds, std::uint32_t tick) {
  const auto found = std::find_if(down_.begin(), down_.end(),
                                  [key](const Down& down) { return down.note.key == key; });
  if (found == down_.end()) {
    return;
  }
  if (tick != found->tick) {
    found->note.end = seconds;
    notes_.push_back(found->note);
  }
  down_.erase(found);
}

std::vector<sing::WrittenNote> SoundedLine::Finish(double seconds) {
  for (Down& down : down_) {
    down.note.end = seconds;
    notes_.push_back(down.note);
  }
  down_.clear();
  std::vector<sing::WrittenNote> notes = std::move(notes_);
  notes_.clear();
  std::stable_sort(notes.begin(), notes.end(),
                   [](const sing::WrittenNote& a, const sing::WrittenNote& b) {
                     return a.start < b.start || (a.start == b.start && a.key < b.key);
                   });
  return notes;
}

std::string KeyName(int key) {
  static constexpr const char* kNames[] = {"C",  "C#", "D",  "D#", "E",  "F",
                                           "F#", "G",  "G#", "A",  "A#", "B"};
  char name[16];
  std::snprintf(name, sizeof name, "%s%d", kNames[midi::PitchClass(key)], key / 12 - 1);
  return name;
}

std::string JudgeLines(const std::vector<sing::WrittenNote>& notes,
                       const sing::TakeJudgement& judged) {
  std::string text;
  char line[128];
  for (std::size_t i = 0; i < notes.size() && i < judged.notes.size(); ++i) {
    const sing::WrittenNote& note = notes[i];
    const sing::NoteJudgement& verdict = judged.notes[i];
    const std::string bar = note.bar ? std::to_string(*note.bar) : "-";
    char cents[16] = "-";
    if (verdict.verdict != sing::Verdict::kMissed) {
      std::snprintf(cents, sizeof cents, verdict.cents == 0 ? "%d" : "%+d", verdict.cents);
    }
    std::snprintf(line, sizeof line, "%.3f %s %s %s %s\n", note.start, bar.c_str(),
                  KeyName(note.key).c_str(), cents, sing::VerdictName(verdict.verdict));
    text += line;
  }
  std::snprintf(line, sizeof line,
                "judge: notes=%zu in_tune=%d sharp=%d flat=%d missed=%d offset_ms=%ld\n",
                notes.size(), judged.inTune, judged.sharp, judged.flat, judged.missed,
                std::lround(judged.offset * 1000));
  return text + line;
}

}  // namespace quirelle::render
