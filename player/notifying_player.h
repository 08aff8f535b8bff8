// The engine that tells a listener what happens: every returned buffer, every close of the
// stream device and every failure, so that the program driving it can follow on its own thread.
#pragma once

#include <atomic>

#include "player/engine_listener.h"
#include "player/midi_stream_player.h"

namespace quirelle::player {

class CNotifyingPlayer : public CMidiStreamPlayer {
 public:
  using CMidiStreamPlayer::CMidiStreamPlayer;
  ~CNotifyingPlayer() override;

  // Set once, before the first load; the listener must outlive the engine's playing.
  void SetListener(EngineListener* listener) { listener_.store(listener); }

 protected:
  void OnError(stream::MMRESULT result) override;
  void OnParseError(const smf::TrackCursor& cursor, const char* message) override;
  void OnClose() override;
  void OnDone(stream::MIDIHDR* header) override;

 private:
  std::atomic<EngineListener*> listener_{nullptr};
};

}  // namespace quirelle::player
