#include "tools/render/song_info_lines.h"

#include <cstdio>

#include "smf/text.h"

namespace quirelle::render {

std::string SongInfoLines(const player::CMidiStreamPlayer& engine, const std::string& path) {
  std::string lines = "title: " + smf::DisplayTitle(engine.file().title(), path) + "\n";
  for (std::size_t voice = 0; voice < 4; ++voice) {
    lines += "voice " + std::to_string(voice + 1) + ": " +
             smf::DisplayText(engine.channelNames()[voice]) + "\n";
  }
  const auto bar = engine.file().LastBar();
  lines += "bars: " + (bar ? std::to_string(*bar) : std::string("-")) + "\n";
  return lines;
}

std::string SecondsLine(double seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "seconds: %.1f\n", seconds);
  return text;
}

}  // namespace quirelle::render
