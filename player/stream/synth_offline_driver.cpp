// The offline synthesizer driver: one synthesizer and one WAV file, made at the first open and
// shared by the streams opened one after another.
#include <memory>
#include <mutex>
#include <utility>

#include "player/stream/fluid_renderer.h"
#include "player/stream/stream_core.h"
#include "player/stream/synth_driver.h"
#include "player/stream/synth_library_log.h"
#include "player/stream/synth_offline_device.h"
#include "player/stream/synth_setup.h"
#include "player/stream/wav_writer.h"

namespace quirelle::stream {
namespace {

class OfflineDriver final : public OfflineSynthDriver {
 public:
  OfflineDriver(SynthOptions options, std::string wavPath)
      : options_(std::move(options)), wavPath_(std::move(wavPath)) {}
  ~OfflineDriver() override { Finish(); }

  MMRESULT midiStreamOpen(HMIDISTRM* stream, std::uint32_t* deviceId, std::uint32_t cMidi,
                          MidiStreamCallback callback, std::uintptr_t instance,
                          std::uint32_t flags) override {
    if (const MMRESULT bad = CheckOpenArguments(stream, deviceId, cMidi, callback, flags)) {
      return Fail({bad, "the stream cannot be opened with these arguments", {}});
    }
    std::lock_guard lock(mutex_);
    if (finished_) {
      return Fail({MMSYSERR_NOTENABLED, "the WAV file " + wavPath_ + " is finished", {}});
    }
    if (!context_) {
      SynthOpenFailure failure;
      if (!MakeTarget(&failure)) {
        return Fail(std::move(failure));
      }
    }
    if (!context_->MarkOpen()) {
      return Fail({MMSYSERR_ALLOCATED, "the offline synthesizer is already playing", {}});
    }
    keeper_->Reap();
    keeper_->Open(std::make_unique<OfflineSynthDevice>(context_), callback, instance, stream);
    failure_.Set({});
    return MMSYSERR_NOERROR;
  }

  std::string LastErrorText() const override { return failure_.reason(); }

  std::string LastErrorDetail() const override { return failure_.detail(); }

  void WaitUntilClosed() override {
    std::shared_ptr<OfflineRenderContext> context;
    {
      std::lock_guard lock(mutex_);
      context = context_;
    }
    if (context) {
      context->WaitUntilClosed();
    }
  }

  bool Finish() override {
    std::lock_guard finishLock(finishMutex_);
    std::unique_ptr<StreamKeeper> keeper;
    {
      std::lock_guard lock(mutex_);
      if (finished_) {
        return finishError_.empty();
      }
      finished_ = true;
      keeper = std::move(keeper_);
    }
    keeper.reset();  // ends a stream still open; its tail is rendered
    std::lock_guard lock(mutex_);
    if (!wav_) {
      finishError_ = "nothing was rendered: no stream was opened";
      return false;
    }
    if (context_->WriteFailed() || !wav_->Close()) {
      finishError_ = wav_->error();
    }
    return finishError_.empty();
  }

  std::string FinishError() const override {
    std::lock_guard lock(mutex_);
    return finishError_;
  }

  std::uint64_t FramesRendered() const override {
    std::lock_guard lock(mutex_);
    return context_ ? context_->FramesWritten() : 0;
  }

  std::uint32_t SampleRate() const override { return options_.sampleRate; }

  void HoldRendering(bool hold) override {
    std::shared_ptr<OfflineRenderContext> context;
    {
      std::lock_guard lock(mutex_);
      held_ = hold;
      context = context_;
    }
    if (context) {
      context->SetHeld(hold);
    }
  }

 private:
  // Makes the synthesizer and opens the file; mutex_ held.
  bool MakeTarget(SynthOpenFailure* failure) {
    FluidSetup setup;
    if (!MakeFluidSetup(options_, &setup, failure)) {
      return false;
    }
    setup.offline = true;
    const std::uint64_t mark = LibraryLog::Mark();
    FluidSynthInstance fluid =
        MakeFluidSynth(MakeFluidSettings(setup), setup, &failure->code, &failure->reason);
    if (!fluid.synth) {
      failure->detail = LibraryLog::JoinedSince(mark);
      return false;
    }
    auto wav = std::make_unique<WavWriter>(wavPath_, setup.sampleRate);
    if (!wav->ok()) {
      *failure = {MMSYSERR_ERROR, wav->error(), {}};
      return false;
    }
    fluid_ = std::move(fluid);
    renderer_ = std::make_unique<FluidRenderer>(fluid_.synth.get());
    wav_ = std::move(wav);
    context_ = std::make_shared<OfflineRenderContext>(*renderer_, *wav_, setup.sampleRate,
                                                      options_.progress);
    context_->SetHeld(held_);
    return true;
  }

  MMRESULT Fail(OpenFailure failure) { return failure_.Set(std::move(failure)); }

  const SynthOptions options_;
  const std::string wavPath_;
  std::mutex finishMutex_;  // one Finish at a time
  mutable std::mutex mutex_;
  LastOpenFailure failure_;
  bool finished_ = false;
  bool held_ = false;
  std::string finishError_;
  FluidSynthInstance fluid_;
  std::unique_ptr<FluidRenderer> renderer_;
  std::unique_ptr<WavWriter> wav_;
  std::shared_ptr<OfflineRenderContext> context_;
  std::unique_ptr<StreamKeeper> keeper_ = std::make_unique<StreamKeeper>();  // ends streams first
};

}  // namespace

std::unique_ptr<OfflineSynthDriver> MakeOfflineSynthDriver(const SynthOptions& options,
                                                           const std::string& wavPath) {
  return std::make_unique<OfflineDriver>(options, wavPath);
}

}  // namespace quirelle::stream
