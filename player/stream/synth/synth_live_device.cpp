// The live synthesizer device, its output's fades and tail, and the tails of closed outputs.
#include "player/stream/synth/synth_live_device.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "midi/vocabulary.h"
#include "player/stream/synth/fluid_audio.h"
#include "player/stream/synth/synth_library_log.h"

namespace quirelle::stream {
namespace {

// Gives no events: while a fade or a tail plays, nothing new starts.
class NoEvents final : public SynthEventSource {
 public:
  void PlayBefore(std::uint64_t /*limit*/) override {}
};

// Whether the refused real-time priority has been told on standard error.
std::atomic<bool> toldNotRealtime{false};

// How long a tail's end waits for its audio thread before the output is stopped regardless.
constexpr auto kLongestEndWait = std::chrono::milliseconds(500);

}  // namespace

LiveOutput::LiveOutput(SynthRenderer& renderer, std::uint32_t sampleRate)
    : renderer_(renderer),
      sampleRate_(sampleRate),
      fadeFrames_(std::max<std::uint32_t>(1, sampleRate * kFadeMillis / 1000)),
      scheduler_(renderer) {}

LiveOutput::~LiveOutput() {
  Stop();
}

void LiveOutput::Stop() {
  if (backend_) {
    backend_->audio.reset();  // joins the audio thread
    backend_->lease->Release();
  }
}

void LiveOutput::Attach(StreamCore* core) {
  core_.store(core);
  // Once the audio thread is seen outside PlayBefore after the store, it has let go of the old
  // core for good (both sides are sequentially consistent).
  while (core == nullptr && pulling_.load()) {
    std::this_thread::yield();
  }
}

void LiveOutput::EndTail(bool now) {
  Phase expected = Phase::kPlaying;
  if (!phase_.compare_exchange_strong(expected, now ? Phase::kEndNow : Phase::kTail) && now) {
    expected = Phase::kTail;
    phase_.compare_exchange_strong(expected, Phase::kEndNow);
  }
}

void LiveOutput::WantSound() {
  soundWanted_.store(true, std::memory_order_release);
}

void LiveOutput::PlayBefore(std::uint64_t limit) {
  pulling_.store(true);
  if (StreamCore* core = core_.load()) {
    core->PlayBefore(limit, CallbackPolicy::kKeepGoing);
  }
  pulling_.store(false);
}

void LiveOutput::ApplySilence() {
  for (int channel = 0; channel < midi::kChannels; ++channel) {
    const auto status = static_cast<std::uint8_t>(midi::kControlChange | channel);
    for (const std::uint8_t controller :
         {midi::kAllNotesOff, midi::kAllSoundOff, midi::kSustainPedal, midi::kSostenutoPedal}) {
      renderer_.Apply(midi::ShortMessage(status, controller, 0));
    }
  }
}

void LiveOutput::Render(float* left, float* right, std::uint32_t frames) {
  RenderBlock(left, right, frames);
  if (handedMutex_.try_lock()) {
    handedPosition_ = scheduler_.Position();
    handedAt_ = std::chrono::steady_clock::now();
    handedMutex_.unlock();
  }
}

std::uint64_t LiveOutput::HeardLag(std::uint64_t now, std::uint64_t buffered) const {
  std::lock_guard lock(handedMutex_);
  if (handedAt_ == std::chrono::steady_clock::time_point{}) {
    return 0;
  }
  const auto since = std::chrono::steady_clock::now() - handedAt_;
  const auto played = static_cast<std::uint64_t>(
                          std::chrono::duration_cast<std::chrono::microseconds>(since).count()) *
                      sampleRate_ / 1000000u;
  // Blocks rendered since the last note are ahead of the listener too.
  const std::uint64_t ahead = buffered + (now > handedPosition_ ? now - handedPosition_ : 0);
  return ahead > played ? ahead - played : 0;
}

void LiveOutput::RenderBlock(float* left, float* right, std::uint32_t frames) {
  const Phase phase = phase_.load(std::memory_order_acquire);
  if (phase == Phase::kDone || draining_) {
    // The synthesizer renders on unheard, so that its reverb dies away meanwhile.
    NoEvents none;
    scheduler_.Render(left, right, frames, none);
    std::fill(left, left + frames, 0.0f);
    std::fill(right, right + frames, 0.0f);
    quietFrames_ += frames;
    // The output has played what it buffered before the zeros: the tail is over.
    if (draining_ && quietFrames_ >= sampleRate_ * kAudioBufferMillis / 1000) {
      phase_.store(Phase::kDone, std::memory_order_release);
    }
    return;
  }
  const float fadeStep = 1.0f / static_cast<float>(fadeFrames_);
  if (silenceWanted_.load(std::memory_order_acquire) && !muted_) {
    step_ = -fadeStep;  // fade out, then the silence
  }
  if (phase == Phase::kEndNow) {
    step_ = -fadeStep;
  }
  NoEvents none;
  const bool events = phase == Phase::kPlaying && step_ >= 0.0f;
  scheduler_.Render(left, right, frames, events ? static_cast<SynthEventSource&>(*this) : none);
  // Sound after a silence (an event played in this block, a message sent) fades back in.
  if (muted_ && soundWanted_.exchange(false, std::memory_order_acq_rel)) {
    muted_ = false;
    step_ = fadeStep;
  }
  float peak = 0.0f;
  for (std::uint32_t i = 0; i < frames; ++i) {
    gain_ = std::clamp(gain_ + step_, 0.0f, 1.0f);
    left[i] *= gain_;
    right[i] *= gain_;
    peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
  }
  if (gain_ >= 1.0f && step_ > 0.0f) {
    step_ = 0.0f;
  }
  if (gain_ <= 0.0f && step_ < 0.0f) {
    step_ = 0.0f;
    if (silenceWanted_.exchange(false, std::memory_order_acq_rel)) {
      // Takes effect at the next grid point; until sound is wanted again the output stays muted,
      // so the reverb of what was cut never comes back.
      ApplySilence();
      soundWanted_.store(false, std::memory_order_release);
      muted_ = true;
    }
  }
  if (phase == Phase::kPlaying) {
    return;
  }
  tailFrames_ += frames;
  if (peak < kTailSilence || gain_ <= 0.0f) {
    draining_ = true;
  } else if (tailFrames_ >= static_cast<std::uint64_t>(sampleRate_) * kLongestTailSeconds) {
    step_ = -fadeStep;
  }
}

LiveTails::~LiveTails() {
  EndAll();
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  if (watcher_.joinable()) {
    watcher_.join();
  }
}

void LiveTails::Keep(std::shared_ptr<LiveOutput> output) {
  std::lock_guard lock(mutex_);
  tails_.push_back(std::move(output));
  if (!watcher_.joinable()) {
    watcher_ = std::thread([this] { Watch(); });
  }
  changed_.notify_all();
}

void LiveTails::Watch() {
  std::unique_lock lock(mutex_);
  while (!quit_) {
    if (tails_.empty()) {
      changed_.wait(lock);
      continue;
    }
    changed_.wait_for(lock, std::chrono::milliseconds(20));
    std::vector<std::shared_ptr<LiveOutput>> done;
    for (auto it = tails_.begin(); it != tails_.end();) {
      if ((*it)->Done()) {
        done.push_back(std::move(*it));
        it = tails_.erase(it);
      } else {
        ++it;
      }
    }
    if (done.empty()) {
      continue;
    }
    const auto count = static_cast<int>(done.size());
    stopping_ += count;
    lock.unlock();
    for (const std::shared_ptr<LiveOutput>& output : done) {
      output->Stop();  // the device may hold it a while longer
    }
    done.clear();
    lock.lock();
    stopping_ -= count;
    changed_.notify_all();
  }
}

void LiveTails::EndAll() {
  std::unique_lock lock(mutex_);
  std::vector<std::shared_ptr<LiveOutput>> ending;
  ending.swap(tails_);
  const auto count = static_cast<int>(ending.size());
  stopping_ += count;
  lock.unlock();
  for (const std::shared_ptr<LiveOutput>& output : ending) {
    output->EndTail(true);
  }
  const auto deadline = std::chrono::steady_clock::now() + kLongestEndWait;
  for (const std::shared_ptr<LiveOutput>& output : ending) {
    while (!output->Done() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  for (const std::shared_ptr<LiveOutput>& output : ending) {
    output->Stop();
  }
  ending.clear();
  lock.lock();
  stopping_ -= count;
  changed_.notify_all();
  changed_.wait(lock, [this] { return stopping_ == 0; });
}

LiveSynthDevice::LiveSynthDevice(SynthRenderer& renderer, std::uint32_t sampleRate)
    : sampleRate_(sampleRate), output_(std::make_shared<LiveOutput>(renderer, sampleRate)) {}

LiveSynthDevice::~LiveSynthDevice() {
  Shutdown();
}

std::unique_ptr<LiveSynthDevice> LiveSynthDevice::Open(std::unique_ptr<FluidLease> lease,
                                                       const FluidSetup& setup, LiveTails& tails,
                                                       SynthOpenFailure* failure) {
  LibraryLog::Install();
  const std::uint64_t mark = LibraryLog::Mark();
  FluidUnit& unit = lease->unit();
  auto device = std::make_unique<LiveSynthDevice>(*unit.renderer, setup.sampleRate);
  device->tails_ = &tails;
  auto backend = std::make_unique<LiveOutput::Backend>();
  backend->lease = std::move(lease);
  // The callback gets the output, which outlives the device while its tail plays.
  OpenedAudio audio = OpenAudioOutput(unit.fluid.settings.get(), setup.audio,
                                      &LiveSynthDevice::AudioCallback, device->output_.get());
  if (!audio.driver) {
    failure->code = MMSYSERR_NODRIVER;
    failure->reason = "no audio output";
    failure->detail = LibraryLog::JoinedSince(mark);
    return nullptr;
  }
  device->audioSystem_ = audio.name;
  device->notRealtime_ = audio.notRealtime;
  if (!audio.notRealtime.empty() && !toldNotRealtime.exchange(true)) {
    // Said once per run: the sound may drop out when the machine is busy.
    std::fprintf(stderr,
                 "quirelle: the audio output runs without real-time priority (%s); a busy "
                 "machine may make gaps in the sound\n",
                 audio.notRealtime.c_str());
  }
  const AudioPeriods periods = AudioPeriodsFor(audio.name, setup.sampleRate);
  device->bufferedFrames_ =
      static_cast<std::uint64_t>(periods.frames) * static_cast<std::uint64_t>(periods.count);
  backend->audio = std::move(audio.driver);
  device->output_->SetBackend(std::move(backend));
  return device;
}

void LiveSynthDevice::Send(const SentMessage& message) {
  const std::uint32_t word = message.message;
  if (message.kind == SentMessage::Kind::kSilence) {
    if (AnyNoteHeld()) {
      // A stop inside the song: fade out, then the silence.
      held_.fill({});
      output_->RequestSilence();
    } else if (midi::Data1Of(word) != midi::kAllSoundOff) {
      // Every note has been let go (the song's end): what still sounds is its release, left to
      // ring out, as the tail when the stream closes.
      output_->renderer().Apply(word);
    }
    return;
  }
  KeepHeldNotes(word);
  output_->renderer().Apply(word);
  output_->WantSound();
}

MMRESULT LiveSynthDevice::Admit(StreamOperation operation) {
  if (operation == StreamOperation::kRestart && tails_ != nullptr && !started_.exchange(true)) {
    tails_->EndAll();
  }
  return MMSYSERR_NOERROR;
}

void LiveSynthDevice::KeepHeldNotes(std::uint32_t word) {
  const std::uint8_t status = midi::StatusOf(word);
  const std::uint8_t channel = midi::ChannelOf(status);
  const std::uint8_t key = midi::Data1Of(word);
  switch (midi::KindOf(status)) {
    case midi::kNoteOn:
      held_[channel].set(key, midi::Data2Of(word) != 0);
      break;
    case midi::kNoteOff:
      held_[channel].reset(key);
      break;
    case midi::kControlChange:
      if (key == midi::kAllNotesOff || key == midi::kAllSoundOff) {
        held_[channel].reset();
      }
      break;
    default:
      break;
  }
}

bool LiveSynthDevice::AnyNoteHeld() const {
  return std::any_of(held_.begin(), held_.end(), [](const auto& keys) { return keys.any(); });
}

void LiveSynthDevice::Shutdown() {
  if (shutDown_.exchange(true)) {
    return;
  }
  output_->Attach(nullptr);
  if (output_->HasBackend() && tails_ != nullptr) {
    output_->EndTail(false);
    tails_->Keep(output_);
  }
}

int LiveSynthDevice::AudioCallback(void* data, int len, int /*nfx*/, float* /*fx*/[], int nout,
                                   float* out[]) {
  if (nout < 2 || len < 0) {
    return FLUID_FAILED;
  }
  // The buffers come zeroed; the synthesizer's output already holds its reverb and chorus, so
  // the effect buffers (only JACK has them) stay silent.
  static_cast<LiveOutput*>(data)->Render(out[0], out[1], static_cast<std::uint32_t>(len));
  return FLUID_OK;
}

}  // namespace quirelle::stream
