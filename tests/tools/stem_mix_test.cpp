// The stems a rehearsal set is mixed from: which plays of the song render which voices, and how
// each file's release tail is cut from stems that run on.
#include "tools/render/stem_mix.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using quirelle::render::ChannelSet;
using quirelle::render::MixStems;
using quirelle::render::PartFile;
using quirelle::render::PartFiles;
using quirelle::render::PlanStems;
using quirelle::render::SongSounds;
using quirelle::render::StemPlan;
using quirelle::render::StemQueue;

SongSounds Sounds(const std::string& notes, const std::string& panned = "") {
  SongSounds sounds;
  sounds.notes = ChannelSet(notes.empty() ? std::string(16, '0') : notes);
  sounds.panned = ChannelSet(panned.empty() ? std::string(16, '0') : panned);
  return sounds;
}

// The plays' outputs, each play as "percent[c]:voices" (c when centred), and each file's stems as
// "play.output".
std::string Describe(const StemPlan& plan) {
  std::string text = std::to_string(plan.outputs) + " ";
  for (const auto& job : plan.jobs) {
    text += std::to_string(job.percent) + (job.centred ? "c" : "") + ":";
    for (std::size_t channel = 0; channel < 16; ++channel) {
      text += job.voices.test(channel) ? std::to_string(channel + 1) + "," : "";
    }
    text += " ";
  }
  for (const auto& sources : plan.files) {
    text += "|";
    for (const auto& source : sources) {
      text += std::to_string(source.job) + "." + std::to_string(source.output) + " ";
    }
  }
  return text;
}

TEST(StemPlan, EachVoiceOnceAtEachVolumeCentredOnlyWherePanned) {
  struct Row {
    const char* what;
    SongSounds sounds;  // bit strings: channel 16 first
    bool minus;
    const char* plan;
    std::vector<std::uint32_t> sung = {0, 1, 2, 3};  // the sung voices' channels
  };
  const Row rows[] = {
      {"four voices", Sounds("0000000000001111"), false,
       "4 100:1,2,3,4, 30:1,2,3,4, |0.0 1.1 1.2 1.3 |1.0 0.1 1.2 1.3 |1.0 1.1 0.2 1.3 "
       "|1.0 1.1 1.2 0.3 |0.0 0.1 0.2 0.3 "},
      {"alto panned: only its own track holds it at the centre",
       Sounds("0000000000001111", "0000000000000010"), false,
       "4 100:1,2,3,4, 30:1,2,3,4, 100c:2, |0.0 1.1 1.2 1.3 |1.0 2.1 1.2 1.3 "
       "|1.0 1.1 0.2 1.3 |1.0 1.1 1.2 0.3 |0.0 0.1 0.2 0.3 "},
      {"piano on 5 and drums on 10: the rest once, in every file", Sounds("0000001000011111"),
       false,
       "5 100:1,2,3,4, 30:1,2,3,4, |0.0 1.1 1.2 1.3 0.4 |1.0 0.1 1.2 1.3 0.4 "
       "|1.0 1.1 0.2 1.3 0.4 |1.0 1.1 1.2 0.3 0.4 |0.0 0.1 0.2 0.3 0.4 "},
      {"a silent tenor adds nothing; minus tracks reuse the full voices",
       Sounds("0000000000001011"), true,
       "4 100:1,2,4, 30:1,2,4, |0.0 1.1 1.3 |1.0 0.1 1.3 |1.0 1.1 1.3 |1.0 1.1 0.3 "
       "|0.0 0.1 0.3 |0.1 0.3 |0.0 0.3 |0.0 0.1 0.3 |0.0 0.1 "},
      {"no notes at all: one silent play gives the length", Sounds(""), false, "4 100: |||||"},
      {"five voices",
       Sounds("0000000000011111"),
       false,
       "5 100:1,2,3,4,5, 30:1,2,3,4,5, |0.0 1.1 1.2 1.3 1.4 |1.0 0.1 1.2 1.3 1.4 "
       "|1.0 1.1 0.2 1.3 1.4 |1.0 1.1 1.2 0.3 1.4 |1.0 1.1 1.2 1.3 0.4 |0.0 0.1 0.2 0.3 0.4 ",
       {0, 1, 2, 3, 4}},
      {"choir and solo with a piano on 6: the piano in the rest, on the drums' output",
       Sounds("0000000000111111"),
       false,
       "6 100:1,2,3,4,5, 30:1,2,3,4,5, |0.0 1.1 1.2 1.4 1.5 0.3 |1.0 0.1 1.2 1.4 1.5 0.3 "
       "|1.0 1.1 0.2 1.4 1.5 0.3 |1.0 1.1 1.2 0.4 1.5 0.3 |1.0 1.1 1.2 1.4 0.5 0.3 "
       "|0.0 0.1 0.2 0.4 0.5 0.3 ",
       {0, 1, 2, 3, 4}},
  };
  for (const Row& row : rows) {
    std::vector<quirelle::render::SungVoice> sung;
    ChannelSet channels;
    for (const std::uint32_t channel : row.sung) {
      sung.push_back({std::string(1, static_cast<char>('A' + channel)), channel + 1, channel});
      channels.set(channel);
    }
    const std::vector<PartFile> parts = PartFiles(sung, "wav", row.minus);
    EXPECT_EQ(Describe(PlanStems(parts, row.sounds, channels)), row.plan) << row.what;
  }
}

