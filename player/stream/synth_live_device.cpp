// The live synthesizer device.
#include "player/stream/synth_live_device.h"

#include "player/stream/fluid_audio.h"
#include "player/stream/synth_library_log.h"

namespace quirelle::stream {

LiveSynthDevice::LiveSynthDevice(std::uint32_t sampleRate) : sampleRate_(sampleRate) {}

LiveSynthDevice::~LiveSynthDevice() {
  audio_.reset();
}

std::unique_ptr<LiveSynthDevice> LiveSynthDevice::Open(const FluidSetup& setup,
                                                       SynthOpenFailure* failure) {
  LibraryLog::Install();
  const std::uint64_t mark = LibraryLog::Mark();
  auto device = std::make_unique<LiveSynthDevice>(setup.sampleRate);
  device->fluid_ =
      MakeFluidSynth(MakeFluidSettings(setup), setup, &failure->code, &failure->reason);
  if (!device->fluid_.synth) {
    failure->detail = LibraryLog::JoinedSince(mark);
    return nullptr;
  }
  device->renderer_ = std::make_unique<FluidRenderer>(device->fluid_.synth.get());
  device->scheduler_ = std::make_unique<SynthBlockScheduler>(*device->renderer_);
  OpenedAudio audio =
      OpenAudioOutput(device->fluid_.settings.get(), &LiveSynthDevice::AudioCallback, device.get());
  if (!audio.driver) {
    failure->code = MMSYSERR_NODRIVER;
    failure->reason = "no audio output";
    failure->detail = LibraryLog::JoinedSince(mark);
    return nullptr;
  }
  device->audioSystem_ = audio.name;
  device->audio_ = std::move(audio.driver);
  return device;
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
  // Frees the audio device for the next stream at once; joins the audio thread.
  audio_.reset();
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
  auto* device = static_cast<LiveSynthDevice*>(data);
  // The buffers come zeroed; the synthesizer's output already holds its reverb and chorus, so
  // the effect buffers (only JACK has them) stay silent.
  device->scheduler_->Render(out[0], out[1], static_cast<std::uint32_t>(len), *device);
  return FLUID_OK;
}

}  // namespace quirelle::stream
