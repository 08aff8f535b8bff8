// Dispatch tables of a dialog: window messages by number and commands by control id.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

namespace quirelle::framework {

class MessageMap {
 public:
  using Handler = std::function<std::intptr_t(std::uintptr_t wParam, std::intptr_t lParam)>;

  // A later entry for the same message replaces the earlier one.
  void Add(std::uint32_t message, Handler handler);
  // The handler's result, or nothing when the message has no entry.
  std::optional<std::intptr_t> Dispatch(std::uint32_t message, std::uintptr_t wParam,
                                        std::intptr_t lParam) const;

 private:
  std::map<std::uint32_t, Handler> handlers_;
};

class CommandMap {
 public:
  using Handler = std::function<void()>;

  void Add(int id, Handler handler);
  // False when the id has no entry.
  bool Dispatch(int id) const;

 private:
  std::map<int, Handler> handlers_;
};

}  // namespace quirelle::framework
