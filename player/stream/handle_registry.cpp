// Handles are numbers, not addresses: looking one up never touches freed memory.
#include "player/stream/handle_registry.h"

#include <utility>

namespace quirelle::stream {
namespace {

constexpr std::uintptr_t kHandleStep = 0x10;

}  // namespace

HandleRegistry& HandleRegistry::Instance() {
  static HandleRegistry registry;
  return registry;
}

HMIDISTRM HandleRegistry::Register(std::shared_ptr<StreamCore> core) {
  std::lock_guard lock(mutex_);
  next_ += kHandleStep;
  streams_.emplace(next_, std::move(core));
  return reinterpret_cast<HMIDISTRM>(next_);
}

void HandleRegistry::Unregister(HMIDISTRM handle) {
  std::shared_ptr<StreamCore> dropped;  // released after the lock
  std::lock_guard lock(mutex_);
  const auto found = streams_.find(reinterpret_cast<std::uintptr_t>(handle));
  if (found != streams_.end()) {
    dropped = std::move(found->second);
    streams_.erase(found);
  }
}

std::shared_ptr<StreamCore> HandleRegistry::Find(HMIDISTRM handle) const {
  if (handle == nullptr) {
    return nullptr;
  }
  std::lock_guard lock(mutex_);
  const auto found = streams_.find(reinterpret_cast<std::uintptr_t>(handle));
  return found == streams_.end() ? nullptr : found->second;
}

}  // namespace quirelle::stream
