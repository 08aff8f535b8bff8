// An owned block of bytes at a fixed address: what the file image and event data live in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quirelle::platform {

using ByteBlock = std::unique_ptr<std::uint8_t[]>;

// Returns a block of `size` bytes, or null when the memory cannot be had. A size of 0 still
// gives a (distinct, non-null) block, as a system-exclusive event of length 0 needs one.
ByteBlock AllocateBlock(std::size_t size) noexcept;

}  // namespace quirelle::platform
