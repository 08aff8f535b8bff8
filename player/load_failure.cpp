#include "player/load_failure.h"

namespace quirelle::player {

std::string DescribeLoadFailure(const CMidiStreamPlayer& player) {
  if (!player.file().HasImage()) {
    return "It is not a Standard MIDI File, or its chunks are damaged.";
  }
  if (!player.lastOpenError().empty()) {
    return "No MIDI output could be opened: " + player.lastOpenError();
  }
  return "Its track data are damaged at the start of the song.";
}

}  // namespace quirelle::player
