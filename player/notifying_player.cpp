#include "player/notifying_player.h"

namespace quirelle::player {

CNotifyingPlayer::~CNotifyingPlayer() {
  // The final stop tells nobody, and no callback may reach this object's hooks once it is gone.
  listener_.store(nullptr);
  Shutdown();
}

void CNotifyingPlayer::OnError(stream::MMRESULT result) {
  if (EngineListener* listener = listener_.load()) {
    listener->OnDeviceError(result);
  }
}

void CNotifyingPlayer::OnParseError(const smf::TrackCursor&, const char* message) {
  if (EngineListener* listener = listener_.load()) {
    listener->OnSongDataError(message);
  }
}

void CNotifyingPlayer::OnClose() {
  CMidiStreamPlayer::OnClose();
  if (EngineListener* listener = listener_.load()) {
    listener->OnPlayedOff();
  }
}

void CNotifyingPlayer::OnDone(stream::MIDIHDR* header) {
  CMidiStreamPlayer::OnDone(header);
  if (EngineListener* listener = listener_.load()) {
    listener->OnPositionChanged(runningTotal());
  }
}

}  // namespace quirelle::player
