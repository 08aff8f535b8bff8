// Test support for the stream output: buffers of made-up events, and a fixture with one stream on
// a manual virtual device whose callback records what it is given and can run a test's reaction.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "player/stream/midi_stream.h"
#include "player/stream/virtual/virtual_device.h"

namespace quirelle::stream::testing {

MIDIEVENT Note(std::uint32_t delta, std::uint32_t status, std::uint32_t key, std::uint32_t velocity,
               std::uint32_t flags = 0);
MIDIEVENT Tempo(std::uint32_t delta, std::uint32_t microsPerQuarter, std::uint32_t flags = 0);
MIDIEVENT Nop(std::uint32_t delta, std::uint32_t flags = 0);

// A MIDIHDR over its own event area.
class TestBuffer {
 public:
  explicit TestBuffer(const std::vector<MIDIEVENT>& events, std::uint32_t capacity = 1024);
  TestBuffer(const TestBuffer&) = delete;
  TestBuffer& operator=(const TestBuffer&) = delete;
  void Fill(const std::vector<MIDIEVENT>& events);
  // Appends raw words (for events with parameters).
  void AppendWords(const std::vector<std::uint32_t>& words);
  MIDIHDR header;

 private:
  std::vector<std::uint8_t> bytes_;
};

// A callback that takes no notice of anything.
void IgnoreCallback(HMIDISTRM stream, std::uint32_t message, std::uintptr_t instance,
                    std::uintptr_t param1, std::uintptr_t param2);

struct Delivered {
  std::uint32_t message = 0;
  MIDIHDR* header = nullptr;
  std::uint32_t offset = 0;  // dwOffset as the callback saw it
  std::uint32_t ticks = 0;   // stream position as the callback saw it
  std::thread::id thread;
};

class StreamFixture : public ::testing::Test {
 protected:
  explicit StreamFixture(VirtualDriver::Mode mode = VirtualDriver::Mode::kManual) : driver(mode) {}
  ~StreamFixture() override;

  void Open(std::uint32_t division = 96);
  // A buffer that lives as long as the fixture, so the stop at its end may still return it.
  TestBuffer& Buffer(const std::vector<MIDIEVENT>& events);
  void Queue(TestBuffer& buffer);
  std::uint32_t PositionTicks();
  std::vector<Delivered> DeliveredMessages();
  std::vector<std::uint32_t> DeliveredKinds();
  std::vector<RecordedMessage> Events();  // recorded messages of kind kEvent
  std::vector<RecordedMessage> OfKind(RecordedMessage::Kind kind);

  static void Callback(HMIDISTRM stream, std::uint32_t message, std::uintptr_t instance,
                       std::uintptr_t param1, std::uintptr_t param2);

  VirtualDriver driver;
  HMIDISTRM stream = nullptr;
  // Runs on the callback thread after the message has been recorded.
  std::function<void(std::uint32_t message, MIDIHDR* header)> reaction;

 private:
  std::mutex mutex_;
  std::vector<Delivered> delivered_;
  std::vector<std::unique_ptr<TestBuffer>> buffers_;
};

}  // namespace quirelle::stream::testing
