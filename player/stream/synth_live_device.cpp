// The live synthesizer device.
#include "player/stream/synth_live_device.h"

#include "player/stream/fluid_audio.h"
#include "player/stream/synth_library_log.h"

namespace quirelle::stream {

struct LiveSynthDevice::Backend {
  FluidSynthInstance fluid;
  std::unique_ptr<FluidRenderer> renderer;
  FluidAudioDriverPtr audio;  // stopped first, in StopAudio()
};

LiveSynthDevice::LiveSynthDevice(SynthRenderer& renderer, std::uint32_t sampleRate)
    : renderer_(renderer), sampleRate_(sampleRate), scheduler_(renderer) {}

LiveSynthDevice::~LiveSynthDevice() {
  StopAudio();
}

std::unique_ptr<LiveSynthDevice> LiveSynthDevice::Open(const FluidSetup& setup,
                                                       SynthOpenFailure* failure) {
  LibraryLog::Install();
  const std::uint64_t mark = LibraryLog::Mark();
  auto backend = std::make_unique<Backend>();
  backend->fluid =
      MakeFluidSynth(MakeFluidSettings(setup), setup, &failure->code, &failure->reason);
  if (!backend->fluid.synth) {
    failure->detail = LibraryLog::JoinedSince(mark);
    return nullptr;
  }
  backend->renderer = std::make_unique<FluidRenderer>(backend->fluid.synth.get());
  auto device = std::make_unique<LiveSynthDevice>(*backend->renderer, setup.sampleRate);
  fluid_settings_t* settings = backend->fluid.settings.get();
  device->backend_ = std::move(backend);
  OpenedAudio audio = OpenAudioOutput(settings, &LiveSynthDevice::AudioCallback, device.get());
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
