#include "sing/mic_capture.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

namespace quirelle::sing {
namespace {

constexpr float kSilentLevel = 0.000316f;  // -70 dBFS

struct SimpleCloser {
  void operator()(pa_simple* simple) const { pa_simple_free(simple); }
};

}  // namespace

MicCapture::MicCapture(std::string source, std::uint32_t sampleRate, double silentSeconds)
    : source_(std::move(source)), rate_(sampleRate), silentSeconds_(silentSeconds) {}

MicCapture::~MicCapture() {
  Stop();
}

void MicCapture::Start(Heard heard) {
  Stop();
  why_.clear();
  state_.store(State::kOpening, std::memory_order_release);
  running_.store(true);
  thread_ = std::thread([this, heard = std::move(heard)] { Run(heard); });
}

void MicCapture::Stop() {
  running_.store(false);
  if (thread_.joinable()) {
    thread_.join();
  }
  const State state = state_.load();
  if (state != State::kNone && state != State::kGone) {
    state_.store(State::kStopped, std::memory_order_release);
  }
}

std::string MicCapture::problem() const {
  switch (state()) {
    case State::kNone:
    case State::kGone:
      return why_;
    case State::kSilent:
      return "the microphone gives only silence";
    default:
      return {};
  }
}

void MicCapture::Fail(State state, std::string why) {
  why_ = std::move(why);
  state_.store(state, std::memory_order_release);
}

void MicCapture::Run(const Heard& heard) {
  const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, rate_, 1};
  const std::uint32_t fragment = rate_ * kFragmentMillis / 1000;
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.fragsize = fragment * sizeof(float);
  int error = 0;
  std::unique_ptr<pa_simple, SimpleCloser> stream(pa_simple_new(
      nullptr, "Quirelle", PA_STREAM_RECORD, source_.empty() ? nullptr : source_.c_str(), "Sing",
      &spec, nullptr, &attr, &error));
  if (!stream) {
    Fail(State::kNone, std::string("no microphone: ") + pa_strerror(error));
    return;
  }
  state_.store(State::kListening, std::memory_order_release);
  std::vector<float> samples(fragment);
  const auto silentLimit = static_cast<std::uint64_t>(silentSeconds_ * rate_);
  std::uint64_t silentFor = 0;
  while (running_.load()) {
    if (pa_simple_read(stream.get(), samples.data(), samples.size() * sizeof(float), &error) < 0) {
      Fail(State::kGone, std::string("the microphone went away: ") + pa_strerror(error));
      return;
    }
    if (const pa_usec_t latency = pa_simple_get_latency(stream.get(), &error);
        latency != static_cast<pa_usec_t>(-1)) {
      latency_.store(latency, std::memory_order_relaxed);
    }
    bool sound = false;
    for (const float sample : samples) {
      sound = sound || std::abs(sample) > kSilentLevel;
    }
    silentFor = sound ? 0 : silentFor + samples.size();
    state_.store(silentFor >= silentLimit ? State::kSilent : State::kListening,
                 std::memory_order_release);
    heard(samples);
  }
}

const char* MicStateName(MicCapture::State state) {
  switch (state) {
    case MicCapture::State::kStopped:
      return "stopped";
    case MicCapture::State::kOpening:
      return "opening";
    case MicCapture::State::kListening:
      return "listening";
    case MicCapture::State::kSilent:
      return "silent";
    case MicCapture::State::kNone:
      return "none";
    case MicCapture::State::kGone:
      break;
  }
  return "gone";
}

}  // namespace quirelle::sing
