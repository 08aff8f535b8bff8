// The microphone, through PulseAudio (PipeWire's Pulse service too): mono float samples in
// fragments of at most 20 ms, read on a capture thread of its own and handed to `heard` there.
// What became of the microphone (none, gone in the middle, only silence) is told by state(), which
// any thread may read, and problem(), read on the owner's thread (the one that starts and stops).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <thread>

namespace quirelle::sing {

class MicCapture {
 public:
  enum class State {
    kStopped,    // not started, or stopped
    kOpening,    // the thread is connecting
    kListening,  // samples come in
    kSilent,     // samples come in, but for a while nothing above the noise floor
    kNone,       // no microphone could be opened: problem() says why
    kGone,       // the microphone went away while listening: problem() says why
  };
  using Heard = std::function<void(std::span<const float> samples)>;

  static constexpr std::uint32_t kFragmentMillis = 10;
  static constexpr double kDefaultSilentSeconds = 3.0;

  // `source`: a PulseAudio source name, empty for the default; `silentSeconds`: how long only
  // silence (below -70 dBFS) comes in before the state says so, counted in samples heard.
  explicit MicCapture(std::string source = {}, std::uint32_t sampleRate = 48000,
                      double silentSeconds = kDefaultSilentSeconds);
  ~MicCapture();  // stops
  MicCapture(const MicCapture&) = delete;
  MicCapture& operator=(const MicCapture&) = delete;

  // Starts the capture thread, which calls `heard` with each fragment until Stop. A capture
  // already running is stopped first.
  void Start(Heard heard);
  // Waits for the capture thread to end (within one fragment).
  void Stop();

  State state() const { return state_.load(std::memory_order_acquire); }
  // A line for the user once the state is kNone, kGone or kSilent; empty otherwise.
  std::string problem() const;
  std::uint32_t sampleRate() const { return rate_; }
  // The capture latency PulseAudio last reported: how long ago the newest sample heard was sung.
  std::uint64_t latencyMicros() const { return latency_.load(std::memory_order_relaxed); }

 private:
  void Run(const Heard& heard);
  void Fail(State state, std::string why);

  std::string source_;
  std::uint32_t rate_;
  double silentSeconds_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<State> state_{State::kStopped};
  std::atomic<std::uint64_t> latency_{0};
  // Written by the capture thread once, before it publishes kNone or kGone, and never again while
  // it runs; read only after that state is seen.
  std::string why_;
};

const char* MicStateName(MicCapture::State state);

}  // namespace quirelle::sing
