// The plan of a rehearsal set's stems, their way from the rendering threads, and the mix.
#include "tools/render/stem_mix.h"

#include <algorithm>

#include "player/stream/synth/fluid_renderer.h"
#include "player/stream/synth/pan_hold.h"
#include "player/stream/synth/synth_block_scheduler.h"
#include "player/stream/synth/synth_driver.h"
#include "player/stream/synth/synth_offline_device.h"

namespace quirelle::render {
namespace {

constexpr std::uint32_t kBlockFrames = stream::SynthBlockScheduler::kBlockFrames;

// The play that renders voice stems at `percent`, centred or not; made when first asked for.
std::size_t JobFor(StemPlan& plan, std::uint32_t percent, bool centred) {
  const auto job = std::find_if(plan.jobs.begin(), plan.jobs.end(), [&](const StemJob& j) {
    return j.percent == percent && j.centred == centred;
  });
  if (job != plan.jobs.end()) {
    return static_cast<std::size_t>(job - plan.jobs.begin());
  }
  plan.jobs.push_back({percent, centred, ChannelSet()});
  return plan.jobs.size() - 1;
}

// One file of the set as the mix goes: where its release tail has got to.
struct FileInMix {
  std::uint64_t tailBlocks = 0;
  bool done = false;
};

}  // namespace

void SongSounds::Hear(std::uint32_t message) {
  const std::uint8_t status = midi::StatusOf(message);
  if (!midi::IsChannelStatus(status)) {
    return;
  }
  const std::uint8_t channel = midi::ChannelOf(status);
  const std::uint8_t kind = midi::KindOf(status);
  if (kind == midi::kNoteOn && midi::Data2Of(message) != 0) {
    notes.set(channel);
  }
  // A pan that the centred copy of the voice would not play.
  const stream::HeldPanChannels all = stream::HeldPanChannels().set();
  if (kind == midi::kControlChange &&
      midi::Data2Of(stream::WithPanHeld(message, all)) != midi::Data2Of(message)) {
    panned.set(channel);
  }
}

StemPlan PlanStems(const std::vector<PartFile>& parts, const SongSounds& sounds,
                   const ChannelSet& voices) {
  StemPlan plan;
  plan.voices = voices;
  plan.rest = (sounds.notes & ~voices).any();
  const stream::StemLayout layout(static_cast<std::uint16_t>(voices.to_ulong()), plan.rest);
  plan.outputs = layout.outputs;
  for (const PartFile& part : parts) {
    std::vector<StemSource>& sources = plan.files.emplace_back();
    for (std::uint32_t voice = 0; voice < midi::kChannels; ++voice) {
      if (!voices.test(voice) || part.volumes[voice] == 0 || !sounds.notes.test(voice)) {
        continue;
      }
      // Held at the centre, a voice the song never pans sounds as it is.
      const bool centred = part.centredChannel == voice && sounds.panned.test(voice);
      const std::size_t job = JobFor(plan, part.volumes[voice], centred);
      plan.jobs[job].voices.set(voice);
      sources.push_back({job, layout.outputOf[voice]});
    }
    if (plan.rest) {
      sources.push_back({JobFor(plan, 100, false), layout.restOutput});
    }
  }
  if (plan.jobs.empty()) {
    JobFor(plan, 100, false);  // a song of silence still has a length
  }
  return plan;
}

StemQueue::StemQueue(std::uint32_t outputs) : outputs_(outputs) {
  filling_.channels.assign(2 * outputs_, std::vector<float>(kChunkFrames));
}

void StemQueue::WriteStems(const float* const* channels, std::uint32_t outputs,
                           std::uint32_t frames) {
  const std::uint32_t kept = std::min(outputs, outputs_);
  for (std::uint32_t done = 0; done < frames;) {
    const std::uint32_t piece = std::min(frames - done, kChunkFrames - filling_.frames);
    for (std::uint32_t channel = 0; channel < 2 * kept; ++channel) {
      std::copy_n(channels[channel] + done, piece,
                  filling_.channels[channel].begin() + filling_.frames);
    }
    filling_.frames += piece;
    done += piece;
    if (filling_.frames == kChunkFrames) {
      std::unique_lock lock(mutex_);
      written_ += filling_.frames;
      PushFilling(lock);
    }
  }
}

void StemQueue::PushFilling(std::unique_lock<std::mutex>& lock) {
  changed_.wait(lock, [this] { return chunks_.size() < kMostChunks || abandoned_; });
  if (!abandoned_) {
    chunks_.push_back(filling_);
  }
  filling_.frames = 0;
  changed_.notify_all();
}

void StemQueue::TailStarts() {
  std::lock_guard lock(mutex_);
  tailStart_ = written_ + filling_.frames;
}

void StemQueue::End() {
  std::unique_lock lock(mutex_);
  if (filling_.frames > 0) {
    written_ += filling_.frames;
    PushFilling(lock);
  }
  ended_ = true;
  changed_.notify_all();
}

void StemQueue::Abandon() {
  std::lock_guard lock(mutex_);
  abandoned_ = true;
  chunks_.clear();
  changed_.notify_all();
}

std::optional<StemQueue::Chunk> StemQueue::Take() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !chunks_.empty() || ended_ || abandoned_; });
  if (chunks_.empty()) {
    return std::nullopt;
  }
  Chunk chunk = std::move(chunks_.front());
  chunks_.pop_front();
  changed_.notify_all();
  return chunk;
}

