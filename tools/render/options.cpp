#include "tools/render/options.h"

#include <charconv>
#include <limits>
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

std::optional<std::int32_t> ParseBar(const std::string& text) {
  const auto value = ParseNumber(text, 1, std::numeric_limits<std::int32_t>::max());
  if (!value) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(*value);
}

// The format an output file's name asks for by its extension.
std::optional<stream::AudioFileFormat> FormatOfPath(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) {
    return std::nullopt;
  }
  return stream::AudioFileFormatNamed(std::string_view(path).substr(dot + 1));
}

constexpr const char* kOneOutput = "give one of -o OUT, --parts DIR, --events and --info";

ParseResult Fail(std::string error) {
  return ParseResult{std::nullopt, std::move(error)};
}

bool TakesValue(const std::string& arg) {
  for (const char* option : {"--tempo", "--volumes", "--soundfont", "--rate", "--from-tick",
                             "--from-bar", "--to-bar", "--loop", "--format", "--parts", "-o"}) {
    if (arg == option) {
      return true;
    }
  }
  return false;
}

// What was given, beyond the values, for the checks once every argument has been read.
struct Given {
  bool output = false;
  bool fromTick = false;
  bool volumes = false;
  bool format = false;
};

// Checks of options that depend on each other; empty when they go together.
std::string Conflict(const Options& options, const Given& given) {
  if (!given.output) {
    return kOneOutput;
  }
  if (options.midiPath.empty()) {
    return "give a MIDI file";
  }
  if (given.fromTick && options.fromBar) {
    return "give --from-tick or --from-bar, not both";
  }
  if (given.format && options.outputPath.empty() && options.partsDir.empty()) {
    return "--format is for -o and --parts";
  }
  if (given.volumes && !options.partsDir.empty()) {
    return "--parts sets the volumes itself: leave out --volumes";
  }
  return {};
}

}  // namespace

ParseResult ParseOptions(const std::vector<std::string>& args) {
  Options options;
  Given given;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "--version") {
      Options asked;
      (arg == "--help" ? asked.help : asked.version) = true;
      return ParseResult{asked, {}};
    }
    const bool namesOutput = arg == "-o" || arg == "--parts";
    if (TakesValue(arg) && (i + 1 >= args.size() || (namesOutput && args[i + 1].empty()))) {
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
      given.volumes = true;
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
      given.fromTick = true;
    } else if (arg == "--from-bar" || arg == "--to-bar") {
      const auto bar = ParseBar(args[++i]);
      if (!bar) {
        return Fail(arg + " takes a bar number from 1");
      }
      (arg == "--from-bar" ? options.fromBar : options.toBar) = bar;
    } else if (arg == "--count-in") {
      options.countIn = true;
    } else if (arg == "--loop") {
      const auto value = ParseNumber(args[++i], 1, kMostPlays);
      if (!value) {
        return Fail("--loop takes how many times the passage plays, from 1 to " +
                    std::to_string(kMostPlays));
      }
      options.plays = *value;
    } else if (arg == "--format") {
      const auto format = stream::AudioFileFormatNamed(args[++i]);
      if (!format) {
        return Fail("--format takes wav, flac, ogg or mp3");
      }
      options.format = *format;
      given.format = true;
    } else if (arg == "-o" || arg == "--parts" || arg == "--events" || arg == "--info") {
      if (given.output) {
        return Fail(kOneOutput);
      }
      given.output = true;
      if (namesOutput) {
        (arg == "-o" ? options.outputPath : options.partsDir) = args[++i];
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
  if (std::string conflict = Conflict(options, given); !conflict.empty()) {
    return Fail(std::move(conflict));
  }
  if (!given.format) {
    options.format = FormatOfPath(options.outputPath).value_or(stream::AudioFileFormat::kWav);
  }
  return ParseResult{options, {}};
}

}  // namespace quirelle::render
