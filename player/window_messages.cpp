#include "player/window_messages.h"

namespace quirelle::player {

const std::uint32_t rwm_positionchanged = platform::RegisterWindowMessage("rwm_positionchanged");
const std::uint32_t rwm_playedoff = platform::RegisterWindowMessage("rwm_playedoff");

}  // namespace quirelle::player
