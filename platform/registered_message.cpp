#include "platform/registered_message.h"

#include <map>
#include <mutex>
#include <string>

namespace quirelle::platform {

std::uint32_t RegisterWindowMessage(std::string_view name) {
  static std::mutex mutex;
  static std::map<std::string, std::uint32_t, std::less<>> numbers;
  constexpr std::uint32_t kFirst = 0xC000;
  constexpr std::uint32_t kLast = 0xFFFF;
  if (name.empty()) {
    return 0;
  }
  std::lock_guard lock(mutex);
  if (auto it = numbers.find(name); it != numbers.end()) {
    return it->second;
  }
  const std::uint32_t next = kFirst + static_cast<std::uint32_t>(numbers.size());
  if (next > kLast) {
    return 0;
  }
  numbers.emplace(std::string(name), next);
  return next;
}

}  // namespace quirelle::platform
