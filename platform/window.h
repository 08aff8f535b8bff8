// The window the engine posts its messages to. The dialog implements it by queueing an event to
// itself, so the handler runs later on the dialog's own thread, in posting order.
#pragma once

#include <cstdint>

namespace quirelle::platform {

class Window {
 public:
  virtual ~Window() = default;
  // Queues a message; never waits for its handling. May be called from any thread.
  virtual void Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
  // False once the window has gone (IsWindow).
  virtual bool Alive() const = 0;
};

}  // namespace quirelle::platform
