#include "platform/auto_reset_event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace quirelle::platform {
namespace {

TEST(AutoResetEvent, SignalIsConsumedByOneWait) {
  AutoResetEvent event;
  event.Set();
  EXPECT_EQ(event.Wait(0), WaitResult::kSignalled);
  EXPECT_EQ(event.Wait(0), WaitResult::kTimedOut);
}

TEST(AutoResetEvent, ResetDropsAPendingSignal) {
  AutoResetEvent event;
  event.Set();
  event.Reset();
  EXPECT_EQ(event.Wait(0), WaitResult::kTimedOut);
}

TEST(AutoResetEvent, SetFromAnotherThreadEndsTheWait) {
  AutoResetEvent event;
  std::thread setter([&] { event.Set(); });
  EXPECT_EQ(event.Wait(60000), WaitResult::kSignalled);
  setter.join();
}

TEST(AutoResetEvent, ManualClockLetsALongWaitRunOut) {
  ManualClock clock;
  AutoResetEvent event(clock);
  std::atomic<bool> done{false};
  std::thread mover([&] {
    while (!done.load()) {
      clock.Advance(100 * 1000);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  EXPECT_EQ(event.Wait(2000), WaitResult::kTimedOut);
  done = true;
  mover.join();
  EXPECT_GE(clock.NowMicros(), 2000u * 1000u);
}

}  // namespace
}  // namespace quirelle::platform
