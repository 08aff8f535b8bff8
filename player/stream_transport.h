// The engine's transport: opens the stream device for a loaded song, keeps its two buffers in
// circulation (refilling each as it comes back), and plays, pauses, resumes and stops; sends the
// voices' volumes while playing and reads the position. The user's thread calls the operations;
// the device's callback thread returns buffers.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/auto_reset_event.h"
#include "platform/clock.h"
#include "player/stream/midi_stream.h"
#include "player/stream_buffer.h"
#include "player/stream_builder.h"
#include "player/voice_volumes.h"
#include "smf/midi_file.h"

namespace quirelle::player {

// The engine's state word.
inline constexpr std::uint32_t Running = 0;
inline constexpr std::uint32_t Stopping = 100;
inline constexpr std::uint32_t Drained = 200;
inline constexpr std::uint32_t Ending = 300;

inline constexpr std::uint32_t kStopWaitMillis = 2000;  // how long Stop waits for its buffers

// What the transport needs of the engine that owns it.
class TransportOwner {
 public:
  // A device call failed with `result`.
  virtual void ReportError(stream::MMRESULT result) = 0;
  // True on the thread of a device callback into this engine.
  virtual bool OnCallbackThread() const = 0;

 protected:
  ~TransportOwner() = default;
};

class StreamTransport {
 public:
  // The step at which the last stream open failed.
  enum class OpenStep { kNone, kDevice, kTimeDivision, kAllocate, kPrepare, kFirstBuffers };

  StreamTransport(TransportOwner& owner, stream::StreamDriver& driver, const smf::MidiFile& file,
                  StreamBuilder& builder, VoiceVolumes& volumes, const platform::Clock& waitClock)
      : owner_(owner),
        driver_(driver),
        file_(file),
        builder_(builder),
        volumes_(volumes),
        bufferReturn_(waitClock) {}

  // Opens the device with `callback` and `instance` and queues the first two buffers. 1 / 0.
  int OpenStream(stream::MidiStreamCallback callback, std::uintptr_t instance);
  void FreeBuffers();
  // Closes a device left open without a word to the hooks (before a load, at shutdown).
  void AbandonStream();
  int Play(bool loop);
  int Pause();
  int Resume();
  int Stop();
  void SetChannelVolume(std::uint32_t channel, std::uint32_t percent);
  // Mutes or solos a voice; while playing, the voices' volumes go out at once.
  void SetVoiceMuted(std::uint32_t channel, bool muted);
  void SetVoiceSoloed(std::uint32_t channel, bool soloed);
  int GetPosition(stream::MMTIME* time);
  // The song's tick of the sound heard now (the device's lag taken off). 1 / 0.
  int GetHeardPosition(stream::MMTIME* time);
  // A buffer came back (MOM_DONE): refill and queue it, or end the song.
  void OnDone(stream::MIDIHDR* header);
  // A flagged volume controller is playing (MOM_POSITIONCB).
  void OnPositionCB(stream::MIDIHDR* header, stream::MIDIEVENT* event);

  // The callback thread's bookkeeping of the device's messages.
  void OnBufferReturned() { queued_.fetch_sub(1); }
  void OnStreamClosed() { liveStreams_.fetch_sub(1); }
  bool IsAbandoned(stream::HMIDISTRM stream) const {
    return stream != nullptr && stream == abandoned_.load();
  }
  bool HasLiveStreams() const { return liveStreams_.load() > 0; }
  bool HasStream() const { return stream_.load() != nullptr; }

  bool playing() const { return playing_.load() != 0; }
  bool paused() const { return paused_.load() != 0; }
  std::uint32_t state() const { return state_.load(); }
  const std::string& lastOpenError() const { return lastOpenError_; }
  void ClearOpenError() { lastOpenError_.clear(); }
  OpenStep failedOpenStep() const { return failedOpenStep_; }

 private:
  // A device position, read with `result`, as the song's tick through repeats. 1 / 0.
  int SongPosition(stream::MMTIME* time, stream::MMRESULT result);
  void SendSoundingVolume(std::uint32_t channel);
  void SendVoiceVolumes();
  // The song's voices, and which of them a solo silences.
  void SetVoiceChannels();
  void CloseStream();
  void EndSongAfterLastBuffer();
  bool RefillAndQueue(StreamBuffer& buffer);
  StreamBuffer* BufferOf(const stream::MIDIHDR* header);

  TransportOwner& owner_;
  stream::StreamDriver& driver_;
  const smf::MidiFile& file_;
  StreamBuilder& builder_;
  VoiceVolumes& volumes_;

  // Device block: shared by the user's thread and the callback thread.
  std::atomic<std::uint32_t> playing_{0};
  std::atomic<stream::HMIDISTRM> stream_{nullptr};
  std::atomic<std::uint32_t> prepared_{0};
  std::atomic<std::uint32_t> bufferIndex_{0};
  std::uint32_t deviceId_ = stream::MIDI_MAPPER;
  std::atomic<std::int32_t> returned_{0};
  std::atomic<std::uint32_t> paused_{0};
  std::atomic<std::uint32_t> state_{Running};
  platform::AutoResetEvent bufferReturn_;
  std::vector<StreamBuffer> buffers_;
  std::atomic<std::int32_t> queued_{0};                // buffers the device holds right now
  std::atomic<std::uint32_t> refilling_{0};            // the callback is refilling a buffer
  std::atomic<std::int32_t> liveStreams_{0};           // opened and not yet reported closed
  std::atomic<stream::HMIDISTRM> abandoned_{nullptr};  // a half-opened device being closed
  std::string lastOpenError_;
  OpenStep failedOpenStep_ = OpenStep::kNone;
};

}  // namespace quirelle::player
