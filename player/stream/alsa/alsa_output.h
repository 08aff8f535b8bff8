// Where the ALSA device sends its events: a sequencer client connected to one port, or a
// recorder in tests.
#pragma once

#include <alsa/asoundlib.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "player/stream/alsa/alsa_port.h"
#include "player/stream/alsa/alsa_seq_handle.h"
#include "player/stream/mmsystem.h"
#include "player/stream/open_failure.h"

namespace quirelle::stream {

class AlsaEventSink {
 public:
  virtual ~AlsaEventSink() = default;
  // Sends one event (type and data set) at once. Must not block.
  virtual void Output(const snd_seq_event_t& event) = 0;
};

using AlsaOpenFailure = OpenFailure;

// A sequencer client named "Quirelle" with one output port, connected to the chosen port.
// Events go out directly (not through a sequencer queue), in non-blocking mode: an event the
// kernel cannot take at once is dropped and counted rather than stalling the stream.
class AlsaSeqOutput final : public AlsaEventSink {
 public:
  // `request` as for ChooseAlsaPort. Null on failure, with *failure filled in.
  static std::unique_ptr<AlsaSeqOutput> Open(const std::string& request, AlsaOpenFailure* failure);
  AlsaSeqOutput(AlsaSeqPtr seq, int ownPort, AlsaPortInfo target);  // use Open()

  void Output(const snd_seq_event_t& event) override;
  const AlsaPortInfo& target() const { return target_; }
  std::uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

 private:
  AlsaSeqPtr seq_;
  int ownPort_;
  AlsaPortInfo target_;
  std::atomic<std::uint64_t> dropped_{0};
};

}  // namespace quirelle::stream
