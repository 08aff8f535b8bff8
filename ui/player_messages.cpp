#include "ui/player_messages.h"

namespace quirelle::ui {

const std::uint32_t rwm_positionchanged = platform::RegisterWindowMessage("rwm_positionchanged");
const std::uint32_t rwm_playedoff = platform::RegisterWindowMessage("rwm_playedoff");

void PostingListener::OnPositionChanged(std::uint32_t runningTotal) {
  Post(rwm_positionchanged, runningTotal);
}

void PostingListener::OnPlayedOff() {
  Post(rwm_playedoff, 0);
}

void PostingListener::Post(std::uint32_t message, std::uintptr_t wParam) {
  if (platform::Window* window = window_.load()) {
    window->Post(message, wParam, 0);
  }
}

}  // namespace quirelle::ui
