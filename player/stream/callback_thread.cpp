// One thread per stream for its callbacks, so that no callback ever runs on the caller's thread,
// on a timer or on an audio thread, and every stream call can be made from inside a callback.
#include "player/stream/callback_thread.h"

#include "player/stream/stream_core.h"

namespace quirelle::stream {

CallbackThread::CallbackThread(MidiStreamCallback callback, std::uintptr_t instance,
                               StreamDevice& device)
    : callback_(callback), instance_(instance), device_(device) {}

CallbackThread::~CallbackThread() {
  {
    std::lock_guard lock(mutex_);
    discarded_ = true;
  }
  wake_.notify_all();
  std::lock_guard lock(joinMutex_);
  if (thread_.joinable()) {
    if (OnThisThread()) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }
}

void CallbackThread::Start(HMIDISTRM handle) {
  handle_ = handle;
  std::lock_guard lock(joinMutex_);
  thread_ = std::thread([this] {
    id_.store(std::this_thread::get_id());
    Run();
  });
  id_.store(thread_.get_id());
}

void CallbackThread::Post(std::uint32_t message, MIDIHDR* header, std::uint32_t offset) {
  {
    std::lock_guard lock(mutex_);
    if (closing_ || discarded_) {
      return;
    }
    items_.push_back({message, header, offset});
  }
  wake_.notify_one();
}

void CallbackThread::PostClose() {
  {
    std::lock_guard lock(mutex_);
    if (closing_ || discarded_) {
      return;
    }
    items_.push_back({MOM_CLOSE, nullptr, 0});
    closing_ = true;
  }
  wake_.notify_one();
  idle_.notify_all();
}

void CallbackThread::Discard() {
  {
    std::lock_guard lock(mutex_);
    discarded_ = true;
    items_.clear();
  }
  wake_.notify_all();
  idle_.notify_all();
}

void CallbackThread::WaitIdle() {
  if (OnThisThread()) {
    return;
  }
  std::unique_lock lock(mutex_);
  idle_.wait(lock,
             [this] { return (items_.empty() && !busy_) || closing_ || discarded_ || finished_; });
}

bool CallbackThread::OnThisThread() const {
  return id_.load() == std::this_thread::get_id();
}

bool CallbackThread::Finished() const {
  std::lock_guard lock(mutex_);
  return finished_;
}

void CallbackThread::Join() {
  std::lock_guard lock(joinMutex_);
  if (thread_.joinable() && !OnThisThread()) {
    thread_.join();
  }
}

void CallbackThread::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return !items_.empty() || discarded_; });
    if (discarded_) {
      break;
    }
    const Item item = items_.front();
    items_.pop_front();
    busy_ = true;
    lock.unlock();
    Deliver(item);
    lock.lock();
    busy_ = false;
    if (item.message == MOM_CLOSE) {
      break;
    }
    if (items_.empty()) {
      idle_.notify_all();
    }
  }
  finished_ = true;
  lock.unlock();
  idle_.notify_all();
}

void CallbackThread::Deliver(const Item& item) {
  if (item.message == MOM_POSITIONCB && item.header != nullptr) {
    item.header->dwOffset = item.offset;
  }
  device_.OnDeliver(item.message);
  callback_(handle_, item.message, instance_, reinterpret_cast<std::uintptr_t>(item.header), 0);
}

}  // namespace quirelle::stream
