// The followed voice as the singer sings it in the window, pass by pass: each pitch the
// microphone heard is placed on the song's ticks by what was heard of the music when it was sung
// (less the mic delay), each written note is judged by the one rule of sing/take_judge.h once it
// has passed, and a pass is summed up in a line at a loop's restart and at the song's end:
// "23 of 26 notes in tune · bar 5 "trost" 40 cents flat".
#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "sing/live_pitch.h"
#include "sing/take_judge.h"
#include "smf/midi_file.h"
#include "ui/notes_painter.h"

namespace quirelle::ui {

class SungLine {
 public:
  using Clock = std::chrono::steady_clock;

  // A new song, voice, key or tolerance: the pass starts over. `notes` and `words` (may be null)
  // belong to `file`, which outlives this or the next Reset. The same song loaded again (its end,
  // Rewind) keeps the last pass's verdicts in view: `sameLine`.
  void Reset(const smf::MidiFile* file, const smf::VoiceNotes* notes, const smf::Words* words,
             int transpose, int tolerance, bool sameLine = false);
  // Where the sound heard stood at `at`. A tick far before the last one is a loop's restart: the
  // pass ends there.
  void Heard(Clock::time_point at, std::uint32_t tick);
  // Pitches sung; the singer's voice reaches the microphone `delay` after the music they sing
  // with was heard.
  void Sung(const std::vector<sing::DatedPitch>& pitches, std::chrono::milliseconds delay);
  // Judges the notes whose time has passed, as far as `now` less the delay allows.
  void JudgePassed(Clock::time_point now, std::chrono::milliseconds delay);
  // Ends the pass (the song's end): what is left is judged and summed up.
  void EndPass();
  // The line of the last pass ended, once; nothing when none ended since.
  std::optional<QString> TakeSummary();

  const SungOverlay& overlay() const { return overlay_; }

 private:
  struct Crossing {
    std::optional<Clock::time_point> start;
    std::optional<Clock::time_point> end;
    bool judged = false;
    sing::NoteJudgement judgement;
  };
  // The tick heard at `at` in this pass, from the positions heard around it.
  std::optional<std::uint32_t> TickAt(Clock::time_point at) const;
  void Judge(std::size_t note);
  void Summarise();
  void StartPass();

  const smf::MidiFile* file_ = nullptr;
  const smf::VoiceNotes* notes_ = nullptr;
  const smf::Words* words_ = nullptr;
  int transpose_ = 0;
  int tolerance_ = sing::kWideTolerance;
  Clock::time_point origin_;  // seconds of the pass count from here
  struct Position {
    Clock::time_point at;
    std::uint32_t tick;
  };
  std::deque<Position> heard_;          // this pass's positions, in order
  std::vector<sing::PitchFrame> sung_;  // this pass's frames, seconds from origin_
  std::vector<Crossing> crossings_;     // by note
  SungOverlay overlay_;
  std::optional<QString> summary_;
};

}  // namespace quirelle::ui
