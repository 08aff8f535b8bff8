// The command line of quirelle-render.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "player/stream/synth/audio_file_format.h"
#include "player/stream_builder.h"

namespace quirelle::render {

// The most times --loop plays a passage: a render, unlike the window, has to end.
inline constexpr std::uint32_t kMostPlays = 1000;
// The most voices a song has: one for each channel but the drums'.
inline constexpr std::size_t kMostVoices = 15;

struct Options {
  std::uint32_t tempoPercent = 100;
  // By voice number, as --info numbers the voices.
  std::array<std::uint32_t, kMostVoices> volumes{100, 100, 100, 100, 100, 100, 100, 100,
                                                 100, 100, 100, 100, 100, 100, 100};
  std::string soundFont;  // empty: the default General MIDI SoundFont
  std::uint32_t sampleRate = 44100;
  std::uint32_t fromTick = 0;             // --from-tick: where playback starts, in the song's ticks
  std::optional<std::int32_t> fromBar;    // --from-bar: the passage starts with this bar
  std::optional<std::int32_t> toBar;      // --to-bar: and ends with this one
  bool countIn = false;                   // --count-in
  std::uint32_t pickup = 0;               // --pickup: beats before bar 1 the file does not write
  std::uint32_t plays = 1;                // --loop: how many times the passage plays
  int transpose = 0;                      // --transpose: semitones
  std::array<bool, kMostVoices> muted{};  // --mute
  std::array<bool, kMostVoices> soloed{};  // --solo
  std::uint32_t speedStep = 0;             // --speed-up STEP[:TARGET]: 0 is off
  std::uint32_t speedTarget = player::kDefaultSpeedTarget;
  bool startingNotes = false;       // --starting-notes
  bool minus = false;               // --minus: --parts also writes each voice missing
  std::string outputPath;           // -o
  std::string partsDir;             // --parts
  std::string picturePath;          // --picture: a part sheet, .svg or .png
  std::uint32_t voice = 0;          // --voice: 0 is the voice whose words the window would follow
  std::uint32_t pictureWidth = 0;   // --width in pixels; 0: as the passage's bars need
  std::uint32_t pictureHeight = 0;  // --height; 0: the default
  // --format; without it the extension of -o when it names a format, else WAV.
  stream::AudioFileFormat format = stream::AudioFileFormat::kWav;
  bool events = false;   // --events
  bool info = false;     // --info
  bool bars = false;     // --bars
  bool help = false;     // --help: nothing else is looked at
  bool version = false;  // --version: nothing else is looked at
  std::string midiPath;
  // --lyrics[=V]: the words of voice V, or with no V (0) of the first voice with words.
  bool lyrics = false;
  std::uint32_t lyricsVoice = 0;
  std::string takePath;          // --judge TAKE
  std::uint32_t tolerance = 50;  // --tolerance: cents either way that are in tune
};

struct ParseResult {
  std::optional<Options> options;
  std::string error;  // one line, when options is empty
};

ParseResult ParseOptions(const std::vector<std::string>& args);

// What --help prints, made from the same declarations ParseOptions reads with.
std::string HelpText();

// What a wrong command line is answered with, after the error; --help begins with it.
inline constexpr const char* kUsage =
    "Usage: quirelle-render [OPTION...] (-o OUT | --parts DIR | --picture OUT | --judge TAKE |\n"
    "                       --events | --info | --bars | --lyrics[=V]) FILE.mid\n"
    "  or:  quirelle-render --help | --version\n";

}  // namespace quirelle::render
