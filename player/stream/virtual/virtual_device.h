// The virtual device: a stream device whose clock a test moves on (or, in real-time mode, the
// steady clock), and which records every message it is sent with its tick and its exact time.
// Tempo events change the speed of the stream and are not recorded as messages.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "player/stream/midi_stream.h"
#include "player/stream/stream_core.h"

namespace quirelle::stream {

struct RecordedMessage {
  enum class Kind {
    kEvent,     // a short message of a stream buffer, played at its time
    kShortMsg,  // midiOutShortMsg: sent at once, outside the stream timing
    kSilence,   // sent by pause, stop or reset to silence the channels
  };
  Kind kind = Kind::kEvent;
  std::uint32_t message = 0;  // status | data1 << 8 | data2 << 16
  std::uint32_t tick = 0;     // stream position in ticks when it was sent
  // Device time since the stream's first restart, exact: micros + fraction / fractionDenominator.
  std::uint64_t micros = 0;
  std::uint64_t fraction = 0;
  std::uint64_t fractionDenominator = 1;
  int stream = 0;  // which open of this driver (1, 2, ...) sent it
};

class VirtualDriver final : public StreamDriver {
 public:
  enum class Mode { kManual, kRealTime };
  explicit VirtualDriver(Mode mode = Mode::kManual);
  ~VirtualDriver() override;

  MMRESULT midiStreamOpen(HMIDISTRM* stream, std::uint32_t* deviceId, std::uint32_t cMidi,
                          MidiStreamCallback callback, std::uintptr_t instance,
                          std::uint32_t flags) override;
  std::string LastErrorText() const override;

  // Manual mode: moves the clock on by `micros`, playing every event that falls due; when a buffer
  // is done its MOM_DONE is delivered and the callback thread has gone idle before time goes on,
  // so refills queued by the callback are played in the same advance.
  void Advance(std::uint64_t micros);
  // Advances until no stream of this driver has a queued buffer (or `limitMicros` have passed).
  void RunUntilDrained(std::uint64_t limitMicros);
  // Waits until the callback thread has delivered every message it holds.
  void WaitIdle();
  // In real-time mode Advance sleeps for `micros` instead; RunUntilDrained polls the streams.
  Mode mode() const;
  // The clock of the device: the engine measures its timed waits on it.
  const platform::Clock& clock() const;

  std::vector<RecordedMessage> Messages() const;
  void ClearMessages();
  // The messages recorded since the last take or clear, handed over: a long run can be listed as
  // it goes without keeping them all.
  std::vector<RecordedMessage> TakeMessages();
  std::vector<std::uint32_t> CallbackMessages() const;  // MOM_* delivered, in order

  // Makes every later call of `op` fail with `code` until ClearFailures().
  void FailOperation(StreamOperation op, MMRESULT code);
  void ClearFailures();
  // While set, stop and reset keep the queued buffers instead of returning them.
  void HoldBuffers(bool hold);
  int OpenCount() const;
  // How far ahead of playback the refills came, over the streams not yet reaped (µs).
  RefillStats RefillStatistics() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace quirelle::stream
