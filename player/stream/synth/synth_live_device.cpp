// The live synthesizer device.
#include "player/stream/synth/synth_live_device.h"

#include "player/stream/synth/fluid_audio.h"
#include "player/stream/synth/synth_library_log.h"

namespace quirelle::stream {

struct LiveSynthDevice::Backend {
  std::unique_ptr<FluidLease> lease;
  FluidAudioDriverPtr audio;  // stopped first, in StopAudio()
};

LiveSynthDevice::LiveSynthDevice(SynthRenderer& renderer, std::uint32_t sampleRate)
    : renderer_(renderer), sampleRate_(sampleRate), scheduler_(renderer) {}

LiveSynthDevice::~LiveSynthDevice() {
  StopAudio();
}

std::unique_ptr<LiveSynthDevice> LiveSynthDevice::Open(std::unique_ptr<FluidLease> lease,
                                                       const FluidSetup& setup,
                                                       SynthOpenFailure* failure) {
  LibraryLog::Install();
  const std::uint64_t mark = LibraryLog::Mark();
  FluidUnit& unit = lease->unit();
  auto device = std::make_unique<LiveSynthDevice>(*unit.renderer, setup.sampleRate);
  device->backend_ = std::make_unique<Backend>();
  device->backend_->lease = std::move(lease);
  OpenedAudio audio = OpenAudioOutput(unit.fluid.settings.get(), setup.audio,
                                      &LiveSynthDevice::AudioCallback, device.get());
  if (!audio.driver) {
    failure->code = MMSYSERR_NODRIVER;
    failure->reason = "no audio output";
    failure->detail = LibraryLog::JoinedSince(mark);
    return nullptr;
  }
  device->audioSystem_ = audio.name;
  device->backend_->audio = std::move(audio.driver);
  return device;
}

void LiveSynthDevice::StopAudio() {
  if (backend_) {
    backend_->audio.reset();  // joins the audio thread
    backend_->lease->Release();
  }
}

void LiveSynthDevice::Start(StreamCore& core) {
  std::lock_guard lock(coreMutex_);
  core_ = &core;
}

void LiveSynthDevice::Shutdown() {
  {
    std::lock_guard lock(coreMutex_);
    core_ = nullptr;
  }
  // Frees the audio device for the next stream at once.
  StopAudio();
}

void LiveSynthDevice::RenderAudio(float* left, float* right, std::uint32_t frames) {
  scheduler_.Render(left, right, frames, *this);
}

void LiveSynthDevice::PlayBefore(std::uint64_t limit) {
  std::lock_guard lock(coreMutex_);
  if (core_ != nullptr) {
    core_->PlayBefore(limit, CallbackPolicy::kKeepGoing);
  }
}

int LiveSynthDevice::AudioCallback(void* data, int len, int /*nfx*/, float* /*fx*/[], int nout,
                                   float* out[]) {
  if (nout < 2 || len < 0) {
    return FLUID_FAILED;
  }
  // The buffers come zeroed; the synthesizer's output already holds its reverb and chorus, so
  // the effect buffers (only JACK has them) stay silent.
  static_cast<LiveSynthDevice*>(data)->RenderAudio(out[0], out[1], static_cast<std::uint32_t>(len));
  return FLUID_OK;
}

}  // namespace quirelle::stream
