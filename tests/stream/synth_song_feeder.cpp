// The made-up song feeder of the sound device tests.
#include "tests/stream/synth_song_feeder.h"

#include <algorithm>
#include <cstring>

namespace quirelle::stream::testing {

std::uint32_t ShortWord(std::uint32_t status, std::uint32_t data1, std::uint32_t data2) {
  return status | (data1 << 8) | (data2 << 16);
}

std::uint32_t TempoWord(std::uint32_t microsPerQuarter) {
  return (static_cast<std::uint32_t>(MEVT_TEMPO) << 24) | microsPerQuarter;
}

std::vector<MIDIEVENT> ToStreamEvents(std::vector<SongEvent> song) {
  std::stable_sort(song.begin(), song.end(),
                   [](const SongEvent& a, const SongEvent& b) { return a.tick < b.tick; });
  std::vector<MIDIEVENT> events;
  std::uint32_t last = 0;
  for (const SongEvent& event : song) {
    events.push_back({event.tick - last, 0, event.word});
    last = event.tick;
  }
  return events;
}

ExactSamples SampleOfTick(const std::vector<SongEvent>& song, std::uint32_t division,
                          std::uint32_t sampleRate, std::uint32_t tick) {
  std::vector<SongEvent> tempos;
  for (const SongEvent& event : song) {
    if (MevtEventType(event.word) == MEVT_TEMPO && event.tick < tick) {
      tempos.push_back(event);
    }
  }
  std::stable_sort(tempos.begin(), tempos.end(),
                   [](const SongEvent& a, const SongEvent& b) { return a.tick < b.tick; });
  // Microseconds × division, summed segment by segment.
  std::uint64_t microsTimesDivision = 0;
  std::uint32_t tempo = 500000;
  std::uint32_t from = 0;
  for (const SongEvent& change : tempos) {
    microsTimesDivision += static_cast<std::uint64_t>(change.tick - from) * tempo;
    from = change.tick;
    tempo = MevtEventParm(change.word);
  }
  microsTimesDivision += static_cast<std::uint64_t>(tick - from) * tempo;
  return {microsTimesDivision * sampleRate, static_cast<std::uint64_t>(division) * 1000000};
}

std::uint64_t NearestGridPoint(const ExactSamples& samples, std::uint32_t quantum) {
  const std::uint64_t half = quantum / 2;
  return (samples.numerator + half * samples.denominator) / (quantum * samples.denominator) *
         quantum;
}

void IgnoreMessages(HMIDISTRM, std::uint32_t, std::uintptr_t, std::uintptr_t, std::uintptr_t) {}

SongFeeder::SongFeeder(std::vector<MIDIEVENT> events, std::uint32_t division,
                       std::size_t eventsPerBuffer)
    : events_(std::move(events)), division_(division), perBuffer_(eventsPerBuffer) {
  for (Buffer& buffer : buffers_) {
    buffer.header.lpData = buffer.bytes.data();
    buffer.header.dwBufferLength = static_cast<std::uint32_t>(buffer.bytes.size());
  }
}

SongFeeder::~SongFeeder() {
  bool open = false;
  {
    std::lock_guard lock(mutex_);
    open = stream_ != nullptr && !isClosed_;
    stopping_ = true;
  }
  if (open) {
    // A close from this thread returns once MOM_CLOSE is delivered; a stream its driver has
    // already ended refuses every call.
    midiStreamStop(stream_);
    midiOutReset(stream_);
    midiStreamClose(stream_);
  }
}

bool SongFeeder::Fill(Buffer& buffer) {
  if (next_ >= events_.size()) {
    return false;
  }
  const std::size_t count =
      std::min({perBuffer_, events_.size() - next_, buffer.bytes.size() / sizeof(MIDIEVENT)});
  std::memcpy(buffer.bytes.data(), events_.data() + next_, count * sizeof(MIDIEVENT));
  buffer.header.dwBytesRecorded = static_cast<std::uint32_t>(count * sizeof(MIDIEVENT));
  next_ += count;
  return true;
}

MMRESULT SongFeeder::Open(StreamDriver& driver) {
  std::uint32_t device = MIDI_MAPPER;
  if (const MMRESULT result =
          driver.midiStreamOpen(&stream_, &device, 1, &Callback,
                                reinterpret_cast<std::uintptr_t>(this), CALLBACK_FUNCTION)) {
    stream_ = nullptr;
    return result;
  }
  MIDIPROPTIMEDIV property{sizeof(MIDIPROPTIMEDIV), division_};
  if (const MMRESULT result = midiStreamProperty(
          stream_, reinterpret_cast<std::uint8_t*>(&property), MIDIPROP_SET | MIDIPROP_TIMEDIV)) {
    return result;
  }
  std::lock_guard lock(mutex_);
  for (Buffer& buffer : buffers_) {
    if (const MMRESULT result = midiOutPrepareHeader(stream_, &buffer.header, sizeof(MIDIHDR))) {
      return result;
    }
    if (!Fill(buffer)) {
      break;
    }
    if (const MMRESULT result = midiStreamOut(stream_, &buffer.header, sizeof(MIDIHDR))) {
      return result;
    }
    ++out_;
    ++queued_;
  }
  return MMSYSERR_NOERROR;
}

MMRESULT SongFeeder::Play() {
  return midiStreamRestart(stream_);
}

bool SongFeeder::WaitUntilClosed(std::chrono::seconds limit) {
  std::unique_lock lock(mutex_);
  return closed_.wait_for(lock, limit, [this] { return isClosed_; });
}

std::size_t SongFeeder::buffersQueued() const {
  std::lock_guard lock(mutex_);
  return queued_;
}

void SongFeeder::Callback(HMIDISTRM stream, std::uint32_t message, std::uintptr_t instance,
                          std::uintptr_t param1, std::uintptr_t /*param2*/) {
  auto* feeder = reinterpret_cast<SongFeeder*>(instance);
  if (message == MOM_DONE) {
    feeder->OnDone(stream, reinterpret_cast<MIDIHDR*>(param1));
  } else if (message == MOM_CLOSE) {
    // Notified under the lock: the waiter may destroy the feeder as soon as it sees the flag.
    std::lock_guard lock(feeder->mutex_);
    feeder->isClosed_ = true;
    feeder->closed_.notify_all();
  }
}

void SongFeeder::OnDone(HMIDISTRM stream, MIDIHDR* header) {
  std::lock_guard lock(mutex_);
  --out_;
  if (stopping_) {
    return;
  }
  for (Buffer& buffer : buffers_) {
    if (&buffer.header == header && Fill(buffer)) {
      if (midiStreamOut(stream, header, sizeof(MIDIHDR)) == MMSYSERR_NOERROR) {
        ++out_;
        ++queued_;
      }
      return;
    }
  }
  if (out_ == 0) {
    midiOutReset(stream);
    for (Buffer& buffer : buffers_) {
      midiOutUnprepareHeader(stream, &buffer.header, sizeof(MIDIHDR));
    }
    midiStreamClose(stream);
  }
}

}  // namespace quirelle::stream::testing
