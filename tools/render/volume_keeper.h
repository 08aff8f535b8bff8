// The window quirelle-render gives the engine: it sends the four voice volumes when the song
// starts, as the player window does, and tells when the device has been closed.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/window.h"
#include "player/midi_stream_player.h"

namespace quirelle::render {

class VolumeKeeper final : public platform::Window {
 public:
  explicit VolumeKeeper(const std::array<std::uint32_t, 4>& volumes) : volumes_(volumes) {}

  // The engine to send to; set before Play, cleared before the engine goes.
  void Attach(player::CMidiStreamPlayer* engine) { engine_.store(engine); }
  void SendVolumes();

  void Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
  bool Alive() const override { return true; }

  // Messages posted so far: a caller stepping a clock sees whether anything happened.
  std::uint64_t posted() const { return posted_.load(); }
  bool closed() const;
  // Waits up to `millis` for the close; true once it has come.
  bool WaitClosed(std::uint32_t millis);

 private:
  const std::array<std::uint32_t, 4> volumes_;
  std::atomic<player::CMidiStreamPlayer*> engine_{nullptr};
  std::atomic<std::uint64_t> posted_{0};
  mutable std::mutex mutex_;
  std::condition_variable closedChanged_;
  bool closed_ = false;
};

}  // namespace quirelle::render
