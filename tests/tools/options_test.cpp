// The command line of quirelle-render and the format of its event lines.
#include <gtest/gtest.h>

#include "tools/render/event_line.h"
#include "tools/render/options.h"

namespace quirelle::render {
namespace {

TEST(RenderOptions, AcceptsEveryOption) {
  const auto parsed = ParseOptions({"--tempo", "150", "--volumes", "100,80,0,50", "--soundfont",
                                    "gm.sf2", "--rate", "48000", "-o", "out.wav", "song.mid"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  EXPECT_EQ(parsed.options->tempoPercent, 150u);
  EXPECT_EQ(parsed.options->volumes, (std::array<std::uint32_t, 4>{100, 80, 0, 50}));
  EXPECT_EQ(parsed.options->soundFont, "gm.sf2");
  EXPECT_EQ(parsed.options->sampleRate, 48000u);
  EXPECT_EQ(parsed.options->wavPath, "out.wav");
  EXPECT_FALSE(parsed.options->events);
  EXPECT_EQ(parsed.options->midiPath, "song.mid");
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
}

TEST(RenderOptions, RefusesBadArguments) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"a.mid"},
      {"--events"},
      {"--events", "a.mid", "b.mid"},
      {"--events", "-o", "x.wav", "a.mid"},
      {"--info", "--events", "a.mid"},
      {"--tempo", "19", "--events", "a.mid"},
      {"--tempo", "501", "--events", "a.mid"},
      {"--tempo", "1e2", "--events", "a.mid"},
      {"--tempo", "--events", "a.mid"},
      {"--volumes", "100,100,100", "--events", "a.mid"},
      {"--volumes", "100,100,100,101", "--events", "a.mid"},
      {"--volumes", "100,100,100,100,", "--events", "a.mid"},
      {"--volumes", "1,2,,4", "--events", "a.mid"},
      {"--rate", "0", "--events", "a.mid"},
      {"--loud", "--events", "a.mid"},
      {"--events", "a.mid", "-o"},
  };
  for (const auto& args : bad) {
    const auto parsed = ParseOptions(args);
    EXPECT_FALSE(parsed.options) << ::testing::PrintToString(args);
    EXPECT_FALSE(parsed.error.empty());
    EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
  }
}

TEST(RenderEventLine, PrintsTimeTickAndTheMessageBytes) {
  EXPECT_EQ(EventLine(1500000, 1440, 0x643C90), "1500000 1440 90 3c 64");
  EXPECT_EQ(EventLine(0, 0, 0x10C5), "0 0 c5 10");  // program change: one data byte
  EXPECT_EQ(EventLine(7, 3, 0x40D2), "7 3 d2 40");  // channel pressure: one data byte
  EXPECT_EQ(EventLine(12, 5, 0x003F07B0), "12 5 b0 07 3f");
}

}  // namespace
}  // namespace quirelle::render
