// The playback engine: owns the file model and one stream device, and puts together the track
// merger, the stream builder and the transport behind the engine's operations (play, pause,
// resume, stop, tempo, volumes, position, passage). Its virtual hooks hear what the device and the
// reader report; the user's thread calls the operations, the device's callback thread returns
// buffers.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/byte_block.h"
#include "platform/clock.h"
#include "platform/readable_file.h"
#include "player/passage.h"
#include "player/stream/midi_stream.h"
#include "player/stream_buffer.h"
#include "player/stream_builder.h"
#include "player/stream_transport.h"
#include "player/track_merger.h"
#include "player/voice_volumes.h"
#include "smf/midi_file.h"
#include "smf/track_event.h"

namespace quirelle::player {

class CMidiStreamPlayer : private ParseErrorListener, private TransportOwner {
 public:
  using OpenStep = StreamTransport::OpenStep;

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
  void FreeBuffers() { transport_.FreeBuffers(); }
  int FillBuffer(bool first, StreamBuffer& buffer) { return builder_.FillBuffer(first, buffer); }
  int WriteEvent(smf::TrackEvent& event, StreamBuffer& buffer) {
    return builder_.WriteEvent(event, buffer);
  }
  int Play(bool loop) { return transport_.Play(loop); }
  int Pause() { return transport_.Pause(); }
  int Resume() { return transport_.Resume(); }
  int Stop() { return transport_.Stop(); }
  // Sets the voice's percentage, which scales the song's own volume controller from now on; while
  // playing, the channel's volume goes out at once.
  void SetChannelVolume(std::uint32_t channel, std::uint32_t percent) {
    transport_.SetChannelVolume(channel, percent);
  }
  // A muted voice is silent; while any voice is soloed, the voices not soloed are silent (mute
  // wins). Both leave the voice's percentage as it is; while playing they act at once.
  void SetVoiceMuted(std::uint32_t channel, bool muted) {
    transport_.SetVoiceMuted(channel, muted);
  }
  void SetVoiceSoloed(std::uint32_t channel, bool soloed) {
    transport_.SetVoiceSoloed(channel, soloed);
  }
  // Practice: the key (-12 to +12 semitones, from the next event written), the speed trainer
  // (each repeat `step` points faster up to `target` %, 0 off) and the starting notes before the
  // passage. The speed trainer moves the tempo percentage, which tempoPercent() reads.
  void SetTranspose(int semitones) { builder_.SetTranspose(semitones); }
  void SetSpeedUp(std::uint32_t step, std::uint32_t target) { builder_.SetSpeedUp(step, target); }
  void SetStartingNotes(bool on) { builder_.SetStartingNotes(on); }
  void SetTempoPercent(std::uint32_t percent) { builder_.SetTempoPercent(percent); }
  void SetLoop(bool loop) { builder_.SetLoop(loop); }
  // Where playback of the songs loaded from now on starts, in ticks of the song: what is in
  // effect there (programs, controllers, pitch bend, tempo) is sent first, and no note that began
  // earlier sounds. Positions are then counted from the song's start. 0 plays the whole song.
  void SetStartTick(std::uint32_t tick);
  std::uint32_t startTick() const { return builder_.startTick(); }
  // The passage the songs loaded from now on play: a start as SetStartTick, an end, how many
  // times, and a count-in. At the passage's end (or the song's, whichever comes first) playback
  // jumps back to its start, without a gap, while plays remain or the loop flag is set; notes and
  // pedals still down are released at the jump. Plays and the count-in may change while playing
  // and count from the next jump. Positions stay the song's ticks through repeats.
  void SetPassage(const Passage& passage) { builder_.SetPassage(passage); }
  Passage passage() const { return builder_.passage(); }
  // Beats of a pickup the songs loaded from now on begin with, where the file writes none.
  void SetPickup(std::uint32_t beats) { file_.SetPickup(beats); }
  int GetPosition(stream::MMTIME* time) { return transport_.GetPosition(time); }
  // Where the sound being heard stands: the position less what the device holds ahead of the
  // listener (the live synthesizer's audio buffer).
  int GetHeardPosition(stream::MMTIME* time) { return transport_.GetHeardPosition(time); }
  static void StreamCallback(stream::HMIDISTRM stream, std::uint32_t message,
                             std::uintptr_t instance, std::uintptr_t param1, std::uintptr_t param2);

  // What the dialog reads.
  bool playing() const { return transport_.playing(); }
  bool paused() const { return transport_.paused(); }
  std::string& title() { return file_.title(); }
  const std::array<std::string, 16>& channelNames() const { return file_.channelNames(); }
  VoiceVolumes& voiceVolumes() { return volumes_; }
  const VoiceVolumes& voiceVolumes() const { return volumes_; }
  const smf::MidiFile& file() const { return file_; }
  std::uint32_t state() const { return transport_.state(); }
  std::uint32_t runningTotal() const { return builder_.runningTotal(); }
  std::uint32_t tempoPercent() const { return builder_.tempoPercent(); }
  bool loop() const { return builder_.loop(); }
  // Why the last stream open failed ("no SoundFont found", ...); empty when it did not.
  const std::string& lastOpenError() const { return transport_.lastOpenError(); }
  OpenStep failedOpenStep() const { return transport_.failedOpenStep(); }

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
  void ReportError(stream::MMRESULT result) override;
  bool OnCallbackThread() const override;
  void Dispatch(stream::HMIDISTRM stream, std::uint32_t message, std::uintptr_t param1);
  // Before a load: closes a device left open and frees the buffers of the song held.
  void ReleaseSong();

  smf::MidiFile file_;
  VoiceVolumes volumes_;
  TrackMerger merger_{file_, *this};
  StreamBuilder builder_{file_, merger_, volumes_};
  StreamTransport transport_;
  std::atomic<bool> shuttingDown_{false};
};

}  // namespace quirelle::player
