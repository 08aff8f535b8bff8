// The command line of quirelle-render.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "player/stream/synth/audio_file_format.h"

namespace quirelle::render {

// The most times --loop plays a passage: a render, unlike the window, has to end.
inline constexpr std::uint32_t kMostPlays = 1000;

struct Options {
  std::uint32_t tempoPercent = 100;
  std::array<std::uint32_t, 4> volumes{100, 100, 100, 100};
  std::string soundFont;  // empty: the default General MIDI SoundFont
  std::uint32_t sampleRate = 44100;
  std::uint32_t fromTick = 0;           // --from-tick: where playback starts, in the song's ticks
  std::optional<std::int32_t> fromBar;  // --from-bar: the passage starts with this bar
  std::optional<std::int32_t> toBar;    // --to-bar: and ends with this one
  bool countIn = false;                 // --count-in
  std::uint32_t plays = 1;              // --loop: how many times the passage plays
  std::string outputPath;               // -o
  std::string partsDir;                 // --parts
  // --format; without it the extension of -o when it names a format, else WAV.
  stream::AudioFileFormat format = stream::AudioFileFormat::kWav;
  bool events = false;   // --events
  bool info = false;     // --info
  bool help = false;     // --help: nothing else is looked at
  bool version = false;  // --version: nothing else is looked at
  std::string midiPath;
};

struct ParseResult {
  std::optional<Options> options;
  std::string error;  // one line, when options is empty
};

ParseResult ParseOptions(const std::vector<std::string>& args);

// What a wrong command line is answered with, after the error.
inline constexpr const char* kUsage =
    "usage: quirelle-render [OPTION...] (-o OUT | --parts DIR | --events | --info) FILE.mid\n"
    "       quirelle-render --help | --version\n";

// What --help prints.
inline constexpr const char* kHelp =
    "usage: quirelle-render [OPTION...] (-o OUT | --parts DIR | --events | --info) FILE.mid\n"
    "\n"
    "Plays a MIDI file through the Quirelle engine into an audio file, a set of rehearsal tracks,\n"
    "a list of the MIDI messages it sends, or a description of the song.\n"
    "\n"
    "Output, one of:\n"
    "  -o OUT            render into the audio file OUT\n"
    "  --parts DIR       render rehearsal tracks into the folder DIR (made if missing): for each\n"
    "                    voice of channels 1 to 4 a file named after it, where it sings at 100 %\n"
    "                    from the centre and the other three at 30 %, and Tutti with all four at\n"
    "                    100 %\n"
    "  --events          print one line per MIDI message: TIME_US TICK HEX...\n"
    "  --info            print the title, the voices of channels 1 to 4, the bars and the seconds\n"
    "                    the song lasts at its written tempo\n"
    "\n"
    "Sound:\n"
    "  --format FORMAT   wav, flac, ogg or mp3, for -o and --parts (default: the extension of\n"
    "                    OUT when it is one of these, else wav)\n"
    "  --tempo PERCENT   the tempo, 20 to 500 % of the written one (default 100)\n"
    "  --volumes V1,V2,V3,V4\n"
    "                    the volumes of the voices of channels 1 to 4, 0 to 100 % each\n"
    "                    (default 100,100,100,100; not with --parts)\n"
    "  --soundfont FILE  the SoundFont to play with (default: the General MIDI SoundFont)\n"
    "  --rate HZ         the sample rate, 8000 to 192000 (default 44100)\n"
    "\n"
    "Passage:\n"
    "  --from-bar A      start at the beginning of bar A (bars as the score counts them)\n"
    "  --to-bar B        end at the end of bar B\n"
    "  --from-tick TICK  start at a tick of the song instead of a bar\n"
    "  --count-in        one bar of clicks before the passage\n"
    "  --loop N          play the passage N times, 1 to 1000 (default 1)\n"
    "\n"
    "  --help            print this help and exit\n"
    "  --version         print the version and exit\n";

}  // namespace quirelle::render
