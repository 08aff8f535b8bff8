// The engine that knows the dialog: it posts a message for every returned buffer and for every
// close of the stream device, so the dialog reacts on its own thread.
#pragma once

#include <atomic>

#include "platform/window.h"
#include "player/midi_stream_player.h"

namespace quirelle::player {

class CNotifyingPlayer : public CMidiStreamPlayer {
 public:
  using CMidiStreamPlayer::CMidiStreamPlayer;
  ~CNotifyingPlayer() override;

  // Set once, before the first load; the window must outlive the engine's playing.
  void SetDialogWindow(platform::Window* window) { dialogWindow_.store(window); }

 protected:
  void OnClose() override;
  void OnDone(stream::MIDIHDR* header) override;

 private:
  void PostToDialog(std::uint32_t message, std::uintptr_t wParam);

  std::atomic<platform::Window*> dialogWindow_{nullptr};
};

}  // namespace quirelle::player
