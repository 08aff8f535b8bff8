// The command line of quirelle-render, the format of its event lines and the names of the
// rehearsal tracks.
#include <gtest/gtest.h>

#include "tools/render/event_line.h"
#include "tools/render/options.h"
#include "tools/render/part_files.h"

namespace quirelle::render {
namespace {

TEST(RenderOptions, AcceptsEveryOption) {
  const auto parsed = ParseOptions({"--tempo",     "150",        "--volumes", "100,80,0,50",
                                    "--soundfont", "gm.sf2",     "--rate",    "48000",
                                    "--from-bar",  "3",          "--to-bar",  "012",
                                    "--count-in",  "--loop",     "4",         "--format",
                                    "FLAC",        "-o",         "out.wav",   "--transpose",
                                    "-03",         "--mute",     "2",         "--solo",
                                    "1,3",         "--speed-up", "10:090",    "--starting-notes",
                                    "song.mid"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  EXPECT_EQ(parsed.options->tempoPercent, 150u);
  EXPECT_EQ(parsed.options->volumes, (std::array<std::uint32_t, 4>{100, 80, 0, 50}));
  EXPECT_EQ(parsed.options->soundFont, "gm.sf2");
  EXPECT_EQ(parsed.options->sampleRate, 48000u);
  EXPECT_EQ(parsed.options->fromBar, 3);
  EXPECT_EQ(parsed.options->toBar, 12);  // decimal, not octal
  EXPECT_TRUE(parsed.options->countIn);
  EXPECT_EQ(parsed.options->plays, 4u);
  EXPECT_EQ(parsed.options->format, stream::AudioFileFormat::kFlac);  // over the extension
  EXPECT_EQ(parsed.options->outputPath, "out.wav");
  EXPECT_TRUE(parsed.options->partsDir.empty());
  EXPECT_FALSE(parsed.options->events || parsed.options->lyrics);
  EXPECT_FALSE(parsed.options->help || parsed.options->version);
  EXPECT_EQ(parsed.options->midiPath, "song.mid");
  EXPECT_EQ(parsed.options->transpose, -3);
  EXPECT_EQ(parsed.options->muted, (std::array<bool, 4>{false, true, false, false}));
  EXPECT_EQ(parsed.options->soloed, (std::array<bool, 4>{true, false, true, false}));
  EXPECT_EQ(parsed.options->speedStep, 10u);
  EXPECT_EQ(parsed.options->speedTarget, 90u);
  EXPECT_TRUE(parsed.options->startingNotes);

  const auto parts =
      ParseOptions({"--parts", "tracks", "--from-tick", "960", "--minus", "--transpose", "+12",
                    "--loop", "2", "--speed-up", "5", "song.mid"});
  ASSERT_TRUE(parts.options) << parts.error;
  EXPECT_EQ(parts.options->partsDir, "tracks");
  EXPECT_EQ(parts.options->fromTick, 960u);
  EXPECT_FALSE(parts.options->fromBar);
  EXPECT_EQ(parts.options->format, stream::AudioFileFormat::kWav);
  EXPECT_TRUE(parts.options->minus);
  EXPECT_EQ(parts.options->transpose, 12);
  EXPECT_EQ(parts.options->speedStep, 5u);
  EXPECT_EQ(parts.options->speedTarget, 100u);
}

// Each option written right before the file, as people type it: a list option takes one
// argument, its values separated by commas, never the file after it.
TEST(RenderOptions, EachOptionRightBeforeTheFileLeavesTheFile) {
  const std::vector<std::vector<std::string>> rows = {
      {"--events", "--mute", "2"},
      {"--events", "--mute=2"},
      {"--events", "--mute", "1,4"},
      {"--events", "--solo", "1"},
      {"--events", "--solo=2,3"},
      {"--events", "--volumes", "10,20,30,40"},
      {"--events", "--volumes=10,20,30,40"},
      {"--events", "--tempo", "80"},
      {"--events", "--rate", "48000"},
      {"--events", "--soundfont", "gm.sf2"},
      {"--events", "--from-bar", "2"},
      {"--events", "--to-bar", "3"},
      {"--events", "--pickup", "1"},
      {"--events", "--from-tick", "0"},
      {"--events", "--count-in"},
      {"--events", "--loop", "2"},
      {"--events", "--transpose", "-2"},
      {"--events", "--loop", "2", "--speed-up", "5:90"},
      {"--events", "--starting-notes"},
      {"--parts", "d", "--minus"},
      {"-o", "x.wav", "--format", "ogg"},
      {"-o", "x.wav"},
      {"--parts", "d"},
      {"--events"},
      {"--info"},
      {"--bars"},
      {"--lyrics"},
      {"--lyrics=2"},
  };
  for (std::vector<std::string> args : rows) {
    args.emplace_back("song.mid");
    const auto parsed = ParseOptions(args);
    ASSERT_TRUE(parsed.options) << ::testing::PrintToString(args) << ": " << parsed.error;
    EXPECT_EQ(parsed.options->midiPath, "song.mid") << ::testing::PrintToString(args);
  }
}

TEST(RenderOptions, WithoutFormatTheExtensionOfTheOutputChoosesItElseWav) {
  using stream::AudioFileFormat;
  const std::vector<std::pair<std::string, AudioFileFormat>> rows = {
      {"out.wav", AudioFileFormat::kWav},
      {"out.flac", AudioFileFormat::kFlac},
      {"out.ogg", AudioFileFormat::kOgg},
      {"Out.MP3", AudioFileFormat::kMp3},
      {"dir.flac/out", AudioFileFormat::kWav},
      {"out.aiff", AudioFileFormat::kWav},
      {"out", AudioFileFormat::kWav},
      {"out.", AudioFileFormat::kWav},
      {"songs/take.2.ogg", AudioFileFormat::kOgg}};
  for (const auto& [path, format] : rows) {
    const auto parsed = ParseOptions({"-o", path, "a.mid"});
    ASSERT_TRUE(parsed.options) << path;
    EXPECT_EQ(parsed.options->format, format) << path;
  }
}

TEST(RenderOptions, HelpAndVersionNeedNothingElse) {
  const std::vector<std::vector<std::string>> help = {{"--help"}, {"-o", "x.wav", "--help"}};
  for (const auto& args : help) {
    const auto parsed = ParseOptions(args);
    ASSERT_TRUE(parsed.options) << ::testing::PrintToString(args);
    EXPECT_TRUE(parsed.options->help);
    EXPECT_FALSE(parsed.options->version);
  }
  const auto version = ParseOptions({"--version", "--loud"});
  ASSERT_TRUE(version.options);
  EXPECT_TRUE(version.options->version);
}

TEST(RenderOptions, DefaultsAndEvents) {
  const auto parsed = ParseOptions({"--events", "a.mid"});
  ASSERT_TRUE(parsed.options);
  EXPECT_TRUE(parsed.options->events);
  EXPECT_EQ(parsed.options->tempoPercent, 100u);
  EXPECT_EQ(parsed.options->volumes, (std::array<std::uint32_t, 4>{100, 100, 100, 100}));
  EXPECT_EQ(parsed.options->sampleRate, 44100u);
  const auto info = ParseOptions({"--info", "a.mid"});
  ASSERT_TRUE(info.options);
  EXPECT_TRUE(info.options->info);
  EXPECT_FALSE(info.options->events);
  const auto words = ParseOptions({"--lyrics", "a.mid"});
  ASSERT_TRUE(words.options) << words.error;
  EXPECT_TRUE(words.options->lyrics);
  EXPECT_EQ(words.options->lyricsVoice, 0u);  // the first voice with words
  const auto second = ParseOptions({"--lyrics=2", "a.mid"});
  ASSERT_TRUE(second.options) << second.error;
  EXPECT_EQ(second.options->lyricsVoice, 2u);
}

TEST(RenderOptions, RefusesBadArgumentsNamingTheOption) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
      {{}, "FILE.mid"},
      {{"a.mid"}, "-o,--parts,--events,--info"},
      {{"--events"}, "FILE.mid"},
      {{"--events", "a.mid", "b.mid"}, "b.mid"},
      {{"--events", "-o", "x.wav", "a.mid"}, "-o,--parts,--events,--info"},
      {{"--info", "--events", "a.mid"}, "-o,--parts,--events,--info"},
      {{"--tempo", "19", "--events", "a.mid"}, "--tempo"},
      {{"--tempo", "501", "--events", "a.mid"}, "--tempo"},
      {{"--tempo", "1e2", "--events", "a.mid"}, "--tempo"},
      {{"--tempo", "0x20", "--events", "a.mid"}, "--tempo"},
      {{"--tempo", "--events", "a.mid"}, "--tempo"},
      {{"--volumes", "100,100,100", "--events", "a.mid"}, "--volumes"},
      {{"--volumes", "100,100,100,101", "--events", "a.mid"}, "--volumes"},
      {{"--volumes", "100,100,100,100,100", "--events", "a.mid"}, "--volumes"},
      {{"--volumes", "1,2,,4", "--events", "a.mid"}, "--volumes"},
      {{"--rate", "0", "--events", "a.mid"}, "--rate"},
      {{"--loud", "--events", "a.mid"}, "--loud"},
      {{"--events", "a.mid", "-o"}, "-o"},
      {{"-o", "", "a.mid"}, "-o"},
      {{"--parts", "", "a.mid"}, "--parts"},
      {{"--parts", "a.mid"}, "FILE.mid"},
      {{"--parts", "d", "-o", "x.wav", "a.mid"}, "-o,--parts,--events,--info"},
      {{"--parts", "d", "--volumes", "100,0,0,0", "a.mid"}, "--volumes"},
      {{"--format", "aiff", "-o", "x.wav", "a.mid"}, "--format"},
      {{"--format", "wav", "--events", "a.mid"}, "--format"},
      {{"--format", "-o", "x.wav", "a.mid"}, "--format"},
      {{"--from-bar", "-1", "--events", "a.mid"}, "--from-bar"},
      {{"--pickup", "256", "--events", "a.mid"}, "--pickup"},
      {{"--to-bar", "-2", "--events", "a.mid"}, "--to-bar"},
      {{"--to-bar", "2147483648", "--events", "a.mid"}, "--to-bar"},
      {{"--from-bar", "two", "--events", "a.mid"}, "--from-bar"},
      {{"--from-bar", "2", "--from-tick", "0", "--events", "a.mid"}, "--from-tick"},
      {{"--loop", "0", "--events", "a.mid"}, "--loop"},
      {{"--loop", "1001", "--events", "a.mid"}, "--loop"},
      {{"--events", "a.mid", "--loop"}, "--loop"},
      {{"--lyrics=17", "a.mid"}, "--lyrics"},
      {{"--lyrics", "--events", "a.mid"}, "-o,--parts,--events,--info"},
      {{"--transpose", "13", "--events", "a.mid"}, "--transpose"},
      {{"--transpose", "-1-", "--events", "a.mid"}, "--transpose"},
      {{"--mute", "5", "--events", "a.mid"}, "--mute"},
      {{"--mute", "1,2,3,4,1", "--events", "a.mid"}, "--mute"},
      {{"--mute", "", "--events", "a.mid"}, "--mute"},
      {{"--events", "--mute", "2", "3", "a.mid"}, "a.mid"},  // 3 is the file: a.mid one too many
      {{"--solo", "1,0", "--events", "a.mid"}, "--solo"},
      {{"--solo", "2", "--parts", "d", "a.mid"}, "--solo"},
      {{"--speed-up", "10", "--events", "a.mid"}, "--loop"},
      {{"--speed-up", "51", "--loop", "2", "--events", "a.mid"}, "--speed-up"},
      {{"--speed-up", "10:", "--loop", "2", "--events", "a.mid"}, "--speed-up"},
      {{"--speed-up", "10:501", "--loop", "2", "--events", "a.mid"}, "--speed-up"},
      {{"--minus", "--events", "a.mid"}, "--parts"},
  };
  for (const auto& [args, names] : bad) {
    const auto parsed = ParseOptions(args);
    EXPECT_FALSE(parsed.options) << ::testing::PrintToString(args);
    EXPECT_NE(parsed.error.find(names), std::string::npos) << parsed.error;
    EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
  }
}

TEST(RenderEventLine, PrintsTimeTickAndTheMessageBytes) {
  EXPECT_EQ(EventLine(1500000, 1440, 0x643C90), "1500000 1440 90 3c 64");
  EXPECT_EQ(EventLine(0, 0, 0x10C5), "0 0 c5 10");  // program change: one data byte
  EXPECT_EQ(EventLine(7, 3, 0x40D2), "7 3 d2 40");  // channel pressure: one data byte
  EXPECT_EQ(EventLine(12, 5, 0x003F07B0), "12 5 b0 07 3f");
}

TEST(RenderPartFiles, VoiceNamesBecomeFileNames) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"Soprano", "Soprano"},
      {"  Alto 1 ", "Alto 1"},
      {"S/A", "S-A"},
      {"../../etc/passwd", "-..-etc-passwd"},
      {".hidden", "hidden"},
      {". . Bass", "Bass"},
      {"Ten\tor\x01\n", "Ten or"},
      {"\xc2\x85Tenor\x7f", "Tenor"},  // C1 control and DEL
      {"Sopran\xc3\xb6", "Sopran\xc3\xb6"},
      {"...", ""},
      {" \t ", ""},
      {std::string(198, 'a') + "\xc3\xa9\xc3\xa9", std::string(198, 'a') + "\xc3\xa9"},
  };
  for (const auto& [name, fileName] : rows) {
    EXPECT_EQ(FileNameOfVoice(name), fileName) << name;
  }
}

