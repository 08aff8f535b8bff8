#include "tools/render/options.h"

#include <charconv>
#include <sstream>

namespace quirelle::render {
namespace {

// A whole decimal number between low and high, nothing else.
std::optional<std::uint32_t> ParseNumber(const std::string& text, std::uint32_t low,
                                         std::uint32_t high) {
  std::uint32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::array<std::uint32_t, 4>> ParseVolumes(const std::string& text) {
  std::array<std::uint32_t, 4> volumes{};
  std::stringstream parts(text);
  std::string part;
  std::size_t count = 0;
  while (std::getline(parts, part, ',')) {
    const auto value = ParseNumber(part, 0, 100);
    if (!value || count == volumes.size()) {
      return std::nullopt;
    }
    volumes[count++] = *value;
  }
  if (count != volumes.size() || text.back() == ',') {
    return std::nullopt;
  }
  return volumes;
}

constexpr const char* kOneOutput = "give one of -o OUT.wav, --events and --info";

ParseResult Fail(std::string error) {
  return ParseResult{std::nullopt, std::move(error)};
}

}  // namespace

ParseResult ParseOptions(const std::vector<std::string>& args) {
  Options options;
  bool haveOutput = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool takesValue = arg == "--tempo" || arg == "--volumes" || arg == "--soundfont" ||
                            arg == "--rate" || arg == "--from-tick" || arg == "-o";
    if (takesValue && i + 1 >= args.size()) {
      return Fail(arg + " needs a value");
    }
    if (arg == "--tempo") {
      const auto value = ParseNumber(args[++i], 20, 500);
      if (!value) {
        return Fail("--tempo takes a whole percentage from 20 to 500");
      }
      options.tempoPercent = *value;
    } else if (arg == "--volumes") {
      const auto value = ParseVolumes(args[++i]);
      if (!value) {
        return Fail("--volumes takes four percentages from 0 to 100, e.g. 100,80,80,50");
      }
      options.volumes = *value;
    } else if (arg == "--soundfont") {
      options.soundFont = args[++i];
    } else if (arg == "--rate") {
      const auto value = ParseNumber(args[++i], 8000, 192000);
      if (!value) {
        return Fail("--rate takes a sample rate in Hz from 8000 to 192000");
      }
      options.sampleRate = *value;
    } else if (arg == "--from-tick") {
      const auto value = ParseNumber(args[++i], 0, 0xFFFFFFFF);
      if (!value) {
        return Fail("--from-tick takes a tick of the song from 0 to 4294967295");
      }
      options.fromTick = *value;
    } else if (arg == "-o" || arg == "--events" || arg == "--info") {
      if (haveOutput) {
        return Fail(kOneOutput);
      }
      haveOutput = true;
      if (arg == "-o") {
        options.wavPath = args[++i];
      } else {
        (arg == "--events" ? options.events : options.info) = true;
      }
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      return Fail("unknown option " + arg);
    } else if (!options.midiPath.empty()) {
      return Fail("give one MIDI file");
    } else {
      options.midiPath = arg;
    }
  }
  if (!haveOutput) {
    return Fail(kOneOutput);
  }
  if (options.midiPath.empty()) {
    return Fail("give a MIDI file");
  }
  return ParseResult{options, {}};
}

}  // namespace quirelle::render
