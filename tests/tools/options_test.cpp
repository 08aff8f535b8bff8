// The command line of quirelle-render, the format of its event lines and the names of the
// rehearsal tracks.
#include <gtest/gtest.h>

#include "tools/render/event_line.h"
#include "tools/render/options.h"
#include "tools/render/part_files.h"

namespace quirelle::render {
namespace {

TEST(RenderOptions, AcceptsEveryOption) {
  const auto parsed = ParseOptions({"--tempo",     "150",        "--volumes", "100,80,0,50,7",
                                    "--soundfont", "gm.sf2",     "--rate",    "48000",
                                    "--from-bar",  "3",          "--to-bar",  "012",
                                    "--count-in",  "--loop",     "4",         "--format",
                                    "FLAC",        "-o",         "out.wav",   "--transpose",
                                    "-03",         "--mute",     "2,15",      "--solo",
                                    "1,3",         "--speed-up", "10:090",    "--starting-notes",
                                    "song.mid"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  EXPECT_EQ(parsed.options->tempoPercent, 150u);
  EXPECT_EQ(parsed.options->volumes,
            (std::array<std::uint32_t, kMostVoices>{100, 80, 0, 50, 7, 100, 100, 100, 100, 100, 100,
                                                    100, 100, 100, 100}));
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
  EXPECT_EQ(parsed.options->muted,
            (std::array<bool, kMostVoices>{false, true, false, false, false, false, false, false,
                                           false, false, false, false, false, false, true}));
  EXPECT_EQ(parsed.options->soloed,
            (std::array<bool, kMostVoices>{true, false, true, false, false}));
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
  std::array<std::uint32_t, kMostVoices> full;
  full.fill(100);
  EXPECT_EQ(parsed.options->volumes, full);
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
      {{"--picture", "x.svg", "--events", "a.mid"}, "--picture"},
      {{"--voice", "17", "--picture", "x.svg", "a.mid"}, "--voice"},
      {{"--tempo", "19", "--events", "a.mid"}, "--tempo"},
      {{"--tempo", "501", "--events", "a.mid"}, "--tempo"},
      {{"--tempo", "1e2", "--events", "a.mid"}, "--tempo"},
      {{"--tempo", "0x20", "--events", "a.mid"}, "--tempo"},
      {{"--tempo", "--events", "a.mid"}, "--tempo"},
      {{"--volumes", "100,100,100,101", "--events", "a.mid"}, "--volumes"},
      {{"--volumes", "1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1", "--events", "a.mid"}, "--volumes"},
      {{"--mute", "16", "--events", "a.mid"}, "--mute"},
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

std::vector<SungVoice> Sung(const std::vector<std::string>& names,
                            const std::vector<std::uint32_t>& channels = {0, 1, 2, 3}) {
  std::vector<SungVoice> sung;
  for (std::size_t i = 0; i < names.size(); ++i) {
    sung.push_back({names[i], static_cast<std::uint32_t>(i + 1), channels[i]});
  }
  return sung;
}

// `volumes` as "c:v" for each channel not at 100.
std::string NotFull(const std::array<std::uint32_t, 16>& volumes) {
  std::string text;
  for (std::size_t channel = 0; channel < volumes.size(); ++channel) {
    if (volumes[channel] != 100) {
      text += std::to_string(channel + 1) + ":" + std::to_string(volumes[channel]) + " ";
    }
  }
  return text;
}

TEST(RenderPartFiles, EachVoiceOverTheOthersThenTuttiWithDistinctNames) {
  const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> rows = {
      {{"Soprano", "Alto", "Tenor", "Bass"},
       {"Soprano.ogg", "Alto.ogg", "Tenor.ogg", "Bass.ogg", "Tutti.ogg"}},
      {{"choir aahs", "choir aahs", "Choir Aahs", "choir aahs (2)"},
       {"choir aahs.ogg", "choir aahs (2).ogg", "Choir Aahs (3).ogg", "choir aahs (2) (2).ogg",
        "Tutti.ogg"}},
      {{"...", "", "Voice 1", "tutti"},
       {"Voice 1.ogg", "Voice 2.ogg", "Voice 1 (2).ogg", "tutti (2).ogg", "Tutti.ogg"}},
  };
  for (const auto& [names, fileNames] : rows) {
    const std::vector<PartFile> parts = PartFiles(Sung(names), "ogg");
    ASSERT_EQ(parts.size(), 5u);
    for (std::size_t i = 0; i < parts.size(); ++i) {
      EXPECT_EQ(parts[i].fileName, fileNames[i]) << i;
    }
  }
}

// Each sung voice over the others at 30 %, the tutti, the minus tracks; channels no sung voice
// plays on (an accompaniment's) always at 100 %.
TEST(RenderPartFiles, VolumesOfEachTrack) {
  struct Row {
    const char* what;
    std::vector<SungVoice> sung;
    std::vector<std::string> files;  // name: channels not at 100, centred channel
  };
  const Row rows[] = {
      {"four voices",
       Sung({"S", "s minus", "", "B"}),
       {"S.wav: 2:30 3:30 4:30 c1", "s minus.wav: 1:30 3:30 4:30 c2",
        "Voice 3.wav: 1:30 2:30 4:30 c3", "B.wav: 1:30 2:30 3:30 c4",
        "Tutti.wav: ", "S minus (2).wav: 1:0 ", "s minus minus.wav: 2:0 ",
        "Voice 3 minus.wav: 3:0 ", "B minus.wav: 4:0 "}},
      {"five voices",
       Sung({"Canto", "Quinto", "Alto", "Tenore", "Basso"}, {0, 1, 2, 3, 4}),
       {"Canto.wav: 2:30 3:30 4:30 5:30 c1", "Quinto.wav: 1:30 3:30 4:30 5:30 c2",
        "Alto.wav: 1:30 2:30 4:30 5:30 c3", "Tenore.wav: 1:30 2:30 3:30 5:30 c4",
        "Basso.wav: 1:30 2:30 3:30 4:30 c5", "Tutti.wav: ", "Canto minus.wav: 1:0 ",
        "Quinto minus.wav: 2:0 ", "Alto minus.wav: 3:0 ", "Tenore minus.wav: 4:0 ",
        "Basso minus.wav: 5:0 "}},
      {"choir and solo, the piano on 6 as it is",
       Sung({"S", "A", "T", "B", "Solo"}, {0, 1, 2, 3, 4}),
       {"S.wav: 2:30 3:30 4:30 5:30 c1", "A.wav: 1:30 3:30 4:30 5:30 c2",
        "T.wav: 1:30 2:30 4:30 5:30 c3", "B.wav: 1:30 2:30 3:30 5:30 c4",
        "Solo.wav: 1:30 2:30 3:30 4:30 c5", "Tutti.wav: ", "S minus.wav: 1:0 ", "A minus.wav: 2:0 ",
        "T minus.wav: 3:0 ", "B minus.wav: 4:0 ", "Solo minus.wav: 5:0 "}},
      {"three voices and a piano on 3",
       Sung({"S", "A", "B"}, {0, 1, 3}),
       {"S.wav: 2:30 4:30 c1", "A.wav: 1:30 4:30 c2", "B.wav: 1:30 2:30 c4",
        "Tutti.wav: ", "S minus.wav: 1:0 ", "A minus.wav: 2:0 ", "B minus.wav: 4:0 "}},
  };
  for (const Row& row : rows) {
    std::vector<std::string> files;
    for (const PartFile& part : PartFiles(row.sung, "wav", true)) {
      // Appended piece by piece: GCC 12's Release build warns of "c" + a number (-Wrestrict).
      std::string file = part.fileName + ": " + NotFull(part.volumes);
      if (part.centredChannel) {
        file.append("c").append(std::to_string(*part.centredChannel + 1));
      }
      files.push_back(std::move(file));
    }
    EXPECT_EQ(files, row.files) << row.what;
  }
}

}  // namespace
}  // namespace quirelle::render