TEST(RenderPartFiles, EachVoiceOverTheOthersThenTuttiWithDistinctNames) {
  const std::vector<std::pair<std::array<std::string, 4>, std::vector<std::string>>> rows = {
      {{"Soprano", "Alto", "Tenor", "Bass"},
       {"Soprano.ogg", "Alto.ogg", "Tenor.ogg", "Bass.ogg", "Tutti.ogg"}},
      {{"choir aahs", "choir aahs", "Choir Aahs", "choir aahs (2)"},
       {"choir aahs.ogg", "choir aahs (2).ogg", "Choir Aahs (3).ogg", "choir aahs (2) (2).ogg",
        "Tutti.ogg"}},
      {{"...", "", "Voice 1", "tutti"},
       {"Voice 1.ogg", "Voice 2.ogg", "Voice 1 (2).ogg", "tutti (2).ogg", "Tutti.ogg"}},
  };
  for (const auto& [names, fileNames] : rows) {
    const std::vector<PartFile> parts = PartFiles(names, "ogg");
    ASSERT_EQ(parts.size(), 5u);
    for (std::size_t i = 0; i < parts.size(); ++i) {
      EXPECT_EQ(parts[i].fileName, fileNames[i]) << i;
    }
  }
  const std::vector<PartFile> parts = PartFiles({"S", "A", "T", "B"}, "wav");
  for (std::uint32_t voice = 0; voice < 4; ++voice) {
    std::array<std::uint32_t, 4> volumes{30, 30, 30, 30};
    volumes[voice] = 100;
    EXPECT_EQ(parts[voice].volumes, volumes);
    EXPECT_EQ(parts[voice].centredChannel, voice);
  }
  EXPECT_EQ(parts[4].volumes, (std::array<std::uint32_t, 4>{100, 100, 100, 100}));
  EXPECT_FALSE(parts[4].centredChannel);

  const std::vector<PartFile> minus = PartFiles({"S", "s minus", "", "B"}, "wav", true);
  const std::vector<std::string> minusNames = {"S minus (2).wav", "s minus minus.wav",
                                               "Voice 3 minus.wav", "B minus.wav"};
  ASSERT_EQ(minus.size(), 9u);
  for (std::uint32_t voice = 0; voice < 4; ++voice) {
    std::array<std::uint32_t, 4> volumes{100, 100, 100, 100};
    volumes[voice] = 0;
    EXPECT_EQ(minus[5 + voice].fileName, minusNames[voice]);
    EXPECT_EQ(minus[5 + voice].volumes, volumes);
    EXPECT_FALSE(minus[5 + voice].centredChannel);
  }
}

}  // namespace
}  // namespace quirelle::render
