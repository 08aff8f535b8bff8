// What `quirelle-render --info` prints: the texts the player window shows for a song, its last
// bar and its length.
#pragma once

#include <string>

#include "player/midi_stream_player.h"

namespace quirelle::render {

// "title: T", "voice 1: N1" … "voice 4: N4", "bars: B" ("-" for a song timed in SMPTE
// frames), each ending in a newline, for a loaded song read from `path`.
std::string SongInfoLines(const player::CMidiStreamPlayer& engine, const std::string& path);

// "seconds: S", one decimal, and a newline.
std::string SecondsLine(double seconds);

}  // namespace quirelle::render
