// The playback engine: owns the file model and one stream device, merges the tracks into stream
// buffers, and offers the transport (play, pause, resume, stop, tempo, volumes, position).
// The user's thread calls the operations; the device's callback thread returns buffers.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/auto_reset_event.h"
#include "platform/byte_block.h"
#include "platform/clock.h"
#include "platform/readable_file.h"
#include "platform/window.h"
#include "player/passage.h"
#include "player/stream/midi_stream.h"
#include "player/stream_buffer.h"
#include "player/voice_volumes.h"
#include "smf/midi_file.h"
#include "smf/reader_hooks.h"
#include "smf/track_event.h"

namespace quirelle::player {

// The engine's state word.
inline constexpr std::uint32_t Running = 0;
inline constexpr std::uint32_t Stopping = 100;
inline constexpr std::uint32_t Drained = 200;
inline constexpr std::uint32_t Ending = 300;

// Builder results.
inline constexpr int kFillReadError = -101;
inline constexpr int kFillEarlierReadError = -102;
inline constexpr int kFillSongEnded = -103;
inline constexpr int kWriteNoRoom = -104;
inline constexpr int kWriteSkipped = -105;

inline constexpr std::uint32_t kDefaultTempo = 500000;  // µs per quarter note before any tempo
inline constexpr std::uint32_t kStopWaitMillis = 2000;  // how long Stop waits for its buffers

class CMidiStreamPlayer : private smf::ReaderHooks {
 public:
  // `driver` opens the stream device; `waitClock` measures the buffer-return wait of Stop.
  explicit CMidiStreamPlayer(stream::StreamDriver& driver,
                             const platform::Clock& waitClock = platform::SteadyClock::Instance());
  virtual ~CMidiStreamPlayer();
  CMidiStreamPlayer(const CMidiStreamPlayer&) = delete;
  CMidiStreamPlayer& operator=(const CMidiStreamPlayer&) = delete;

  // File side.
  int LoadFromFile(platform::ReadableFile& file);
  // Loads the image, then opens the device and queues the first buffers. 1 / 0.
  int CreateFromImage(platform::ByteBlock image, std::uint32_t imageLength);
  int RewindTracks();
  int GetTimeDivision(std::uint16_t& division) const;
  std::optional<std::int32_t> GetBarNumber(std::uint32_t position) const;
  int ReadEvent(smf::TrackCursor& cursor, smf::TrackEvent& event);
  int ReadVarLen(smf::TrackCursor& cursor, std::uint32_t& value);

  // Device side.
  int OpenStream();
  void FreeBuffers();
  int FillBuffer(bool first, StreamBuffer& buffer);
  int WriteEvent(smf::TrackEvent& event, StreamBuffer& buffer);
  int Play(bool loop);
  int Pause();
  int Resume();
  int Stop();
  // Sets the voice's percentage, which scales the song's own volume controller from now on; while
  // playing, the channel's volume goes out at once.
  void SetChannelVolume(std::uint32_t channel, std::uint32_t percent);
  void SetTempoPercent(std::uint32_t percent);
  void SetLoop(bool loop);
  // Where playback of the songs loaded from now on starts, in ticks of the song: what is in
  // effect there (programs, controllers, pitch bend, tempo) is sent first, and no note that began
  // earlier sounds. Positions are then counted from the song's start. 0 plays the whole song.
  void SetStartTick(std::uint32_t tick) { startTick_.store(tick); }
  std::uint32_t startTick() const { return startTick_.load(); }
  // The passage the songs loaded from now on play: SetStartTick, an end, repeats and a count-in.
  // At the passage's end (or the song's, whichever comes first) playback jumps back to its start
  // while repeats remain or the loop flag is set; Stop ends it at any time. `plays` and the
  // count-in may change while playing and count from the next jump.
  void SetPassage(const Passage& passage);
  Passage passage() const;
  int GetPosition(stream::MMTIME* time);
  static void StreamCallback(stream::HMIDISTRM stream, std::uint32_t message,
                             std::uintptr_t instance, std::uintptr_t param1, std::uintptr_t param2);

  // What the dialog reads.
  bool playing() const { return playing_.load() != 0; }
  bool paused() const { return paused_.load() != 0; }
  std::string& title() { return file_.title(); }
  const std::array<std::string, 16>& channelNames() const { return file_.channelNames(); }
  VoiceVolumes& voiceVolumes() { return volumes_; }
  const VoiceVolumes& voiceVolumes() const { return volumes_; }
  const smf::MidiFile& file() const { return file_; }
  std::uint32_t state() const { return state_.load(); }
  std::uint32_t runningTotal() const { return runningTotal_.load(); }
  std::uint32_t tempoPercent() const { return tempoPercent_.load(); }
  bool loop() const { return loop_.load() != 0; }
  // Why the last stream open failed ("no SoundFont found", ...); empty when it did not.
  const std::string& lastOpenError() const { return lastOpenError_; }
  // The step at which the last stream open failed.
  enum class OpenStep { kNone, kDevice, kTimeDivision, kAllocate, kPrepare, kFirstBuffers };
  OpenStep failedOpenStep() const { return failedOpenStep_; }

