#include "tools/render/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <limits>
#include <memory>

namespace quirelle::render {
namespace {

// The parts of text between its commas ("1,,2" has an empty one).
std::vector<std::string> SplitAtCommas(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t comma = text.find(','); comma != std::string::npos;
       comma = text.find(',', start)) {
    parts.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  parts.push_back(text.substr(start));
  return parts;
}

// The numbers of a list NumberList has read.
std::vector<std::uint32_t> NumbersOf(const std::string& list) {
  std::vector<std::uint32_t> numbers;
  if (!list.empty()) {
    for (const std::string& value : SplitAtCommas(list)) {
      numbers.push_back(static_cast<std::uint32_t>(std::stoul(value)));
    }
  }
  return numbers;
}

constexpr const char* kDescription =
    "Plays a MIDI file through the Quirelle engine into an audio file, a set of rehearsal tracks,\n"
    "a list of the MIDI messages it sends or a description of the song; or judges a sung take.\n";

// A whole decimal number from low to high, read as written: CLI11 alone would also take 0x20 as
// hexadecimal and 010 as octal, which nobody typing a tempo or a bar means.
CLI::Validator WholeNumber(std::uint32_t low, std::uint32_t high) {
  const CLI::Range range(low, high);
  return CLI::Validator(
      [range, low, high](std::string& text) {
        if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
          return "Value " + text + " not in range " + std::to_string(low) + " to " +
                 std::to_string(high);
        }
        text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
        return range(text);
      },
      "");
}

// A whole number from -high to high, with or without its sign, read as written.
CLI::Validator SignedNumber(int high) {
  return CLI::Validator(
      [high](std::string& text) {
        const bool negative = !text.empty() && text[0] == '-';
        std::string digits = text.substr(!text.empty() && (text[0] == '-' || text[0] == '+'));
        const std::string range = "Value " + text + " not in range " + std::to_string(-high) +
                                  " to " + std::to_string(high);
        if (digits.empty() || digits.size() > 3 ||
            digits.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(digits) > high) {
          return range;
        }
        text = (negative ? "-" : "") + std::to_string(std::stoi(digits));
        return std::string();
      },
      "");
}

// A list of fewest to most whole numbers from low to high, separated by commas, given as one
// argument: a list option never takes the word after it (the MIDI file) as one more value.
CLI::Validator NumberList(std::uint32_t low, std::uint32_t high, std::size_t fewest,
                          std::size_t most) {
  const CLI::Validator number = WholeNumber(low, high);
  return CLI::Validator(
      [number, fewest, most](std::string& text) {
        std::vector<std::string> values = SplitAtCommas(text);
        if (values.size() < fewest || values.size() > most) {
          return "Value " + text + " is not " +
                 (fewest == most ? std::to_string(fewest)
                                 : std::to_string(fewest) + " to " + std::to_string(most)) +
                 " numbers separated by commas";
        }
        std::string read;
        for (std::string& value : values) {
          if (const std::string error = number(value); !error.empty()) {
            return error;
          }
          read += (read.empty() ? "" : ",") + value;
        }
        text = read;
        return std::string();
      },
      "");
}

// STEP[:TARGET] of the speed trainer: a step of 0 to 50 points, a target tempo of 20 to 500 %.
CLI::Validator SpeedUpSteps() {
  const CLI::Validator step = WholeNumber(0, player::kLargestSpeedStep);
  const CLI::Validator target = WholeNumber(20, 500);
  return CLI::Validator(
      [step, target](std::string& text) {
        const std::size_t colon = text.find(':');
        std::string first = text.substr(0, colon);
        std::string error = step(first);
        if (error.empty() && colon != std::string::npos) {
          std::string second = text.substr(colon + 1);
          error = target(second);
          first += ":" + second;
        }
        if (error.empty()) {
          text = first;
        }
        return error;
      },
      "");
}

// A file or folder to write: an empty name would only fail once the render has started.
CLI::Validator Named() {
  return CLI::Validator(
      [](std::string& text) { return text.empty() ? std::string("the name is empty") : ""; }, "");
}

// A name of an audio file format, in any letter case.
CLI::Validator FormatName() {
  std::vector<std::string> names;
  for (const stream::AudioFileFormat format : stream::kAudioFileFormats) {
    names.emplace_back(stream::AudioFileFormatName(format));
  }
  return CLI::IsMember(names, CLI::ignore_case).description("");
}

// The format an output file's name asks for by its extension.
std::optional<stream::AudioFileFormat> FormatOfPath(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) {
    return std::nullopt;
  }
  return stream::AudioFileFormatNamed(std::string_view(path).substr(dot + 1));
}

