// Why a load failed, in words a window or a terminal can show.
#pragma once

#include <string>

#include "player/midi_stream_player.h"

namespace quirelle::player {

// For an engine whose LoadFromFile just returned 0.
std::string DescribeLoadFailure(const CMidiStreamPlayer& player);

}  // namespace quirelle::player
