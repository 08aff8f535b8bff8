// Test support for the sound devices: a made-up song as stream events, its exact timing, and a
// feeder that plays it through any driver the way the engine does: two buffers circulate, each
// refilled from the callback when it comes back; once the last one is back the stream is reset and
// closed from the callback.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "player/stream/midi_stream.h"

namespace quirelle::stream::testing {

// One event of a song at its absolute tick; `word` is a MIDIEVENT event word.
struct SongEvent {
  std::uint32_t tick = 0;
  std::uint32_t word = 0;
};

std::uint32_t ShortWord(std::uint32_t status, std::uint32_t data1, std::uint32_t data2);
std::uint32_t TempoWord(std::uint32_t microsPerQuarter);

// Sorts by tick (keeping the order of equal ticks) and turns ticks into deltas.
std::vector<MIDIEVENT> ToStreamEvents(std::vector<SongEvent> song);

// The exact device time of `tick` in samples at `sampleRate`, as numerator / denominator, with
// the song's tempo events (500000 µs per quarter before the first).
struct ExactSamples {
  std::uint64_t numerator = 0;
  std::uint64_t denominator = 1;
  std::uint64_t Floor() const { return numerator / denominator; }
};
ExactSamples SampleOfTick(const std::vector<SongEvent>& song, std::uint32_t division,
                          std::uint32_t sampleRate, std::uint32_t tick);
// The grid point of `quantum` frames nearest to `samples` (halves go up).
std::uint64_t NearestGridPoint(const ExactSamples& samples, std::uint32_t quantum);

// A stream callback that takes no notice of anything.
void IgnoreMessages(HMIDISTRM stream, std::uint32_t message, std::uintptr_t instance,
                    std::uintptr_t param1, std::uintptr_t param2);

class SongFeeder {
 public:
  SongFeeder(std::vector<MIDIEVENT> events, std::uint32_t division,
             std::size_t eventsPerBuffer = 85);
  ~SongFeeder();  // closes a stream still open
  SongFeeder(const SongFeeder&) = delete;
  SongFeeder& operator=(const SongFeeder&) = delete;

  // Opens the stream, sets the division and queues the first two buffers.
  MMRESULT Open(StreamDriver& driver);
  MMRESULT Play();
  // Waits for MOM_CLOSE; false if it has not come within `limit` (a hang, not a timing check).
  bool WaitUntilClosed(std::chrono::seconds limit = std::chrono::seconds(120));
  HMIDISTRM stream() const { return stream_; }
  std::size_t buffersQueued() const;

 private:
  struct Buffer {
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(1024, 0);
    MIDIHDR header;
  };
  static void Callback(HMIDISTRM stream, std::uint32_t message, std::uintptr_t instance,
                       std::uintptr_t param1, std::uintptr_t param2);
  void OnDone(HMIDISTRM stream, MIDIHDR* header);
  bool Fill(Buffer& buffer);  // false when the song has no events left

  std::vector<MIDIEVENT> events_;
  std::uint32_t division_;
  std::size_t perBuffer_;
  Buffer buffers_[2];
  HMIDISTRM stream_ = nullptr;

  mutable std::mutex mutex_;
  std::condition_variable closed_;
  std::size_t next_ = 0;    // first event not yet in a buffer
  int out_ = 0;             // buffers queued and not back
  std::size_t queued_ = 0;  // buffers queued in all
  bool isClosed_ = false;
  bool stopping_ = false;  // the destructor ends the stream: no refills
};

}  // namespace quirelle::stream::testing
