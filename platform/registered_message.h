// Process-wide registered window messages: the same name always gives the same number.
#pragma once

#include <cstdint>
#include <string_view>

namespace quirelle::platform {

// Numbers start at 0xC000 and stay inside the toolkit's user event range (at most 65535).
// Returns 0 when the range is used up.
std::uint32_t RegisterWindowMessage(std::string_view name);

inline constexpr std::uint32_t kWmUser = 0x0400;

}  // namespace quirelle::platform
