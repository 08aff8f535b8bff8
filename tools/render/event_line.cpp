#include "tools/render/event_line.h"

#include <cstdio>

#include "midi/vocabulary.h"

namespace quirelle::render {

std::string EventLine(std::uint64_t micros, std::uint32_t tick, std::uint32_t message) {
  const unsigned status = message & 0xFF;
  const int bytes = 1 + midi::DataBytes(static_cast<std::uint8_t>(status));
  char line[64];
  int n = std::snprintf(line, sizeof line, "%llu %u %02x", static_cast<unsigned long long>(micros),
                        tick, status);
  for (int i = 1; i < bytes; ++i) {
    n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), " %02x",
                       (message >> (8 * i)) & 0xFF);
  }
  return std::string(line, static_cast<std::size_t>(n));
}

}  // namespace quirelle::render
