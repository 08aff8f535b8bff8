// The callback thread of one stream: delivers the posted callback messages in posting order,
// holding no lock while the callback runs, and ends after MOM_CLOSE (or when discarded).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "player/stream/midi_stream.h"

namespace quirelle::stream {

class StreamDevice;

class CallbackThread {
 public:
  CallbackThread(MidiStreamCallback callback, std::uintptr_t instance, StreamDevice& device);
  ~CallbackThread();  // joins (detaches when run on the thread itself)
  CallbackThread(const CallbackThread&) = delete;
  CallbackThread& operator=(const CallbackThread&) = delete;

  void Start(HMIDISTRM handle);
  // MOM_POSITIONCB sets header->dwOffset = offset on this thread, just before the callback.
  void Post(std::uint32_t message, MIDIHDR* header = nullptr, std::uint32_t offset = 0);
  // Posts MOM_CLOSE; nothing posted afterwards is delivered, and the thread ends after it.
  void PostClose();
  // Drops everything pending and ends the thread without MOM_CLOSE.
  void Discard();
  // Until everything posted has been delivered; returns at once on this thread, once a close
  // has been posted, or when the thread has ended.
  void WaitIdle();
  bool OnThisThread() const;
  bool Finished() const;
  void Join();

 private:
  struct Item {
    std::uint32_t message = 0;
    MIDIHDR* header = nullptr;
    std::uint32_t offset = 0;
  };
  void Run();
  void Deliver(const Item& item);

  MidiStreamCallback callback_;
  std::uintptr_t instance_;
  StreamDevice& device_;
  HMIDISTRM handle_ = nullptr;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<Item> items_;
  bool busy_ = false;
  bool closing_ = false;
  bool discarded_ = false;
  bool finished_ = false;

  std::mutex joinMutex_;
  std::thread thread_;
  std::atomic<std::thread::id> id_{};
};

}  // namespace quirelle::stream
