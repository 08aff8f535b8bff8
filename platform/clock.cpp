#include "platform/clock.h"

namespace quirelle::platform {

std::uint64_t SteadyClock::NowMicros() const {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(
      duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

SteadyClock& SteadyClock::Instance() {
  static SteadyClock clock;
  return clock;
}

}  // namespace quirelle::platform