TEST(StemPlan, SongSoundsHearNotesAndPansOffCentre) {
  SongSounds sounds;
  for (const std::uint32_t message : {0x00403C90u, 0x00003E91u, 0x00400AB2u, 0x00000AB3u,
                                      0x00002AB3u, 0x00012AB4u, 0x00407F95u}) {
    sounds.Hear(message);
  }
  // A note-on of velocity 0 is a note-off; pan 64 and fine pan 0 are the centre.
  EXPECT_EQ(sounds.notes, ChannelSet("0000000000100001"));
  EXPECT_EQ(sounds.panned, ChannelSet("0000000000011000"));
}

// Records what the mixer writes.
class Recorder final : public quirelle::stream::SynthAudioSink {
 public:
  bool Write(const float* left, const float*, std::uint32_t frames) override {
    samples.insert(samples.end(), left, left + frames);
    return true;
  }
  std::vector<float> samples;
};

// One job's stem: a level of 0.5 for the song, then a tail that falls to silence in three blocks
// and rises again (a later note of the release would not be heard by a file cut before it).
TEST(StemMix, EachFileEndsAtItsFirstSilentBlockOfTheTail) {
  constexpr std::uint32_t kSong = 5000 * 256;  // crosses chunks
  StemPlan plan;
  plan.jobs.push_back({100, false, ChannelSet("1")});
  plan.files = {{{0, 0}}, {}};  // the stem, and a file of silence
  std::vector<std::unique_ptr<StemQueue>> queues;
  queues.push_back(std::make_unique<StemQueue>(1));
  std::thread job([&queue = *queues[0]] {
    std::vector<float> block(256);
    const float* channels[2] = {block.data(), block.data()};
    const float levels[] = {0.5f, 0.2f, 0.001f, 0.0f, 0.3f, 0.3f};
    for (std::uint32_t at = 0; at < kSong + 6 * 256; at += 256) {
      if (at == kSong) {
        queue.TailStarts();
      }
      std::fill(block.begin(), block.end(), levels[at < kSong ? 0 : 1 + (at - kSong) / 256 % 5]);
      queue.WriteStems(channels, 1, 256);
    }
    queue.End();
  });
  Recorder stemFile;
  Recorder silentFile;
  const auto refused = MixStems(plan, queues, 44100, {&stemFile, &silentFile}, nullptr);
  job.join();
  EXPECT_FALSE(refused);
  EXPECT_EQ(stemFile.samples.size(), kSong + 3 * 256u) << "up to and with the silent block";
  EXPECT_EQ(silentFile.samples.size(), kSong + 256u);
  EXPECT_EQ(stemFile.samples.back(), 0.0f);
}

}  // namespace
