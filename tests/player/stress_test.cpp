// Random transport operations against the virtual device in real time: no race, no deadlock,
// every stop comes back, and no note is left sounding after a stop.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <random>
#include <set>
#include <thread>

#include "tests/player/transport_rig.h"

namespace quirelle::testing {
namespace {

using Kind = stream::RecordedMessage::Kind;

// Notes that are still sounding once every recorded message has been applied.
std::set<std::pair<int, int>> SoundingNotes(const std::vector<stream::RecordedMessage>& messages) {
  std::set<std::pair<int, int>> sounding;
  for (const auto& m : messages) {
    const int status = static_cast<int>(m.message & 0xFF);
    const int channel = status & 0x0F;
    const int data1 = static_cast<int>((m.message >> 8) & 0x7F);
    const int data2 = static_cast<int>((m.message >> 16) & 0x7F);
    if ((status & 0xF0) == 0x90 && data2 != 0) {
      sounding.insert({channel, data1});
    } else if ((status & 0xF0) == 0x80 || (status & 0xF0) == 0x90) {
      sounding.erase({channel, data1});
    } else if ((status & 0xF0) == 0xB0 && (data1 == 123 || data1 == 120)) {
      std::erase_if(sounding, [&](const auto& note) { return note.first == channel; });
    }
  }
  return sounding;
}

TEST(TransportStress, TenThousandRandomOperations) {
  TransportRig rig(stream::VirtualDriver::Mode::kRealTime);
  const Bytes song = FourVoiceSong(8);
  ASSERT_EQ(rig.Load(song), 1);
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> pick(0, 99);
  std::uniform_int_distribution<int> pause(0, 300);
  auto slowestStop = std::chrono::steady_clock::duration::zero();
  int stops = 0;

  auto stopAndCheck = [&] {
    const auto start = std::chrono::steady_clock::now();
    rig.engine.Stop();
    slowestStop = std::max(slowestStop, std::chrono::steady_clock::now() - start);
    ++stops;
    rig.driver.WaitIdle();
    const auto left = SoundingNotes(rig.driver.Messages());
    rig.driver.ClearMessages();
    EXPECT_TRUE(left.empty()) << left.size() << " notes left sounding after stop " << stops;
  };

  for (int i = 0; i < 10000; ++i) {
    const int op = pick(random);
    if (op < 25) {
      rig.engine.Play(op % 2 == 0);
    } else if (op < 40) {
      rig.engine.Pause();
    } else if (op < 50) {
      stopAndCheck();
    } else if (op < 60) {
      if (rig.engine.playing()) {
        stopAndCheck();
      }
      rig.Load(song);
    } else if (op < 75) {
      rig.engine.SetTempoPercent(20 + static_cast<std::uint32_t>(pick(random)) * 5);
    } else if (op < 95) {
      rig.engine.SetChannelVolume(static_cast<std::uint32_t>(op % 4),
                                  static_cast<std::uint32_t>(pick(random)));
    } else {
      stream::MMTIME time{};
      rig.engine.GetPosition(&time);
    }
    while (rig.window.Take(0)) {
    }
    std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
  }
  stopAndCheck();
  EXPECT_GT(stops, 100);
  // A stop whose buffers come back never runs into its 2000 ms limit.
  EXPECT_LT(slowestStop, std::chrono::milliseconds(2500));
}

TEST(TransportStress, HundredLoadPlayStopCyclesLeaveNothingBehind) {
  TransportRig rig(stream::VirtualDriver::Mode::kRealTime);
  const Bytes song = FourVoiceSong(4);
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(rig.Load(song), 1);
    ASSERT_EQ(rig.engine.Play(false), 1);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    ASSERT_EQ(rig.engine.Stop(), 1);
  }
  const auto posted = rig.Posted();
  EXPECT_EQ(TransportRig::Count(posted, player::rwm_playedoff), 100);
}

}  // namespace
}  // namespace quirelle::testing
