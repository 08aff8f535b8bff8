// A readable file whose bytes are in memory, for handing made-up songs to the loader.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/readable_file.h"

namespace quirelle::testing {

class MemoryFile final : public platform::ReadableFile {
 public:
  explicit MemoryFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t Length() const override { return bytes_.size(); }
  std::uint32_t Read(void* buffer, std::uint32_t count) override {
    const std::size_t n = std::min<std::size_t>(count, bytes_.size() - offset_);
    std::memcpy(buffer, bytes_.data() + offset_, n);
    offset_ += n;
    return static_cast<std::uint32_t>(n);
  }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t offset_ = 0;
};

}  // namespace quirelle::testing
