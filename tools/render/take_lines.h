// quirelle-render --judge: the notes the judged voice sounds in the render, gathered from the
// messages the device plays, and the lines the verdicts are printed as.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sing/take_judge.h"

namespace quirelle::render {

// The notes of one channel in the order they sound (lower key first at equal times).
class SoundedLine {
 public:
  explicit SoundedLine(std::uint8_t channel) : channel_(channel) {}
  // A message the device played `seconds` into the render, at the song's `tick`, in `bar`.
  void Hear(std::uint32_t message, double seconds, std::uint32_t tick,
            std::optional<std::int32_t> bar);
  // Ends the notes still down at `seconds` and gives every note. A note whose start and end lie at
  // one tick of the song is no written note (the starting notes sound in the lead-in) and is left
  // out.
  std::vector<sing::WrittenNote> Finish(double seconds);

 private:
  struct Down {
    sing::WrittenNote note;
    std::uint32_t tick = 0;
  };
  void Release(int key, double seconds, std::uint32_t tick);

  std::uint8_t channel_;
  std::vector<Down> down_;
  std::vector<sing::WrittenNote> notes_;
};

// "TIME_S BAR NOTE CENTS VERDICT" for each note, then the summary line "judge: ...".
std::string JudgeLines(const std::vector<sing::WrittenNote>& notes,
                       const sing::TakeJudgement& judged);

// "C4" for 60, "F#4" for 66.
std::string KeyName(int key);

}  // namespace quirelle::render
