// The offline synthesizer driver: one synthesizer and one audio file, made at the first open and
// shared by the streams opened one after another.
#include <memory>
#include <mutex>
#include <utility>

#include "player/stream/stream_opener.h"
#include "player/stream/synth/audio_file_writer.h"
#include "player/stream/synth/fluid_renderer.h"
#include "player/stream/synth/synth_driver.h"
#include "player/stream/synth/synth_library_log.h"
#include "player/stream/synth/synth_offline_device.h"
#include "player/stream/synth/synth_setup.h"

namespace quirelle::stream {
namespace {

// Where the sum of a driver of stems goes: its outputs went to the stem sink already.
class NoFile final : public SynthAudioSink {
 public:
  bool Write(const float*, const float*, std::uint32_t) override { return true; }
};

class OfflineDriver final : public OfflineSynthDriver {
 public:
  OfflineDriver(SynthOptions options, std::string path, AudioFileFormat format)
      : options_(std::move(options)), path_(std::move(path)), format_(format) {}
  ~OfflineDriver() override { Finish(); }

  MMRESULT midiStreamOpen(HMIDISTRM* stream, std::uint32_t* deviceId, std::uint32_t cMidi,
                          MidiStreamCallback callback, std::uintptr_t instance,
                          std::uint32_t flags) override {
    // Held over the whole open, so that Finish either ends this stream or refuses the open.
    std::lock_guard lock(mutex_);
    return opener_.Open(
        {stream, deviceId, cMidi, callback, instance, flags},
        [this](OpenFailure* failure) -> std::unique_ptr<StreamDevice> {
          if (finished_) {
            *failure = {MMSYSERR_NOTENABLED, "the file " + path_ + " is finished", {}};
            return nullptr;
          }
          if (!context_ && !MakeTarget(failure)) {
            return nullptr;
          }
          if (!context_->MarkOpen()) {
            *failure = {MMSYSERR_ALLOCATED, "the offline synthesizer is already playing", {}};
            return nullptr;
          }
          return std::make_unique<OfflineSynthDevice>(context_);
        });
  }

  std::string LastErrorText() const override { return opener_.reason(); }

  std::string LastErrorDetail() const override { return opener_.detail(); }

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
    {
      std::lock_guard lock(mutex_);
      if (finished_) {
        return finishError_.empty();
      }
      finished_ = true;
    }
    opener_.keeper().EndAll();  // ends a stream still open; its tail is rendered
    std::lock_guard lock(mutex_);
    if (!context_) {
      finishError_ = "nothing was rendered: no stream was opened";
      return false;
    }
    if (file_ && (context_->WriteFailed() || !file_->Close())) {
      finishError_ = file_->error();
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
    if (!path_.empty()) {
      auto file = std::make_unique<AudioFileWriter>(path_, setup.sampleRate, format_);
      if (!file->ok()) {
        *failure = {MMSYSERR_ERROR, file->error(), {}};
        return false;
      }
      file_ = std::move(file);
    }
    fluid_ = std::move(fluid);
    renderer_ = std::make_unique<FluidRenderer>(fluid_.synth.get(), options_.stems,
                                                options_.restStem, options_.stemVoices);
    SynthAudioSink& sink = file_ ? static_cast<SynthAudioSink&>(*file_) : noFile_;
    context_ = std::make_shared<OfflineRenderContext>(
        *renderer_, sink, setup.sampleRate, options_.progress, options_.centredPan, options_.stems);
    context_->SetHeld(held_);
    return true;
  }

  const SynthOptions options_;
  const std::string path_;
  const AudioFileFormat format_;
  std::mutex finishMutex_;  // one Finish at a time
  mutable std::mutex mutex_;
  bool finished_ = false;
  bool held_ = false;
  std::string finishError_;
  FluidSynthInstance fluid_;
  std::unique_ptr<FluidRenderer> renderer_;
  std::unique_ptr<AudioFileWriter> file_;  // none for a driver of stems
  NoFile noFile_;
  std::shared_ptr<OfflineRenderContext> context_;
  StreamOpener opener_;  // last: its streams end before the rest goes
};

}  // namespace

std::unique_ptr<OfflineSynthDriver> MakeOfflineSynthDriver(const SynthOptions& options,
                                                           const std::string& path,
                                                           AudioFileFormat format) {
  return std::make_unique<OfflineDriver>(options, path, format);
}

}  // namespace quirelle::stream
