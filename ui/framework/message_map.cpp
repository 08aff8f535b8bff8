// Lookup and call of message and command handlers. A copy of the handler runs, so a handler may
// change the map while it runs.
#include "ui/framework/message_map.h"

#include <utility>

namespace quirelle::framework {

void MessageMap::Add(std::uint32_t message, Handler handler) {
  handlers_[message] = std::move(handler);
}

std::optional<std::intptr_t> MessageMap::Dispatch(std::uint32_t message, std::uintptr_t wParam,
                                                  std::intptr_t lParam) const {
  const auto it = handlers_.find(message);
  if (it == handlers_.end() || !it->second) {
    return std::nullopt;
  }
  const Handler handler = it->second;
  return handler(wParam, lParam);
}

void CommandMap::Add(int id, Handler handler) {
  handlers_[id] = std::move(handler);
}

bool CommandMap::Dispatch(int id) const {
  const auto it = handlers_.find(id);
  if (it == handlers_.end() || !it->second) {
    return false;
  }
  const Handler handler = it->second;
  handler();
  return true;
}

}  // namespace quirelle::framework
