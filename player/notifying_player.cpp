#include "player/notifying_player.h"

#include "player/window_messages.h"

namespace quirelle::player {

CNotifyingPlayer::~CNotifyingPlayer() {
  // The final stop posts nothing, and no callback may reach this object's hooks once it is gone.
  dialogWindow_.store(nullptr);
  Shutdown();
}

void CNotifyingPlayer::OnClose() {
  CMidiStreamPlayer::OnClose();
  PostToDialog(rwm_playedoff, 0);
}

void CNotifyingPlayer::OnDone(stream::MIDIHDR* header) {
  CMidiStreamPlayer::OnDone(header);
  PostToDialog(rwm_positionchanged, runningTotal());
}

void CNotifyingPlayer::PostToDialog(std::uint32_t message, std::uintptr_t wParam) {
  if (platform::Window* window = dialogWindow_.load()) {
    window->Post(message, wParam, 0);
  }
}

}  // namespace quirelle::player
