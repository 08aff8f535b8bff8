// The window messages the player window posts to itself for what the engine reports, registered
// by name at start-up, and the engine listener that posts them: the handlers then run on the
// window's own thread, in order.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/registered_message.h"
#include "platform/window.h"
#include "player/engine_listener.h"

namespace quirelle::ui {

// A buffer came back (wParam: the running total of bytes played).
extern const std::uint32_t rwm_positionchanged;
// The stream device was closed.
extern const std::uint32_t rwm_playedoff;

class PostingListener final : public player::EngineListener {
 public:
  // The window to post to; null posts nothing. It must outlive the engine's playing.
  void SetWindow(platform::Window* window) { window_.store(window); }

  void OnPositionChanged(std::uint32_t runningTotal) override;
  void OnPlayedOff() override;

 private:
  void Post(std::uint32_t message, std::uintptr_t wParam);

  std::atomic<platform::Window*> window_{nullptr};
};

}  // namespace quirelle::ui
