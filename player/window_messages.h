// The window messages the engine posts to the dialog, registered by name at start-up.
#pragma once

#include <cstdint>

#include "platform/registered_message.h"

namespace quirelle::player {

// A buffer came back (wParam: the running total of bytes played).
extern const std::uint32_t rwm_positionchanged;
// The stream device was closed.
extern const std::uint32_t rwm_playedoff;

}  // namespace quirelle::player
