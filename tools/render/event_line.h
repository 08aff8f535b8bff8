// One line of `quirelle-render --events`: "TIME_US TICK HEX…".
#pragma once

#include <cstdint>
#include <string>

namespace quirelle::render {

// Program change and channel pressure have one data byte, other channel messages two.
std::string EventLine(std::uint64_t micros, std::uint32_t tick, std::uint32_t message);

}  // namespace quirelle::render
