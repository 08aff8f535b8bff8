// The stream event builder: merges the tracks by time into the 12-byte stream events of one
// buffer, scales tempos by the tempo percentage, flags channel-volume controllers, and cuts the
// song into buffers of at most 85 events spanning about 60 ms each.
#include <cstring>

#include "midi/vocabulary.h"
#include "player/chase_state.h"
#include "player/midi_stream_player.h"
#include "smf/event_reader.h"

namespace quirelle::player {
namespace {

constexpr std::uint32_t kSongFinished = 1;
constexpr std::uint32_t kReadError = 2;
constexpr std::uint32_t kEventPending = 4;
constexpr std::uint32_t kEventBytes = sizeof(stream::MIDIEVENT);
constexpr std::uint32_t kLargestTempo = 0xFFFFFF;

}  // namespace

std::uint32_t CMidiStreamPlayer::RoomLeft(const StreamBuffer& buffer) {
  return buffer.capacity > buffer.bytesUsed ? buffer.capacity - buffer.bytesUsed : 0;
}

void CMidiStreamPlayer::AppendEvent(StreamBuffer& buffer, std::uint32_t delta, std::uint32_t word) {
  const stream::MIDIEVENT event{delta, 0, word};
  std::memcpy(buffer.header.lpData + buffer.startOffset + buffer.bytesUsed, &event, kEventBytes);
  buffer.bytesUsed += kEventBytes;
}

void CMidiStreamPlayer::AppendChannelMessage(StreamBuffer& buffer, std::uint32_t delta,
                                             std::uint32_t word) {
  if (midi::IsChannelVolume(word)) {
    const std::size_t channel = midi::ChannelOf(midi::StatusOf(word));
    const std::uint32_t song = midi::Data2Of(word);
    buffer.songVolumes[buffer.bytesUsed / kEventBytes] = static_cast<std::uint8_t>(song);
    word = (word & 0x00FFFF) | (volumes_.Scaled(channel, song) << 16) | stream::MEVT_F_CALLBACK;
  }
  AppendEvent(buffer, delta, word);
}

std::uint32_t CMidiStreamPlayer::ScaledTempoWord(std::uint32_t tempo) const {
  std::uint32_t scaled = tempo * 100 / tempoPercent_.load();
  // The event word has 24 bits for the tempo, and a tempo of 0 would play everything at once.
  if (scaled > kLargestTempo) {
    scaled = kLargestTempo;
  } else if (scaled == 0) {
    scaled = 1;
  }
  return scaled | (std::uint32_t{stream::MEVT_TEMPO} << 24);
}

std::uint32_t CMidiStreamPlayer::SpanLimitFor(std::uint32_t tempo) const {
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

void CMidiStreamPlayer::ReleaseEventData(smf::TrackEvent& event) {
  if (event.data) {
    event.data.reset();
    ownedData_ = 0;
  }
}

int CMidiStreamPlayer::FillBuffer(bool first, StreamBuffer& buffer) {
  buffer.bytesUsed = 0;
  if (first) {
    runningTotal_.store(0);
    statusFlags_ = 0;
    ReleaseEventData(current_);
    current_.Clear();
    trackLookedAt_ = 0;
    trackTaken_ = -1;
    clock_ = 0;
    chased_.clear();
    chasedWritten_ = 0;
  }

  if (first && startTick_.load() != 0) {
    if (ChaseTo(startTick_.load()) == kFillReadError) {
      return kFillReadError;
    }
  }
  if (!WriteChasedState(buffer)) {
    return 0;
  }

  if ((statusFlags_ & kSongFinished) != 0) {
    if (loop_.load() == 0) {
      return kFillSongEnded;
    }
    RewindTracks();
    runningTotal_.store(0);
    statusFlags_ = 0;
  } else if ((statusFlags_ & kReadError) != 0) {
    return kFillEarlierReadError;
  } else if ((statusFlags_ & kEventPending) != 0) {
    statusFlags_ &= ~kEventPending;
    if (WriteEvent(current_, buffer) == kWriteNoRoom) {
      statusFlags_ |= kEventPending;
      return 0;
    }
  }

  auto& tracks = file_.tracks();
  for (;;) {
    if (!TakeEarliestTrack()) {
      statusFlags_ |= kSongFinished;
      return 0;
    }
    smf::TrackCursor& track = tracks[static_cast<std::size_t>(trackTaken_)];
    if (ReadEvent(track, current_) == 0) {
      if (track.finished()) {
        continue;  // its data ended cleanly without an end-of-track event
      }
      statusFlags_ |= kReadError;
      return kFillReadError;
    }
    if (current_.IsEndOfTrack()) {
      ReleaseEventData(current_);
      continue;
    }
    if (WriteEvent(current_, buffer) == kWriteNoRoom) {
      statusFlags_ |= kEventPending;
      return 0;
    }
  }
}

bool CMidiStreamPlayer::TakeEarliestTrack() {
  const auto& tracks = file_.tracks();
  smallestTime_ = 0xFFFFFFFF;
  trackTaken_ = -1;
  for (trackLookedAt_ = 0; trackLookedAt_ < tracks.size(); ++trackLookedAt_) {
    const smf::TrackCursor& track = tracks[trackLookedAt_];
    // `<=` so that among equal times the highest-numbered track goes first.
    if (!track.finished() && track.nextTime <= smallestTime_) {
      smallestTime_ = track.nextTime;
      trackTaken_ = static_cast<std::int32_t>(trackLookedAt_);
    }
  }
  return trackTaken_ >= 0;
}

int CMidiStreamPlayer::ChaseTo(std::uint32_t tick) {
  ChaseState chase;
  auto& tracks = file_.tracks();
  while (TakeEarliestTrack() && smallestTime_ < tick) {
    smf::TrackCursor& track = tracks[static_cast<std::size_t>(trackTaken_)];
    if (ReadEvent(track, current_) == 0) {
      if (track.finished()) {
        continue;
      }
      statusFlags_ |= kReadError;
      return kFillReadError;
    }
    chase.Take(current_);
    ReleaseEventData(current_);
  }
  chased_ = chase.Messages();
  chasedWritten_ = 0;
  if (chase.tempo() != 0) {
    currentTempo_ = chase.tempo();
    spanLimit_ = SpanLimitFor(currentTempo_);
    tempoChanged_.store(1);
  }
  // Deltas count from the starting point, where the stream's time begins.
  clock_ = tick;
  return 0;
}

bool CMidiStreamPlayer::WriteChasedState(StreamBuffer& buffer) {
  for (; chasedWritten_ < chased_.size(); ++chasedWritten_) {
    if (RoomLeft(buffer) < kEventBytes) {
      return false;
    }
    if (buffer.bytesUsed == 0) {
      buffer.startTime = clock_;
    }
    AppendChannelMessage(buffer, 0, chased_[chasedWritten_]);
  }
  return true;
}

int CMidiStreamPlayer::WriteEvent(smf::TrackEvent& event, StreamBuffer& buffer) {
  if (buffer.bytesUsed == 0) {
    buffer.startTime = clock_;
  }
  if (clock_ - buffer.startTime > spanLimit_) {
    if (buffer.grace != 0) {
      buffer.grace = 0;
      return kWriteNoRoom;
    }
    buffer.grace = 1;
  }
  const std::uint32_t delta = event.time - clock_;

  if (tempoChanged_.load() != 0) {
    if (RoomLeft(buffer) < kEventBytes) {
      return kWriteNoRoom;
    }
    tempoChanged_.store(0);
    if (currentTempo_ != 0) {
      AppendEvent(buffer, 0, ScaledTempoWord(currentTempo_));
    }
  }

  if (midi::IsChannelStatus(event.status)) {
    if (RoomLeft(buffer) < kEventBytes) {
      return kWriteNoRoom;
    }
    AppendChannelMessage(
        buffer, delta,
        event.status | (std::uint32_t{event.data1} << 8) | (std::uint32_t{event.data2} << 16));
    clock_ = event.time;
    return 0;
  }
  if (event.status == midi::kSysEx || event.status == midi::kSysExEscape) {
    ReleaseEventData(event);
    return 0;
  }
  if (event.status == midi::kMeta && event.data1 == midi::kMetaSetTempo) {
    return WriteTempoEvent(event, buffer, delta);
  }
  ReleaseEventData(event);
  return kWriteSkipped;
}

int CMidiStreamPlayer::WriteTempoEvent(smf::TrackEvent& event, StreamBuffer& buffer,
                                       std::uint32_t delta) {
  // A Set Tempo too short to hold a tempo, or with a tempo of 0, is skipped like other metas.
  const std::uint8_t* data = event.data.get();
  const std::uint32_t tempo =
      (event.length < 3 || data == nullptr)
          ? 0
          : (std::uint32_t{data[0]} << 16) | (std::uint32_t{data[1]} << 8) | data[2];
  if (tempo == 0) {
    ReleaseEventData(event);
    return kWriteSkipped;
  }
  if (RoomLeft(buffer) < kEventBytes) {
    return kWriteNoRoom;
  }
  currentTempo_ = tempo;
  AppendEvent(buffer, delta, ScaledTempoWord(tempo));
  spanLimit_ = SpanLimitFor(tempo);
  ReleaseEventData(event);
  clock_ = event.time;
  return 0;
}

}  // namespace quirelle::player
