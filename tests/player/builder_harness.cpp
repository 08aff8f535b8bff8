#include "tests/player/builder_harness.h"

#include <cstring>

#include <gtest/gtest.h>

namespace quirelle::testing {

BuilderHarness::BuilderHarness(const Bytes& image, std::uint32_t tempoPercent) {
  engine_.SetTempoPercent(tempoPercent);
  platform::ByteBlock block = platform::AllocateBlock(image.size());
  std::memcpy(block.get(), image.data(), image.size());
  EXPECT_EQ(engine_.CreateFromImage(std::move(block), static_cast<std::uint32_t>(image.size())), 0);
  EXPECT_TRUE(engine_.file().HasImage());
}

std::vector<Written> BuilderHarness::Fill(bool first, int* result) {
  player::StreamBuffer buffer;
  buffer.block = platform::AllocateBlock(player::kStreamBufferBytes);
  buffer.header.lpData = buffer.block.get();
  buffer.header.dwBufferLength = player::kStreamBufferBytes;
  buffer.ResetForFill();
  const int r = engine_.FillBuffer(first, buffer);
  if (result != nullptr) {
    *result = r;
  }
  std::vector<Written> events;
  for (std::uint32_t offset = 0; offset < buffer.bytesUsed; offset += 12) {
    stream::MIDIEVENT event;
    std::memcpy(&event, buffer.block.get() + offset, sizeof event);
    EXPECT_EQ(event.dwStreamID, 0u);
    events.push_back({event.dwDeltaTime, event.dwEvent});
  }
  return events;
}

}  // namespace quirelle::testing
