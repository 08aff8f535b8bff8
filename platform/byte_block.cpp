#include "platform/byte_block.h"

#include <new>

namespace quirelle::platform {

ByteBlock AllocateBlock(std::size_t size) noexcept {
  try {
    return std::make_unique_for_overwrite<std::uint8_t[]>(size == 0 ? 1 : size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace quirelle::platform