 protected:
  // Hooks, in slot order after the destructor.
  virtual void OnError(stream::MMRESULT result);
  void OnParseError(const smf::TrackCursor& cursor, const char* message) override;
  virtual void OnOpen();
  virtual void OnClose();
  virtual void OnDone(stream::MIDIHDR* header);
  virtual void OnPositionCB(stream::MIDIHDR* header, stream::MIDIEVENT* event);

  // Stops the transport and waits until the device has made its last callback. A subclass whose
  // hooks the callback thread may still call runs this first in its own destructor.
  void Shutdown();

 private:
  void OnDataBlockAllocated() override;
  void ResetClock();

  // Hooks as the callback thread and the transport call them: the base ones once shutting down.
  void CallOnError(stream::MMRESULT result);
  void Dispatch(stream::HMIDISTRM stream, std::uint32_t message, std::uintptr_t param1);
  bool OnCallbackThread() const;

  // Before a load: closes a device left open and frees the buffers of the song held.
  void ReleaseSong();
  // Transport helpers.
  void SendSoundingVolume(std::uint32_t channel);
  void AbandonStream();
  void CloseStream();
  void EndSongAfterLastBuffer();
  bool RefillAndQueue(StreamBuffer& buffer);
  StreamBuffer* BufferOf(const stream::MIDIHDR* header);

  // Builder helpers.
  // Finds the track whose next event comes first (trackTaken_); false when every track is done.
  bool TakeEarliestTrack();
  // Reads the song up to `tick`, keeping only what is in effect there.
  int ChaseTo(std::uint32_t tick);
  // Writes what ChaseTo gathered at the start of the stream; false when the buffer filled first.
  bool WriteChasedState(StreamBuffer& buffer);
  void ReleaseEventData(smf::TrackEvent& event);
  std::uint32_t SpanLimitFor(std::uint32_t tempo) const;
  std::uint32_t ScaledTempoWord(std::uint32_t tempo) const;
  static std::uint32_t RoomLeft(const StreamBuffer& buffer);
  static void AppendEvent(StreamBuffer& buffer, std::uint32_t delta, std::uint32_t word);
  // Appends a channel message; a volume controller is scaled by the voice's percentage and
  // flagged, so that the song's value is recorded as it plays.
  void AppendChannelMessage(StreamBuffer& buffer, std::uint32_t delta, std::uint32_t word);
  int WriteTempoEvent(smf::TrackEvent& event, StreamBuffer& buffer, std::uint32_t delta);

  stream::StreamDriver& driver_;
  smf::MidiFile file_;

  // Device block: shared by the user's thread and the callback thread.
  std::atomic<std::uint32_t> playing_{0};
  std::atomic<stream::HMIDISTRM> stream_{nullptr};
  std::atomic<std::uint32_t> runningTotal_{0};
  std::atomic<std::uint32_t> loop_{0};
  std::uint32_t clock_ = 0;         // builder: ticks of the last emitted event
  std::uint32_t spanLimit_ = 0;     // builder: ticks in 60 ms at the written tempo
  std::uint32_t currentTempo_ = 0;  // builder: µs per quarter of the last Set Tempo written
  std::atomic<std::uint32_t> tempoPercent_{100};
  std::atomic<std::uint32_t> tempoChanged_{0};
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
  std::atomic<bool> shuttingDown_{false};
  std::string lastOpenError_;
  OpenStep failedOpenStep_ = OpenStep::kNone;

  // Builder.
  std::uint32_t trackLookedAt_ = 0;
  std::int32_t trackTaken_ = -1;
  std::uint32_t statusFlags_ = 0;
  std::uint32_t smallestTime_ = 0;
  std::uint32_t ownedData_ = 0;
  smf::TrackEvent current_;
  std::atomic<std::uint32_t> startTick_{0};
  std::atomic<std::uint32_t> endTick_{Passage::kSongEnd};
  std::atomic<std::uint32_t> plays_{1};
  std::atomic<bool> countIn_{false};
  VoiceVolumes volumes_;
  std::vector<std::uint32_t> chased_;  // the state at the starting point, still to be written
  std::size_t chasedWritten_ = 0;
};

}  // namespace quirelle::player