// --help as GNU tools lay it out, which help2man turns into the manual page: the usage, what the
// tool does, each group of options under its heading, then --help and --version.
class HelpLayout : public CLI::Formatter {
 public:
  HelpLayout() { column_width(20); }

  std::string make_help(const CLI::App* app, std::string, CLI::AppFormatMode) const override {
    std::string help = std::string(kUsage) + "\n" + app->get_description();
    for (const CLI::App* group : app->get_subcommands({})) {
      help += make_group(group->get_description(), false, group->get_options());
    }
    return help + "\n" + make_option(app->get_help_ptr(), false) +
           make_option(app->get_option("--version"), false);
  }

  // An option's names, without the value a flag given no value takes ("--lyrics{0}").
  std::string make_option_name(const CLI::Option* option, bool positional) const override {
    std::string name = CLI::Formatter::make_option_name(option, positional);
    const std::size_t brace = name.find('{');
    return brace == std::string::npos ? name : name.erase(brace, name.find('}', brace) - brace + 1);
  }

  // The name of an option's value, without CLI11's notes on what it excludes.
  std::string make_option_opts(const CLI::Option* option) const override {
    const std::string value = option->get_type_name();
    // "--lyrics[=V]": a value that may be left out is written against the name.
    return option->get_type_size() == 0 ? "" : (value.starts_with('[') ? "" : " ") + value;
  }
};

// The command line as CLI11 reads it, and the values it fills in.
class CommandLine {
 public:
  CommandLine() {
    app_.formatter(std::make_shared<HelpLayout>());
    // Given twice, an option takes its last value, so that a script can override its defaults.
    app_.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app_.set_help_flag();  // until the groups are made, which would each get one
    DeclareOutput(*app_.add_option_group("Output", "Output, one of"));
    DeclareSound(*app_.add_option_group("Sound", "Sound"));
    DeclarePassage(*app_.add_option_group("Passage", "Passage"));
    DeclarePractice(*app_.add_option_group("Practice", "Practice"));
    DeclarePicture(*app_.add_option_group("Picture", "Picture"));
    app_.set_help_flag("--help", "print this help and exit");
    version_ = app_.add_flag("--version", options_.version, "print the version and exit");
    app_.add_option("FILE.mid", options_.midiPath)->required()->check(Named());
    app_.get_option("--from-tick")->excludes(app_.get_option("--from-bar"));
    app_.get_option("--volumes")->excludes(app_.get_option("--parts"));
    app_.get_option("--format")->excludes(app_.get_option("--events"));
    app_.get_option("--format")->excludes(app_.get_option("--info"));
    app_.get_option("--format")->excludes(app_.get_option("--bars"));
    app_.get_option("--format")->excludes(app_.get_option("--lyrics"));
    app_.get_option("--format")->excludes(app_.get_option("--judge"));
    app_.get_option("--tolerance")->needs(app_.get_option("--judge"));
    app_.get_option("--speed-up")->needs(app_.get_option("--loop"));
    app_.get_option("--minus")->needs(app_.get_option("--parts"));
    app_.get_option("--mute")->excludes(app_.get_option("--parts"));
    app_.get_option("--solo")->excludes(app_.get_option("--parts"));
  }

  ParseResult Parse(const std::vector<std::string>& args) {
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // as CLI11 takes them
    try {
      app_.parse(reversed);
      return ParseResult{Settings(), {}};
    } catch (const CLI::ParseError& error) {
      if (app_.get_help_ptr()->count() == 0 && version_->count() == 0) {
        return ParseResult{std::nullopt, error.what()};
      }
      Options asked;  // help or the version: nothing else is looked at
      asked.help = app_.get_help_ptr()->count() > 0;
      asked.version = !asked.help;
      return ParseResult{asked, {}};
    }
  }

  std::string Help() const { return app_.help(); }

