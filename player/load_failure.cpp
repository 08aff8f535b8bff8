// The words for each way a load can fail, from what the engine recorded about it.
#include "player/load_failure.h"

#include "midi/vocabulary.h"
#include "player/stream/tick_clock.h"

namespace quirelle::player {
namespace {

std::string TimeDivisionProblem(std::uint16_t division) {
  if (stream::TickClock::IsValidDivision(division)) {
    return "The MIDI output refused its time division (" + std::to_string(division) + ").";
  }
  if (!midi::IsSmpteDivision(division)) {
    return "Its time division is 0 ticks per quarter note, which cannot be played.";
  }
  return "Its time division (" + std::to_string(midi::SmpteFramesPerSecond(division)) +
         " frames per second, " + std::to_string(midi::SmpteTicksPerFrame(division)) +
         " ticks per frame) cannot be played: the output plays 24, 25, 29 or 30 frames per "
         "second of at least one tick.";
}

}  // namespace

std::string DescribeLoadFailure(const CMidiStreamPlayer& player) {
  if (!player.file().HasImage()) {
    return "It is not a Standard MIDI File, or its chunks are damaged.";
  }
  using Step = CMidiStreamPlayer::OpenStep;
  switch (player.failedOpenStep()) {
    case Step::kDevice:
      return player.lastOpenError().empty()
                 ? "No MIDI output could be opened."
                 : "No MIDI output could be opened: " + player.lastOpenError();
    case Step::kTimeDivision:
      return TimeDivisionProblem(player.file().division());
    case Step::kAllocate:
      return "There is not enough memory for the stream buffers.";
    case Step::kPrepare:
      return "The MIDI output could not prepare the stream buffers.";
    case Step::kFirstBuffers:
    case Step::kNone:
      break;
  }
  return "Its track data are damaged at the start of the song.";
}

}  // namespace quirelle::player
