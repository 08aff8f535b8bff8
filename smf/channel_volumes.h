// The sixteen channel volume percentages, shared by the user's thread and the device's callback
// thread without a lock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace quirelle::smf {

class ChannelVolumes {
 public:
  static constexpr std::size_t kChannels = 16;

  // 0 until the first successful load, then 16.
  std::size_t size() const { return filled_.load(std::memory_order_acquire) ? kChannels : 0; }
  bool empty() const { return size() == 0; }
  // Gives the table its 16 entries (100 each) the first time; later calls keep the values.
  void Fill() {
    if (!filled_.load(std::memory_order_acquire)) {
      for (auto& v : values_) {
        v.store(100, std::memory_order_relaxed);
      }
      filled_.store(true, std::memory_order_release);
    }
  }
  std::uint32_t Get(std::size_t channel) const {
    return values_[channel].load(std::memory_order_relaxed);
  }
  void Set(std::size_t channel, std::uint32_t percent) {
    values_[channel].store(percent, std::memory_order_relaxed);
  }

 private:
  std::array<std::atomic<std::uint32_t>, kChannels> values_{};
  std::atomic<bool> filled_{false};
};

}  // namespace quirelle::smf
