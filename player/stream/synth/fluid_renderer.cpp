// Short messages to FluidSynth calls, and rendering into two float channels.
#include "player/stream/synth/fluid_renderer.h"

#include <algorithm>
#include <bit>

#include "midi/vocabulary.h"
#include "player/stream/synth/fluid_handles.h"

namespace quirelle::stream {

namespace {

constexpr std::uint32_t kDrums = 9;

}  // namespace

StemLayout::StemLayout(std::uint16_t voices, bool rest) {
  voices &= static_cast<std::uint16_t>(~(1U << kDrums));
  const auto count = static_cast<std::uint32_t>(std::popcount(voices));
  outputs = std::max<std::uint32_t>(1, count + (rest ? 1 : 0));
  restOutput = rest ? kDrums % outputs : outputs;
  std::uint32_t next = 0;
  for (std::uint32_t channel = 0; channel < midi::kChannels; ++channel) {
    if ((voices >> channel & 1U) != 0) {
      next += next == restOutput ? 1 : 0;
      outputOf[channel] = next++;
    } else {
      outputOf[channel] = rest ? restOutput : channel % outputs;
    }
  }
}

FluidRenderer::FluidRenderer(fluid_synth_t* synth, SynthStemSink* stems, bool restStem,
                             std::uint16_t stemVoices)
    : synth_(synth),
      quantum_(static_cast<std::uint32_t>(fluid_synth_get_internal_bufsize(synth))),
      outputs_(stems != nullptr ? StemLayout(stemVoices, restStem).outputs : 1),
      stems_(stems),
      channels_(2 * outputs_),
      dry_(2 * outputs_),
      effects_(4 * outputs_) {
  if (quantum_ == 0) {
    quantum_ = 1;
  }
  if (stems == nullptr) {
    for (std::uint32_t channel = 0; channel < midi::kChannels; ++channel) {
      synthChannel_[channel] = static_cast<int>(channel);
    }
    return;
  }
  // Each channel on the first free synthesizer channel that reaches its output; the synthesizer
  // has 16 channels for each output, so one is always free.
  const StemLayout layout(stemVoices, restStem);
  std::vector<bool> taken(static_cast<std::size_t>(outputs_) * midi::kChannels);
  taken[kDrums] = true;
  synthChannel_[kDrums] = static_cast<int>(kDrums);
  for (std::uint32_t channel = 0; channel < midi::kChannels; ++channel) {
    if (channel == kDrums) {
      continue;
    }
    std::uint32_t played = layout.outputOf[channel];
    while (played < taken.size() && (taken[played] || played % midi::kChannels == kDrums)) {
      played += outputs_;
    }
    if (played < taken.size()) {
      taken[played] = true;
    }
    synthChannel_[channel] = static_cast<int>(played);
  }
}

void FluidRenderer::Apply(std::uint32_t message) {
  const int status = static_cast<int>(message & 0xFF);
  // Data bytes with bit 7 set occur in real files (velocity 0xFF); the synthesizer would refuse
  // them, so they are read as 7-bit values.
  const int data1 = midi::Data1Of(message);
  const int data2 = midi::Data2Of(message);
  const int channel = synthChannel_[status & 0x0F];
  switch (midi::KindOf(static_cast<std::uint8_t>(status))) {
    case midi::kNoteOff:
      fluid_synth_noteoff(synth_, channel, data1);
      break;
    case midi::kNoteOn:
      fluid_synth_noteon(synth_, channel, data1, data2);  // velocity 0 is a note-off
      break;
    case midi::kKeyPressure:
      fluid_synth_key_pressure(synth_, channel, data1, data2);
      break;
    case midi::kControlChange:
      fluid_synth_cc(synth_, channel, data1, data2);
      break;
    case midi::kProgramChange: {
      const std::lock_guard lock(SampleCacheLock());  // may load the program's samples
      fluid_synth_program_change(synth_, channel, data1);
      break;
    }
    case midi::kChannelPressure:
      fluid_synth_channel_pressure(synth_, channel, data1);
      break;
    case midi::kPitchBend:
      fluid_synth_pitch_bend(synth_, channel, data1 | (data2 << 7));
      break;
    case midi::kSysEx:
      if (status == midi::kSystemReset) {
        const std::lock_guard lock(SampleCacheLock());  // selects every channel's first program
        fluid_synth_system_reset(synth_);
      }
      break;
    default:
      break;  // no status byte: nothing to play
  }
}

void FluidRenderer::Render(float* left, float* right, std::uint32_t frames) {
  if (stems_ == nullptr) {
    fluid_synth_write_float(synth_, static_cast<int>(frames), left, 0, 1, right, 0, 1);
    return;
  }
  RenderStems(left, right, frames);
}

void FluidRenderer::RenderStems(float* left, float* right, std::uint32_t frames) {
  for (std::size_t channel = 0; channel < channels_.size(); ++channel) {
    std::vector<float>& samples = channels_[channel];
    if (samples.size() < frames) {
      samples.resize(frames);  // once, at the first piece of a block's length
    }
    std::fill_n(samples.begin(), frames, 0.0f);  // FluidSynth adds to what is there
    dry_[channel] = samples.data();
  }
  // Each output's reverb and chorus go into that output, as one output mixes its effects in.
  for (std::size_t output = 0; output < outputs_; ++output) {
    for (std::size_t effect = 0; effect < 2; ++effect) {
      effects_[(output * 2 + effect) * 2] = dry_[output * 2];
      effects_[(output * 2 + effect) * 2 + 1] = dry_[output * 2 + 1];
    }
  }
  fluid_synth_process(synth_, static_cast<int>(frames), static_cast<int>(effects_.size()),
                      effects_.data(), static_cast<int>(dry_.size()), dry_.data());
  std::fill_n(left, frames, 0.0f);
  std::fill_n(right, frames, 0.0f);
  for (std::size_t output = 0; output < outputs_; ++output) {
    for (std::uint32_t i = 0; i < frames; ++i) {
      left[i] += dry_[output * 2][i];
      right[i] += dry_[output * 2 + 1][i];
    }
  }
  stems_->WriteStems(dry_.data(), outputs_, frames);
}

}  // namespace quirelle::stream
