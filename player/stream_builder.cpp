// The stream event builder: merges the tracks by time into the 12-byte stream events of one
// buffer and cuts the song into buffers of at most 85 events spanning about 60 ms each.
//
// The stream's own clock runs on through repeats: a jump back to the passage's start carries the
// ticks to the passage's end (and of a count-in) into the next event's delta, so a repeat follows
// its predecessor without a gap.
#include "player/stream_builder.h"

#include <algorithm>
#include <cstring>

#include "midi/vocabulary.h"

namespace quirelle::player {
namespace {

constexpr std::uint32_t kSongFinished = 1;
constexpr std::uint32_t kReadError = 2;
constexpr std::uint32_t kEventPending = 4;
constexpr std::uint32_t kEventBytes = sizeof(stream::MIDIEVENT);
constexpr std::uint32_t kLargestTempo = 0xFFFFFF;
constexpr std::uint32_t kRest = 0;  // a queued word that only lets time pass

std::uint32_t ChannelWord(const smf::TrackEvent& event) {
  return midi::ShortMessage(event.status, event.data1, event.data2);
}

bool IsNoteOff(std::uint32_t word) {
  const std::uint8_t kind = midi::KindOf(midi::StatusOf(word));
  return kind == midi::kNoteOff || (kind == midi::kNoteOn && midi::Data2Of(word) == 0);
}

}  // namespace

void StreamBuilder::StartSong() {
  SetWrittenTempo(kDefaultTempo);
}

void StreamBuilder::SetWrittenTempo(std::uint32_t tempo) {
  currentTempo_ = tempo;
  spanLimit_ = SpanLimitFor(tempo);
  tempoChanged_.store(1);
}

void StreamBuilder::SetTempoPercent(std::uint32_t percent) {
  tempoPercent_.store(percent == 0 ? 1 : percent);
  tempoChanged_.store(1);
}

void StreamBuilder::SetPassage(const Passage& passage) {
  fromTick_.store(passage.fromTick);
  endTick_.store(passage.endTick);
  plays_.store(passage.plays);
  countIn_.store(passage.countIn);
}

void StreamBuilder::SetSpeedUp(std::uint32_t step, std::uint32_t target) {
  speedStep_.store(std::min(step, kLargestSpeedStep));
  speedTarget_.store(target);
}

Passage StreamBuilder::passage() const {
  return Passage{fromTick_.load(), endTick_.load(), plays_.load(), countIn_.load()};
}

std::uint32_t StreamBuilder::SongTickAt(std::uint32_t streamTick) const {
  const std::uint64_t starts = repeatStarts_.load();
  const auto latest = static_cast<std::uint32_t>(starts);
  const auto earlier = static_cast<std::uint32_t>(starts >> 32);
  const std::uint32_t from = fromTick_.load();
  if (streamTick >= latest) {
    return from + (streamTick - latest);
  }
  const std::uint32_t countIn = countInTicks_.load();
  if (streamTick >= latest - countIn || streamTick < earlier) {
    return from;
  }
  // Still in the repeat before: it ends where the latest one's count-in begins.
  const std::uint32_t end = endTick_.load();
  const std::uint32_t tick = from + (streamTick - earlier);
  return end != Passage::kSongEnd && tick >= end ? end - 1 : tick;
}

void StreamBuilder::MarkRepeatStart(std::uint32_t streamTick) {
  const std::uint64_t latest = static_cast<std::uint32_t>(repeatStarts_.load());
  repeatStarts_.store((latest << 32) | streamTick);
}

std::uint32_t StreamBuilder::RoomLeft(const StreamBuffer& buffer) {
  return buffer.capacity > buffer.bytesUsed ? buffer.capacity - buffer.bytesUsed : 0;
}

void StreamBuilder::AppendEvent(StreamBuffer& buffer, std::uint32_t delta, std::uint32_t word) {
  const stream::MIDIEVENT event{carry_ + delta, 0, word};
  std::memcpy(buffer.header.lpData + buffer.startOffset + buffer.bytesUsed, &event, kEventBytes);
  buffer.bytesUsed += kEventBytes;
  streamClock_ += carry_ + delta;
  carry_ = 0;
}

void StreamBuilder::AppendChannelMessage(StreamBuffer& buffer, std::uint32_t delta,
                                         std::uint32_t word) {
  if (midi::IsChannelVolume(word)) {
    const std::size_t channel = midi::ChannelOf(midi::StatusOf(word));
    const std::uint32_t song = midi::Data2Of(word);
    buffer.songVolumes[buffer.bytesUsed / kEventBytes] = static_cast<std::uint8_t>(song);
    word = (word & 0x00FFFF) | (volumes_.Scaled(channel, song) << 16) | stream::MEVT_F_CALLBACK;
  }
  AppendEvent(buffer, delta, word);
}

std::uint32_t StreamBuilder::ScaledTempoWord(std::uint32_t tempo) const {
  std::uint32_t scaled = tempo * 100 / tempoPercent_.load();
  // The event word has 24 bits for the tempo, and a tempo of 0 would play everything at once.
  if (scaled > kLargestTempo) {
    scaled = kLargestTempo;
  } else if (scaled == 0) {
    scaled = 1;
  }
  return scaled | (std::uint32_t{stream::MEVT_TEMPO} << 24);
}

std::uint32_t StreamBuilder::SpanLimitFor(std::uint32_t tempo) const {
  const std::uint32_t division = file_.division();
  if (midi::IsSmpteDivision(division)) {
    // SMPTE time: ticks per second are frames per second times ticks per frame, whatever the
    // tempo, so 60 ms are 6/100 of that.
    const std::uint32_t fps = midi::SmpteFramesPerSecond(division);
    const std::uint32_t ticksPerFrame = midi::SmpteTicksPerFrame(division);
    return fps * ticksPerFrame * 60 / 1000;
  }
  return tempo == 0 ? 0 : division * 60000 / tempo;
}

int StreamBuilder::FillBuffer(bool first, StreamBuffer& buffer) {
  buffer.bytesUsed = 0;
  if (first) {
    runningTotal_.store(0);
    statusFlags_ = 0;
    current_.Clear();
    clock_ = 0;
    streamClock_ = 0;
    carry_ = 0;
    playsDone_ = 0;
    sounding_ = Sounding{};
    queued_.clear();
    queuedWritten_ = 0;
    repeatStarts_.store(0);
    countInTicks_.store(0);
    startCursors_.clear();
    startState_.clear();
    startNotes_.clear();
    transposer_.Forget();
    startTempo_ = currentTempo_;
    const std::uint32_t from = fromTick_.load();
    if ((from != 0 || countIn_.load()) && !TakeStartingPoint(from)) {
      statusFlags_ |= kReadError;
      return kFillReadError;
    }
    // Found once: the starting notes may be asked for at any repeat.
    firstNotes_ = startNotes_;
    for (const std::uint32_t word :
         merger_.FirstNotesOfVoices(endTick_.load(), volumes_.sungChannels())) {
      const auto voice = midi::ChannelOf(midi::StatusOf(word));
      if (std::none_of(startNotes_.begin(), startNotes_.end(), [&](std::uint32_t start) {
            return midi::ChannelOf(midi::StatusOf(start)) == voice;
          })) {
        firstNotes_.push_back(word);
      }
    }
    QueueStartingPoint();
  }
  if (!WriteQueued(buffer)) {
    return 0;
  }

  if ((statusFlags_ & kSongFinished) != 0) {
    if (!RepeatsLeft()) {
      // Releases written in this fill still go out; the end comes with the next.
      return buffer.bytesUsed != 0 ? 0 : kFillSongEnded;
    }
    ++playsDone_;
    statusFlags_ = 0;
    JumpToStart();
    if (!WriteQueued(buffer)) {
      return 0;
    }
  } else if ((statusFlags_ & kReadError) != 0) {
    return kFillEarlierReadError;
  } else if ((statusFlags_ & kEventPending) != 0) {
    statusFlags_ &= ~kEventPending;
    if (WriteEvent(current_, buffer) == kWriteNoRoom) {
      statusFlags_ |= kEventPending;
      return 0;
    }
  }

  const std::uint32_t end = endTick_.load();
  for (;;) {
    // The passage ends at its end tick or with the song, whichever comes first.
    if (!merger_.TakeEarliestTrack()) {
      statusFlags_ |= kSongFinished;
      return 0;
    }
    if (merger_.nextTime() >= end) {
      // Cut short: what still sounds stops at the passage's end.
      statusFlags_ |= kSongFinished;
      carry_ += end - clock_;
      clock_ = end;
      QueueReleases();
      WriteQueued(buffer);
      return 0;
    }
    // The track was taken just above: read it without looking through the tracks again.
    const TrackMerger::Read read = merger_.ReadTaken(current_);
    if (read == TrackMerger::Read::kError) {
      statusFlags_ |= kReadError;
      return kFillReadError;
    }
    if (read != TrackMerger::Read::kEvent || current_.IsEndOfTrack()) {
      current_.data.reset();
      continue;
    }
    if (WriteEvent(current_, buffer) == kWriteNoRoom) {
      statusFlags_ |= kEventPending;
      return 0;
    }
  }
}

bool StreamBuilder::TakeStartingPoint(std::uint32_t tick) {
  ChaseState chase;
  if (!merger_.ChaseTo(tick, chase, startNotes_)) {
    return false;
  }
  startCursors_ = merger_.cursors();
  startState_ = chase.Messages();
  if (chase.tempo() != 0) {
    startTempo_ = chase.tempo();
    SetWrittenTempo(startTempo_);
  }
  // Deltas count from the starting point, where the stream's time begins.
  clock_ = tick;
  return true;
}

void StreamBuilder::QueueStartingPoint() {
  for (const std::uint32_t word : startState_) {
    queued_.push_back({0, word});
  }
  QueueLeadIn();
  MarkRepeatStart(StreamTickOf(clock_) + countInTicks_.load());
  playedSinceStart_ = !startNotes_.empty();
  for (const std::uint32_t word : startNotes_) {
    if (const auto sent = transposer_.Apply(word)) {
      queued_.push_back({0, *sent});
    }
  }
}

void StreamBuilder::JumpToStart() {
  runningTotal_.store(0);
  QueueReleases();
  SpeedUp();
  clock_ = fromTick_.load();
  if (startCursors_.empty()) {
    merger_.RewindTracks();  // nothing was chased: the tracks start over
  } else {
    merger_.RestoreCursors(startCursors_);
  }
  if (currentTempo_ != startTempo_) {
    SetWrittenTempo(startTempo_);
  }
  QueueStartingPoint();
}

void StreamBuilder::QueueReleases() {
  for (std::uint8_t channel = 0; channel < midi::kChannels; ++channel) {
    const auto& notes = sounding_.notes[channel];
    for (std::uint32_t key = 0; notes.any() && key < 128; ++key) {
      if (notes.test(key)) {
        queued_.push_back({0, midi::ShortMessage(midi::kNoteOff | channel, key, 0x40)});
      }
    }
    if (sounding_.sustain.test(channel)) {
      queued_.push_back(
          {0, midi::ShortMessage(midi::kControlChange | channel, midi::kSustainPedal, 0)});
    }
    if (sounding_.sostenuto.test(channel)) {
      queued_.push_back(
          {0, midi::ShortMessage(midi::kControlChange | channel, midi::kSostenutoPedal, 0)});
    }
  }
  sounding_ = Sounding{};
  transposer_.Forget();
}

void StreamBuilder::SpeedUp() {
  const std::uint32_t step = speedStep_.load();
  const std::uint32_t target = speedTarget_.load();
  const std::uint32_t percent = tempoPercent_.load();
  if (step != 0 && percent < target) {
    SetTempoPercent(std::min(target, percent + step));
  }
}

void StreamBuilder::QueueLeadIn() {
  const std::uint32_t division = file_.division();
  const bool countIn = countIn_.load();
  const bool startingNotes = startingNotes_.load() && !firstNotes_.empty();
  if ((!countIn && !startingNotes) || midi::IsSmpteDivision(division) || division == 0) {
    countInTicks_.store(0);
    return;
  }
  // A bar of the metre at the starting point, a click on each of its beats; the starting notes
  // alone take one beat.
  const smf::TimeSigEntry& metre = file_.timeSignatures().MetreAt(fromTick_.load());
  const std::uint32_t beat = smf::BeatTicks(metre, division);
  const std::uint32_t beats = countIn ? metre.numerator : 1;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> timed;  // tick in the lead-in, word
  if (startingNotes) {
    AddStartingNotes(beat, timed);
  }
  const std::uint32_t click = std::max<std::uint32_t>(1, beat / 2);
  const std::uint8_t on = midi::kNoteOn | kCountInChannel;
  const std::uint8_t off = midi::kNoteOff | kCountInChannel;
  for (std::uint32_t i = 0; countIn && i < beats; ++i) {
    timed.emplace_back(i * beat, midi::ShortMessage(on, kCountInKey, kCountInVelocity));
    timed.emplace_back(i * beat + click, midi::ShortMessage(off, kCountInKey, 0x40));
  }
  // Note-offs before the click of the next beat.
  std::stable_sort(timed.begin(), timed.end(), [](const auto& a, const auto& b) {
    return a.first < b.first || (a.first == b.first && IsNoteOff(a.second) && !IsNoteOff(b.second));
  });
  std::uint32_t at = 0;
  for (const auto& [tick, word] : timed) {
    queued_.push_back({tick - at, word});
    at = tick;
  }
  queued_.push_back({beat * beats - at, kRest});
  countInTicks_.store(beat * beats);
}

void StreamBuilder::AddStartingNotes(std::uint32_t beat,
                                     std::vector<std::pair<std::uint32_t, std::uint32_t>>& timed) {
  for (const std::uint32_t word : firstNotes_) {
    const std::uint8_t channel = midi::ChannelOf(midi::StatusOf(word));
    if (volumes_.Silenced(channel)) {
      continue;
    }
    const auto sent = transposer_.Apply(word);
    const auto released =
        transposer_.Apply(midi::ShortMessage(midi::kNoteOff | channel, midi::Data1Of(word), 0x40));
    if (sent && released) {
      timed.emplace_back(0, *sent);
      timed.emplace_back(beat, *released);
    }
  }
}

bool StreamBuilder::RepeatsLeft() const {
  if (!playedSinceStart_ && countInTicks_.load() == 0) {
    return false;  // a repeat would take no time: nothing of the song lies in the passage
  }
  const std::uint32_t plays = plays_.load();
  return loop_.load() != 0 || plays == Passage::kForever || playsDone_ + 1 < plays;
}

bool StreamBuilder::WriteTempoIfChanged(StreamBuffer& buffer) {
  if (tempoChanged_.load() == 0) {
    return true;
  }
  if (RoomLeft(buffer) < kEventBytes) {
    return false;
  }
  tempoChanged_.store(0);
  if (currentTempo_ != 0) {
    AppendEvent(buffer, 0, ScaledTempoWord(currentTempo_));
  }
  return true;
}

bool StreamBuilder::WriteQueued(StreamBuffer& buffer) {
  for (; queuedWritten_ < queued_.size(); ++queuedWritten_) {
    const Queued& event = queued_[queuedWritten_];
    if (event.word == kRest) {
      carry_ += event.delta;
      continue;
    }
    if (buffer.bytesUsed == 0) {
      buffer.startTime = streamClock_;
    }
    if (!WriteTempoIfChanged(buffer) || RoomLeft(buffer) < kEventBytes) {
      return false;
    }
    Track(event.word);
    AppendChannelMessage(buffer, event.delta, event.word);
  }
  queued_.clear();
  queuedWritten_ = 0;
  return true;
}

void StreamBuilder::Track(std::uint32_t word) {
  const std::uint8_t status = midi::StatusOf(word);
  const std::uint8_t channel = midi::ChannelOf(status);
  const std::uint8_t kind = midi::KindOf(status);
  const std::uint32_t data1 = midi::Data1Of(word);
  const bool down = midi::Data2Of(word) != 0;
  if (kind == midi::kNoteOn || kind == midi::kNoteOff) {
    sounding_.notes[channel].set(data1, kind == midi::kNoteOn && down);
  } else if (kind == midi::kControlChange && data1 == midi::kSustainPedal) {
    sounding_.sustain.set(channel, midi::Data2Of(word) >= 64);
  } else if (kind == midi::kControlChange && data1 == midi::kSostenutoPedal) {
    sounding_.sostenuto.set(channel, midi::Data2Of(word) >= 64);
  }
}

int StreamBuilder::WriteEvent(smf::TrackEvent& event, StreamBuffer& buffer) {
  if (buffer.bytesUsed == 0) {
    buffer.startTime = streamClock_;
  }
  if (streamClock_ - buffer.startTime > spanLimit_) {
    if (buffer.grace != 0) {
      buffer.grace = 0;
      return kWriteNoRoom;
    }
    buffer.grace = 1;
  }
  const std::uint32_t delta = event.time - clock_;
  if (!WriteTempoIfChanged(buffer)) {
    return kWriteNoRoom;
  }
  if (midi::IsChannelStatus(event.status)) {
    if (RoomLeft(buffer) < kEventBytes) {
      return kWriteNoRoom;
    }
    const auto word = transposer_.Apply(ChannelWord(event));
    if (!word) {
      return kWriteSkipped;  // a note out of range: its time goes to the next event's delta
    }
    Track(*word);
    AppendChannelMessage(buffer, delta, *word);
    clock_ = event.time;
    playedSinceStart_ = true;
    return 0;
  }
  if (event.status == midi::kSysEx || event.status == midi::kSysExEscape) {
    event.data.reset();
    return 0;
  }
  if (event.status == midi::kMeta && event.data1 == midi::kMetaSetTempo) {
    return WriteTempoEvent(event, buffer, delta);
  }
  event.data.reset();
  return kWriteSkipped;
}

int StreamBuilder::WriteTempoEvent(smf::TrackEvent& event, StreamBuffer& buffer,
                                   std::uint32_t delta) {
  // A Set Tempo too short to hold a tempo, or with a tempo of 0, is skipped like other metas.
  const std::uint8_t* data = event.data.get();
  const std::uint32_t tempo =
      (event.length < 3 || data == nullptr)
          ? 0
          : (std::uint32_t{data[0]} << 16) | (std::uint32_t{data[1]} << 8) | data[2];
  if (tempo == 0) {
    event.data.reset();
    return kWriteSkipped;
  }
  if (RoomLeft(buffer) < kEventBytes) {
    return kWriteNoRoom;
  }
  currentTempo_ = tempo;
  AppendEvent(buffer, delta, ScaledTempoWord(tempo));
  spanLimit_ = SpanLimitFor(tempo);
  event.data.reset();
  clock_ = event.time;
  playedSinceStart_ = true;
  return 0;
}

}  // namespace quirelle::player
