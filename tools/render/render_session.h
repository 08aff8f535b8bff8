// Plays one song through the engine the way the player window does, for quirelle-render.
#pragma once

#include <ostream>

#include "tools/render/options.h"

namespace quirelle::render {

// Exit status: 0 when the song was played to its end (or, for --info, described), 2 when it
// cannot be read or played.
int RunRender(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace quirelle::render
