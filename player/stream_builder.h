// The stream event builder: fills one stream buffer at a time with the song's merged events as
// 12-byte stream events, scales tempos by the tempo percentage and volume controllers by the
// voices' percentages, transposes the notes, and plays the passage: its start with the state in
// effect there, a bar of count-in and the voices' starting notes, and the jump from its end back
// to its start, a step faster each time when the speed trainer is on.
#pragma once

#include <array>
#include <atomic>
#include <bitset>
#include <cstdint>
#include <vector>

#include "player/passage.h"
#include "player/stream_buffer.h"
#include "player/track_merger.h"
#include "player/transposer.h"
#include "player/voice_volumes.h"
#include "smf/midi_file.h"
#include "smf/track_event.h"

namespace quirelle::player {

// Builder results.
inline constexpr int kFillReadError = -101;
inline constexpr int kFillEarlierReadError = -102;
inline constexpr int kFillSongEnded = -103;
inline constexpr int kWriteNoRoom = -104;
inline constexpr int kWriteSkipped = -105;

inline constexpr std::uint32_t kDefaultTempo = 500000;  // µs per quarter note before any tempo

// The speed trainer: the largest step a repeat may add, in points of the written tempo, and where
// it stops unless told otherwise.
inline constexpr std::uint32_t kLargestSpeedStep = 50;
inline constexpr std::uint32_t kDefaultSpeedTarget = 100;

// The side stick of the General MIDI percussion channel that counts in.
inline constexpr std::uint8_t kCountInChannel = 9;
inline constexpr std::uint8_t kCountInKey = 37;
inline constexpr std::uint8_t kCountInVelocity = 100;

class StreamBuilder {
 public:
  StreamBuilder(const smf::MidiFile& file, TrackMerger& merger, VoiceVolumes& volumes)
      : file_(file), merger_(merger), volumes_(volumes) {}

  // Readies the builder for a song just loaded: the device's default tempo.
  void StartSong();
  // Fills `buffer` from the start of the song (`first`) or from where the last fill stopped.
  // 0 when the buffer is ready to go out, else one of the builder results.
  int FillBuffer(bool first, StreamBuffer& buffer);
  int WriteEvent(smf::TrackEvent& event, StreamBuffer& buffer);
  // The next fill starts a new stream clock (RewindTracks).
  void ResetClock() { clock_ = 0; }

  void SetTempoPercent(std::uint32_t percent);
  std::uint32_t tempoPercent() const { return tempoPercent_.load(); }
  void SetLoop(bool loop) { loop_.store(loop ? 1 : 0); }
  bool loop() const { return loop_.load() != 0; }
  void SetPassage(const Passage& passage);
  Passage passage() const;
  std::uint32_t startTick() const { return fromTick_.load(); }
  // Semitones every note but the percussion channel's moves by, from the next event written.
  void SetTranspose(int semitones) { transposer_.SetSemitones(semitones); }
  int transpose() const { return transposer_.semitones(); }
  // The speed trainer: each repeat of the passage plays `step` percentage points faster than the
  // last, up to `target` percent (never slower than the tempo set); a step of 0 is off, one above
  // kLargestSpeedStep counts as it.
  void SetSpeedUp(std::uint32_t step, std::uint32_t target);
  // The first beat before the passage (the count-in's, or one of its own) also sounds the first
  // notes each voice sings in it, of the voices heard.
  void SetStartingNotes(bool on) { startingNotes_.store(on); }
  bool startingNotes() const { return startingNotes_.load(); }

  // Bytes of stream events the device has played since the song (or its last repeat) began.
  std::uint32_t runningTotal() const { return runningTotal_.load(); }
  void AddPlayed(std::uint32_t bytes) { runningTotal_.fetch_add(bytes); }
  // The song's tick that a stream position (ticks since the stream began) plays; during a
  // count-in, the passage's start.
  std::uint32_t SongTickAt(std::uint32_t streamTick) const;

 private:
  struct Queued {
    std::uint32_t delta;
    std::uint32_t word;
  };
  // Notes and pedals sounding, so that a jump or an early end releases them.
  struct Sounding {
    std::array<std::bitset<128>, 16> notes;
    std::bitset<16> sustain;
    std::bitset<16> sostenuto;
  };

