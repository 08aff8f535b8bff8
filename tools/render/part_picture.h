// A part sheet: the passage of a loaded song drawn from left to right by the notes view's painter,
// one voice bright with its words under its notes and the printed bar numbers above, written as
// an SVG (words and numbers stay text) or a PNG.
#pragma once

#include <ostream>

#include "player/midi_stream_player.h"
#include "tools/render/options.h"

namespace quirelle::render {

// Draws the passage `engine` has loaded into options.picturePath. 0, or 2 with the reason on `err`.
int WritePicture(const player::CMidiStreamPlayer& engine, const Options& options,
                 std::ostream& err);

}  // namespace quirelle::render
