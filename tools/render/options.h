// The command line of quirelle-render.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quirelle::render {

struct Options {
  std::uint32_t tempoPercent = 100;
  std::array<std::uint32_t, 4> volumes{100, 100, 100, 100};
  std::string soundFont;  // empty: the default General MIDI SoundFont
  std::uint32_t sampleRate = 44100;
  std::uint32_t fromTick = 0;  // --from-tick: where playback starts, in the song's ticks
  std::string wavPath;         // -o
  bool events = false;         // --events
  bool info = false;           // --info
  std::string midiPath;
};

struct ParseResult {
  std::optional<Options> options;
  std::string error;  // one line, when options is empty
};

ParseResult ParseOptions(const std::vector<std::string>& args);

inline constexpr const char* kUsage =
    "usage: quirelle-render [--tempo PERCENT] [--volumes V1,V2,V3,V4] [--soundfont FILE]\n"
    "                       [--rate HZ] [--from-tick TICK] (-o OUT.wav | --events | --info)\n"
    "                       FILE.mid\n";

}  // namespace quirelle::render
