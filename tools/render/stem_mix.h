// A rehearsal set in one pass. Each voice is rendered once into a stem at each volume the set
// needs (100 % for the tutti and the minus tracks, 30 % under another voice), once more held at
// the centre when the song pans it, and the rest of the song once; every file is then the sum of
// its stems. One play of the song renders the stems of one volume (and centring), the plays run
// at once on threads of their own, and the files are mixed as they go, so a long song never
// waits in memory.
//
// The sum equals a render of the file alone: the synthesizer's voices and its reverb and chorus
// are linear, and each stem has effects of its own. A voice's volume cannot be applied to a stem
// afterwards (the synthesizer rounds its attenuation to whole centibels), so the 30 % stems are
// rendered at 30 %.
#pragma once

#include <bitset>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "midi/vocabulary.h"
#include "player/stream/synth/synth_audio_sink.h"
#include "tools/render/part_files.h"

namespace quirelle::render {

using ChannelSet = std::bitset<midi::kChannels>;

// What a song's stream makes sound, seen from its messages.
struct SongSounds {
  ChannelSet notes;   // channels that play a note
  ChannelSet panned;  // channels sent a pan other than the centre
  void Hear(std::uint32_t message);
};

// One play of the song, with the voices at `percent` and held at the centre or as the song pans
// them. Every play plays the whole song (see synth_driver.h); `voices` are the voices whose
// outputs its files use.
struct StemJob {
  std::uint32_t percent = 100;
  bool centred = false;
  ChannelSet voices;
};

struct StemSource {
  std::size_t job = 0;
  std::uint32_t output = 0;  // the voice's output, or the rest's
  bool operator==(const StemSource&) const = default;
};

struct StemPlan {
  std::vector<StemJob> jobs;
  ChannelSet voices;          // the sung voices' channels, each with an output of its own
  bool rest = false;          // the song plays notes beyond them: each play has one more output
  std::uint32_t outputs = 4;  // of each play
  std::vector<std::vector<StemSource>> files;  // for each part file, the stems it adds up
};

// The plays that make `parts` for a song that sounds as `sounds`, whose sung voices play on
// `voices`: one for each volume and centring a voice needs. A voice without notes, or silent in a
// file, adds nothing to it; the rest (the accompaniment among it) comes from the first play.
StemPlan PlanStems(const std::vector<PartFile>& parts, const SongSounds& sounds,
                   const ChannelSet& voices);

// The stems of one job on their way from its rendering thread to the mixer, a few chunks at most.
class StemQueue final : public stream::SynthStemSink {
 public:
  static constexpr std::uint32_t kChunkFrames = 4096;  // a multiple of the offline block
  explicit StemQueue(std::uint32_t outputs);

  struct Chunk {
    std::vector<std::vector<float>> channels;  // 2 per output
    std::uint32_t frames = 0;
  };

  void WriteStems(const float* const* channels, std::uint32_t outputs,
                  std::uint32_t frames) override;
  void TailStarts() override;
  // The job is done: what is left goes to the mixer.
  void End();
  // The mixer has given up: the job never waits for it again.
  void Abandon();
  // The next chunk, waiting for it; nothing once the job has ended and all was taken.
  std::optional<Chunk> Take();
  // The frame where the release tail began, once it has.
  std::optional<std::uint64_t> tailStart() const;

 private:
  static constexpr std::size_t kMostChunks = 8;
  void PushFilling(std::unique_lock<std::mutex>& lock);

  const std::uint32_t outputs_;
  Chunk filling_;  // rendering thread only
  std::uint64_t written_ = 0;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Chunk> chunks_;
  std::optional<std::uint64_t> tailStart_;
  bool ended_ = false;
  bool abandoned_ = false;
};

// Mixes each file of `plan` from the queues' stems into `files` until every job has ended. A file
// ends as a render of it alone would: after the first silent block of its release tail, or after
// the longest tail. `progress` sees the frames mixed. The file that refused its samples, if one
// did; the queues are then abandoned.
std::optional<std::size_t> MixStems(const StemPlan& plan,
                                    std::vector<std::unique_ptr<StemQueue>>& queues,
                                    std::uint32_t sampleRate,
                                    const std::vector<stream::SynthAudioSink*>& files,
                                    const std::function<void(std::uint64_t)>& progress);

}  // namespace quirelle::render