 private:
  void DeclareOutput(CLI::App& group) {
    group.require_option(1);
    group.add_option("-o", options_.outputPath, "render into the audio file OUT")
        ->type_name("OUT")
        ->check(Named());
    group
        .add_option("--parts", options_.partsDir,
                    "render rehearsal tracks into the folder DIR (made if missing): for each\n"
                    "sung voice a file named after it, where it sings at 100 % from the\n"
                    "centre, the other sung voices at 30 % and the accompaniment as it is,\n"
                    "and Tutti with every voice at 100 %")
        ->type_name("DIR")
        ->check(Named());
    group.add_flag("--events", options_.events,
                   "print one line per MIDI message: TIME_US TICK HEX...");
    group.add_flag("--info", options_.info,
                   "print the title, the names of the voices (an accompaniment marked so),\n"
                   "the bars and the seconds the song lasts at its written tempo");
    group.add_flag("--bars", options_.bars,
                   "print one line per bar: BAR TICK, the bar's number as the score counts\n"
                   "it and its first tick");
    lyrics_ =
        group
            .add_flag("--lyrics{0}", lyricsVoice_,
                      "print the words of voice V (default: the first voice with words) as an\n"
                      "LRC file, each line at its time in the render; --parts writes one beside\n"
                      "each track")
            ->type_name("[=V]")
            ->transform(WholeNumber(0, 16));
    group
        .add_option("--picture", options_.picturePath,
                    "draw the passage as a part sheet into OUT (.svg or .png): the notes of\n"
                    "every voice, those of --voice bright with their words, the bar numbers")
        ->type_name("OUT")
        ->check(Named());
    group
        .add_option("--judge", options_.takePath,
                    "judge TAKE, an audio file of the singer singing along with the render:\n"
                    "per note of --voice TIME_S BAR NOTE CENTS VERDICT, then a summary")
        ->type_name("TAKE")
        ->check(Named());
  }

  void DeclareSound(CLI::App& group) {
    group
        .add_option("--format", formatName_,
                    "wav, flac, ogg or mp3, for -o and --parts (default: the extension of\n"
                    "OUT when it is one of these, else wav)")
        ->type_name("FORMAT")
        ->check(FormatName());
    Number(group, "--tempo", "PERCENT", options_.tempoPercent, 20, 500,
           "the tempo, 20 to 500 % of the written one (default 100)");
    group
        .add_option("--volumes", volumes_,
                    "the volumes of voices 1, 2, ..., 0 to 100 % each; voices left out stay\n"
                    "at 100 (not with --parts)")
        ->type_name("V1,V2,...")
        ->transform(NumberList(0, 100, 1, options_.volumes.size()));
    group
        .add_option("--soundfont", options_.soundFont,
                    "the SoundFont to play with (default: the General MIDI SoundFont)")
        ->type_name("FILE");
    Number(group, "--rate", "HZ", options_.sampleRate, 8000, 192000,
           "the sample rate, 8000 to 192000 (default 44100)");
  }

