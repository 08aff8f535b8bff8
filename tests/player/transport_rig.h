// An engine on the virtual device with a window that collects what the engine posts.
#pragma once

#include <algorithm>
#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "platform/message_queue_window.h"
#include "player/notifying_player.h"
#include "player/stream/virtual/virtual_device.h"
#include "tests/support/memory_file.h"
#include "tests/support/midi_image.h"

namespace quirelle::testing {

// What the rig's listener posts for each report of the engine.
inline constexpr std::uint32_t rwm_positionchanged = 1;
inline constexpr std::uint32_t rwm_playedoff = 2;

// Posts the engine's reports to a window, as the player window does.
class PostingListener final : public player::EngineListener {
 public:
  explicit PostingListener(platform::Window& window) : window_(window) {}
  void OnPositionChanged(std::uint32_t runningTotal) override {
    window_.Post(rwm_positionchanged, runningTotal, 0);
  }
  void OnPlayedOff() override { window_.Post(rwm_playedoff, 0, 0); }

 private:
  platform::Window& window_;
};

class TransportRig {
 public:
  explicit TransportRig(stream::VirtualDriver::Mode mode = stream::VirtualDriver::Mode::kManual)
      : driver(mode), engine(driver, driver.clock()) {
    engine.SetListener(&listener);
  }

  int Load(const Bytes& image) {
    MemoryFile file(image);
    return engine.LoadFromFile(file);
  }
  // Lets the callback thread finish, then takes every message posted so far.
  std::vector<platform::PostedMessage> Posted() {
    driver.WaitIdle();
    std::vector<platform::PostedMessage> all;
    while (auto message = window.Take(0)) {
      all.push_back(*message);
    }
    return all;
  }
  static long Count(const std::vector<platform::PostedMessage>& posted, std::uint32_t message) {
    return std::count_if(posted.begin(), posted.end(),
                         [&](const platform::PostedMessage& m) { return m.message == message; });
  }
  std::uint32_t Ticks() {
    stream::MMTIME time{};
    return engine.GetPosition(&time) != 0 ? time.u.ticks : 0xFFFFFFFF;
  }
  std::vector<stream::RecordedMessage> Recorded(stream::RecordedMessage::Kind kind) const {
    std::vector<stream::RecordedMessage> out;
    for (const auto& m : driver.Messages()) {
      if (m.kind == kind) {
        out.push_back(m);
      }
    }
    return out;
  }

  stream::VirtualDriver driver;
  platform::MessageQueueWindow window;
  PostingListener listener{window};
  player::CNotifyingPlayer engine;
};

// Four voices of quarter notes for `quarters` beats at 480 ticks per quarter (0.5 s each).
Bytes FourVoiceSong(int quarters);
// Four voices, each holding one note for `quarters` beats with its sustain pedal down.
Bytes HeldChordSong(int quarters);

// What is still sounding once every recorded message has been applied to `before`: the notes
// (channel, key) still on, and the channels whose sustain pedal is down.
struct LeftSounding {
  std::set<std::pair<int, int>> notes;
  std::set<int> sustained;
};
// Every pedal down: what nothing but a release on all 16 channels clears.
LeftSounding AllPedalsDown();
LeftSounding WhatIsLeftSounding(const std::vector<stream::RecordedMessage>& messages,
                                LeftSounding before = {});

// Runs `action` on a thread of its own and moves the device clock on by `stepMicros` whenever the
// callback thread has nothing left to do, until the action returns; the device time it took.
std::uint64_t DeviceTimeOf(TransportRig& rig, const std::function<void()>& action,
                           std::uint64_t stepMicros);

}  // namespace quirelle::testing