  // Reads up to the passage's start and keeps what it found, to begin there and at every repeat.
  bool TakeStartingPoint(std::uint32_t tick);
  // Back to the passage's start from where the last event was written (the passage's end):
  // releases, the state at the start, the count-in.
  void JumpToStart();
  // Releases every note and pedal sounding, at the passage's end.
  void QueueReleases();
  void QueueStartingPoint();
  // What comes before the passage: the count-in's clicks and the starting notes.
  void QueueLeadIn();
  // The starting notes as sent now, each with its note-off, to sound from 0 to `beat`.
  void AddStartingNotes(std::uint32_t beat,
                        std::vector<std::pair<std::uint32_t, std::uint32_t>>& timed);
  // The next repeat a step faster, under the speed trainer.
  void SpeedUp();
  bool RepeatsLeft() const;
  // Writes what is queued; false when the buffer filled first.
  bool WriteQueued(StreamBuffer& buffer);
  bool WriteTempoIfChanged(StreamBuffer& buffer);
  // The tempo the stream plays from here; its event goes out before the next one.
  void SetWrittenTempo(std::uint32_t tempo);
  void Track(std::uint32_t word);
  void MarkRepeatStart(std::uint32_t streamTick);

  std::uint32_t SpanLimitFor(std::uint32_t tempo) const;
  std::uint32_t ScaledTempoWord(std::uint32_t tempo) const;
  static std::uint32_t RoomLeft(const StreamBuffer& buffer);
  // Appends one event `delta` ticks after the last, plus any ticks carried from a jump.
  void AppendEvent(StreamBuffer& buffer, std::uint32_t delta, std::uint32_t word);
  // Appends a channel message; a volume controller is scaled by the voice's percentage and
  // flagged, so that the song's value is recorded as it plays.
  void AppendChannelMessage(StreamBuffer& buffer, std::uint32_t delta, std::uint32_t word);
  int WriteTempoEvent(smf::TrackEvent& event, StreamBuffer& buffer, std::uint32_t delta);
  // Ticks since the stream began of the event that would be written now at song tick `time`.
  std::uint32_t StreamTickOf(std::uint32_t time) const {
    return streamClock_ + carry_ + (time - clock_);
  }

  const smf::MidiFile& file_;
  TrackMerger& merger_;
  VoiceVolumes& volumes_;

  std::atomic<std::uint32_t> tempoPercent_{100};
  std::atomic<std::uint32_t> tempoChanged_{0};
  std::atomic<std::uint32_t> loop_{0};
  std::atomic<std::uint32_t> runningTotal_{0};
  std::atomic<std::uint32_t> fromTick_{0};
  std::atomic<std::uint32_t> endTick_{Passage::kSongEnd};
  std::atomic<std::uint32_t> plays_{1};
  std::atomic<bool> countIn_{false};
  std::atomic<bool> startingNotes_{false};
  std::atomic<std::uint32_t> speedStep_{0};
  std::atomic<std::uint32_t> speedTarget_{kDefaultSpeedTarget};
  // Where the latest two repeats began on the stream (high: the earlier), and the count-in
  // length before the latest; read by positions on the user's thread.
  std::atomic<std::uint64_t> repeatStarts_{0};
  std::atomic<std::uint32_t> countInTicks_{0};

  // The callback thread's (or, while loading, the user's) own.
  std::uint32_t clock_ = 0;        // song tick of the last event written
  std::uint32_t streamClock_ = 0;  // stream tick of the last event written
  std::uint32_t carry_ = 0;        // stream ticks to add before the next event (jumps, count-in)
  std::uint32_t spanLimit_ = 0;    // ticks in 60 ms at the written tempo
  std::uint32_t currentTempo_ = 0;
  std::uint32_t statusFlags_ = 0;
  std::uint32_t playsDone_ = 0;
  bool playedSinceStart_ = false;  // an event of the song has been written since the last start
  smf::TrackEvent current_;
  Sounding sounding_;
  // The starting point, kept for every repeat.
  std::vector<smf::TrackCursor> startCursors_;
  std::vector<std::uint32_t> startState_;
  std::uint32_t startTempo_ = 0;
  std::vector<std::uint32_t> startNotes_;  // the note-ons at the starting point
  std::vector<std::uint32_t> firstNotes_;  // the note-ons the voices begin the passage with
  Transposer transposer_;
  // Events still to be written before the next one of the song.
  std::vector<Queued> queued_;
  std::size_t queuedWritten_ = 0;
};

}  // namespace quirelle::player