  void DeclarePassage(CLI::App& group) {
    constexpr auto kLastBar = static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max());
    Number(group, "--from-bar", "A", options_.fromBar, 0, kLastBar,
           "start at the beginning of bar A (bars as the score counts them; 0 is a\n"
           "pickup)");
    Number(group, "--to-bar", "B", options_.toBar, 0, kLastBar, "end at the end of bar B");
    Number(group, "--pickup", "BEATS", options_.pickup, 0, 255,
           "the song begins with a pickup of BEATS beats of its first metre, bar 0,\n"
           "where the file does not write one (default 0: none)");
    Number(group, "--from-tick", "TICK", options_.fromTick, 0,
           std::numeric_limits<std::uint32_t>::max(),
           "start at a tick of the song instead of a bar");
    group.add_flag("--count-in", options_.countIn, "one bar of clicks before the passage");
    Number(group, "--loop", "N", options_.plays, 1, kMostPlays,
           "play the passage N times, 1 to " + std::to_string(kMostPlays) + " (default 1)");
  }

  void DeclarePractice(CLI::App& group) {
    group
        .add_option("--transpose", options_.transpose,
                    "move every note but the drums' by N semitones, -12 to 12")
        ->type_name("N")
        ->transform(SignedNumber(12));
    Voices(group, "--mute", mute_, "silence voices V (as --info numbers them; not with --parts)");
    Voices(group, "--solo", solo_,
           "hear voices V and silence the other voices (a muted one stays silent;\n"
           "not with --parts)");
    group
        .add_option("--speed-up", speedUp_,
                    "play each repeat STEP % of the written tempo faster (0 to " +
                        std::to_string(player::kLargestSpeedStep) +
                        "), up to\nTARGET % (20 to 500, default 100); needs --loop")
        ->type_name("STEP[:TARGET]")
        ->transform(SpeedUpSteps());
    group.add_flag("--starting-notes", options_.startingNotes,
                   "sound each voice's first note on the first beat before the passage (the\n"
                   "count-in's, or a beat of its own)");
    group.add_flag("--minus", options_.minus,
                   "with --parts, also a track of each voice missing, NAME minus, where it\n"
                   "is silent and the others sing at 100 %");
    Number(group, "--voice", "V", options_.voice, 1, static_cast<std::uint32_t>(kMostVoices),
           "the voice --judge listens to and --picture draws bright, as --info numbers\n"
           "them (default: the first voice with words, else voice 1)");
    Number(group, "--tolerance", "CENTS", options_.tolerance, 25, 50,
           "with --judge, how far from the note is in tune: 50 (default) or 25")
        ->check(CLI::IsMember({25, 50}).description(""));
  }

  void DeclarePicture(CLI::App& group) {
    Number(group, "--width", "PIXELS", options_.pictureWidth, 200, 32000,
           "the width of --picture (default: 200 a bar)");
    Number(group, "--height", "PIXELS", options_.pictureHeight, 120, 8000,
           "the height of --picture (default 360)");
  }

  // An option taking voice numbers, as V[,V...].
  static CLI::Option* Voices(CLI::App& group, const std::string& name, std::string& voices,
                             const std::string& text) {
    constexpr auto kMost = static_cast<std::uint32_t>(kMostVoices);
    return group.add_option(name, voices, text)
        ->type_name("V[,V...]")
        ->transform(NumberList(1, kMost, 1, kMost));
  }

  // An option taking whole numbers from low to high, its value called valueName in --help.
  template <typename T>
  static CLI::Option* Number(CLI::App& group, const std::string& name, const std::string& valueName,
                             T& variable, std::uint32_t low, std::uint32_t high,
                             const std::string& text) {
    return group.add_option(name, variable, text)
        ->type_name(valueName)
        ->transform(WholeNumber(low, high));
  }

  // What was read, as the render session takes it.
  Options Settings() const {
    Options settings = options_;
    settings.lyrics = lyrics_->count() > 0;
    settings.lyricsVoice = settings.lyrics ? lyricsVoice_ : 0;
    const std::vector<std::uint32_t> volumes = NumbersOf(volumes_);
    std::copy_n(volumes.begin(), std::min(volumes.size(), settings.volumes.size()),
                settings.volumes.begin());
    for (const std::uint32_t voice : NumbersOf(mute_)) {
      settings.muted[voice - 1] = true;
    }
    for (const std::uint32_t voice : NumbersOf(solo_)) {
      settings.soloed[voice - 1] = true;
    }
    if (!speedUp_.empty()) {
      const std::size_t colon = speedUp_.find(':');
      settings.speedStep = static_cast<std::uint32_t>(std::stoul(speedUp_.substr(0, colon)));
      if (colon != std::string::npos) {
        settings.speedTarget = static_cast<std::uint32_t>(std::stoul(speedUp_.substr(colon + 1)));
      }
    }
    settings.format = formatName_.empty()  // --format takes no empty name
                          ? FormatOfPath(settings.outputPath).value_or(settings.format)
                          : stream::AudioFileFormatNamed(formatName_).value_or(settings.format);
    return settings;
  }

  CLI::App app_{kDescription, "quirelle-render"};
  Options options_;
  std::string volumes_;  // each list as NumberList has read it
  std::string mute_;
  std::string solo_;
  std::string speedUp_;
  std::string formatName_;
  std::uint32_t lyricsVoice_ = 0;
  CLI::Option* lyrics_ = nullptr;
  CLI::Option* version_ = nullptr;
};

}  // namespace

ParseResult ParseOptions(const std::vector<std::string>& args) {
  return CommandLine().Parse(args);
}

std::string HelpText() {
  return CommandLine().Help();
}

}  // namespace quirelle::render
