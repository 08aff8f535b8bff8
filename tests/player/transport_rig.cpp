#include "tests/player/transport_rig.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace quirelle::testing {

Bytes FourVoiceSong(int quarters) {
  std::vector<TrackData> tracks(1);
  tracks[0].Text(0, 0x03, "Four voices").Tempo(0, 500000).End();
  for (std::uint8_t voice = 0; voice < 4; ++voice) {
    TrackData track;
    const auto note = static_cast<std::uint8_t>(60 + voice * 4);
    for (int i = 0; i < quarters; ++i) {
      track.Event(0, {static_cast<std::uint8_t>(0x90 | voice), note, 0x50});
      track.Event(480, {static_cast<std::uint8_t>(0x80 | voice), note, 0x40});
    }
    tracks.push_back(track.End());
  }
  return MidiImage(1, 480, tracks);
}

Bytes HeldChordSong(int quarters) {
  std::vector<TrackData> tracks(1);
  tracks[0].Tempo(0, 500000).End();
  for (std::uint8_t voice = 0; voice < 4; ++voice) {
    const auto note = static_cast<std::uint8_t>(60 + voice * 4);
    TrackData track;
    track.Event(0, {static_cast<std::uint8_t>(0xB0 | voice), 64, 127})
        .Event(0, {static_cast<std::uint8_t>(0x90 | voice), note, 0x50})
        .Event(static_cast<std::uint32_t>(quarters) * 480,
               {static_cast<std::uint8_t>(0x80 | voice), note, 0x40})
        .Event(0, {static_cast<std::uint8_t>(0xB0 | voice), 64, 0});
    tracks.push_back(track.End());
  }
  return MidiImage(1, 480, tracks);
}

LeftSounding AllPedalsDown() {
  LeftSounding left;
  for (int channel = 0; channel < 16; ++channel) {
    left.sustained.insert(channel);
  }
  return left;
}

LeftSounding WhatIsLeftSounding(const std::vector<stream::RecordedMessage>& messages,
                                LeftSounding before) {
  LeftSounding left = std::move(before);
  for (const auto& m : messages) {
    const int kind = static_cast<int>(m.message & 0xF0);
    const int channel = static_cast<int>(m.message & 0x0F);
    const int data1 = static_cast<int>((m.message >> 8) & 0x7F);
    const int data2 = static_cast<int>((m.message >> 16) & 0x7F);
    if (kind == 0x90 && data2 != 0) {
      left.notes.insert({channel, data1});
    } else if (kind == 0x80 || kind == 0x90) {
      left.notes.erase({channel, data1});
    } else if (kind == 0xB0 && (data1 == 123 || data1 == 120)) {
      std::erase_if(left.notes, [&](const auto& note) { return note.first == channel; });
    } else if (kind == 0xB0 && data1 == 64) {
      if (data2 >= 64) {
        left.sustained.insert(channel);
      } else {
        left.sustained.erase(channel);
      }
    }
  }
  return left;
}

std::uint64_t DeviceTimeOf(TransportRig& rig, const std::function<void()>& action,
                           std::uint64_t stepMicros) {
  const std::uint64_t start = rig.driver.clock().NowMicros();
  std::atomic<bool> done{false};
  std::thread actor([&] {
    action();
    done = true;
  });
  while (!done) {
    // Time moves only while the callback thread is idle: the action is then waiting on time.
    rig.driver.WaitIdle();
    if (done) {
      break;
    }
    rig.driver.Advance(stepMicros);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  actor.join();
  return rig.driver.clock().NowMicros() - start;
}

}  // namespace quirelle::testing