std::optional<std::uint64_t> StemQueue::tailStart() const {
  std::lock_guard lock(mutex_);
  return tailStart_;
}

std::optional<std::size_t> MixStems(const StemPlan& plan,
                                    std::vector<std::unique_ptr<StemQueue>>& queues,
                                    std::uint32_t sampleRate,
                                    const std::vector<stream::SynthAudioSink*>& files,
                                    const std::function<void(std::uint64_t)>& progress) {
  // As the offline device ends a tail: at most this many whole blocks.
  const std::uint64_t longestTail =
      (static_cast<std::uint64_t>(sampleRate) * stream::kReleaseTailSeconds + kBlockFrames - 1) /
      kBlockFrames;
  std::vector<FileInMix> states(files.size());
  std::vector<std::optional<StemQueue::Chunk>> chunks(queues.size());
  std::vector<float> left(StemQueue::kChunkFrames);
  std::vector<float> right(StemQueue::kChunkFrames);
  const auto abandon = [&queues](std::size_t file) {
    for (auto& queue : queues) {
      queue->Abandon();
    }
    return file;
  };
  for (std::uint64_t at = 0;;) {
    std::uint32_t frames = 0;
    std::optional<std::uint64_t> tail;
    for (std::size_t job = 0; job < queues.size(); ++job) {
      chunks[job] = queues[job]->Take();
      if (chunks[job]) {
        frames = std::max(frames, chunks[job]->frames);
      }
      // A job's tail start is known before any chunk of its tail is taken.
      if (const auto start = queues[job]->tailStart(); start && (!tail || *start < *tail)) {
        tail = start;
      }
    }
    if (frames == 0) {
      return std::nullopt;
    }
    for (std::size_t file = 0; file < files.size(); ++file) {
      FileInMix& state = states[file];
      if (state.done) {
        continue;
      }
      std::fill_n(left.begin(), frames, 0.0f);
      std::fill_n(right.begin(), frames, 0.0f);
      for (const StemSource& source : plan.files[file]) {
        if (const auto& chunk = chunks[source.job]) {
          const std::vector<float>& l = chunk->channels[2 * source.output];
          const std::vector<float>& r = chunk->channels[2 * source.output + 1];
          for (std::uint32_t i = 0; i < chunk->frames; ++i) {
            left[i] += l[i];
            right[i] += r[i];
          }
        }
      }
      // The song itself whole, then its tail block by block until one is silent.
      const std::uint32_t song = !tail || *tail >= at + frames
                                     ? frames
                                     : static_cast<std::uint32_t>(*tail > at ? *tail - at : 0);
      if (song > 0 && !files[file]->Write(left.data(), right.data(), song)) {
        return abandon(file);
      }
      for (std::uint32_t block = song; block < frames && !state.done; block += kBlockFrames) {
        const std::uint32_t length = std::min(kBlockFrames, frames - block);
        if (!files[file]->Write(left.data() + block, right.data() + block, length)) {
          return abandon(file);
        }
        state.done =
            ++state.tailBlocks >= longestTail ||
            stream::OfflineSynthDevice::Silent(left.data() + block, right.data() + block, length);
      }
    }
    at += frames;
    if (progress) {
      progress(at);
    }
  }
}

}  // namespace quirelle::render
