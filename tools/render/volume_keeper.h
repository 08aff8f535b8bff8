// What quirelle-render listens to the engine with: it sends the voices' volumes when the song
// starts, as the player window does, tells when the device has been closed, and keeps the first
// report of damaged song data.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "player/engine_listener.h"
#include "player/midi_stream_player.h"

namespace quirelle::render {

class VolumeKeeper final : public player::EngineListener {
 public:
  // By voice number, as --volumes takes them.
  explicit VolumeKeeper(const std::array<std::uint32_t, 15>& volumes) : volumes_(volumes) {}

  // The engine to send to; set before Play, cleared before the engine goes.
  void Attach(player::CMidiStreamPlayer* engine) { engine_.store(engine); }
  void SendVolumes();

  void OnPositionChanged(std::uint32_t runningTotal) override;
  void OnPlayedOff() override;
  void OnSongDataError(const char* message) override;

  // Reports so far: a caller stepping a clock sees whether anything happened.
  std::uint64_t posted() const { return posted_.load(); }
  // The first damaged-data message, or null.
  const char* songDataError() const { return songDataError_.load(); }
  bool closed() const;
  // Waits up to `millis` for the close; true once it has come.
  bool WaitClosed(std::uint32_t millis);

 private:
  const std::array<std::uint32_t, 15> volumes_;
  std::atomic<player::CMidiStreamPlayer*> engine_{nullptr};
  std::atomic<std::uint64_t> posted_{0};
  std::atomic<const char*> songDataError_{nullptr};
  mutable std::mutex mutex_;
  std::condition_variable closedChanged_;
  bool closed_ = false;
};

}  // namespace quirelle::render
