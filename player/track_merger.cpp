#include "player/track_merger.h"

#include <algorithm>
#include <array>
#include <bit>

#include "midi/vocabulary.h"
#include "smf/event_reader.h"

namespace quirelle::player {
namespace {

bool IsNote(const smf::TrackEvent& event) {
  const std::uint8_t kind = midi::KindOf(event.status);
  return kind == midi::kNoteOn || kind == midi::kNoteOff;
}

}  // namespace

bool TrackMerger::ComesAfter(std::uint32_t a, std::uint32_t b) const {
  const auto& tracks = file_.tracks();
  const std::uint32_t timeA = tracks[a].nextTime;
  const std::uint32_t timeB = tracks[b].nextTime;
  // Among equal times the highest-numbered track goes first.
  return timeA != timeB ? timeA > timeB : a < b;
}

void TrackMerger::BuildHeap() {
  const auto& tracks = file_.tracks();
  heap_.clear();
  heap_.reserve(tracks.size());
  for (std::uint32_t i = 0; i < tracks.size(); ++i) {
    if (!tracks[i].finished()) {
      heap_.push_back(i);
    }
  }
  std::make_heap(heap_.begin(), heap_.end(),
                 [this](std::uint32_t a, std::uint32_t b) { return ComesAfter(a, b); });
  heapBuilt_ = true;
}

bool TrackMerger::TakeEarliestTrack() {
  if (!heapBuilt_) {
    BuildHeap();
  }
  if (heap_.empty()) {
    smallestTime_ = 0xFFFFFFFF;
    trackTaken_ = -1;
    return false;
  }
  trackTaken_ = static_cast<std::int32_t>(heap_.front());
  smallestTime_ = file_.tracks()[heap_.front()].nextTime;
  return true;
}

TrackMerger::Read TrackMerger::ReadTaken(smf::TrackEvent& event) {
  const auto later = [this](std::uint32_t a, std::uint32_t b) { return ComesAfter(a, b); };
  const auto taken = static_cast<std::uint32_t>(trackTaken_);
  // Out of the heap while its time changes; back in unless it is done.
  std::pop_heap(heap_.begin(), heap_.end(), later);
  smf::TrackCursor& track = file_.tracks()[taken];
  const Read read = ReadTrack(track, event);
  if (track.finished()) {
    heap_.pop_back();
  } else {
    std::push_heap(heap_.begin(), heap_.end(), later);
  }
  return read;
}

TrackMerger::Read TrackMerger::ReadTrack(smf::TrackCursor& track, smf::TrackEvent& event) {
  if (smf::ReadEvent(track, event) != 0) {
    return PlaceOnVoiceChannel(event) ? Read::kEvent : Read::kLeftOut;
  }
  // A track whose data ended cleanly without an end-of-track event is simply done.
  if (track.finished()) {
    return Read::kSongFinished;
  }
  if (track.error != nullptr) {
    errors_.OnParseError(track, track.error);
  }
  return Read::kError;
}

bool TrackMerger::PlaceOnVoiceChannel(smf::TrackEvent& event) const {
  const smf::VoiceMap& voices = file_.voiceMap();
  if (voices.asWritten() || !midi::IsChannelStatus(event.status)) {
    return true;
  }
  const std::uint8_t channel =
      voices.ChannelFor(static_cast<std::uint32_t>(trackTaken_), midi::ChannelOf(event.status));
  if (channel == smf::VoiceMap::kLeftOut) {
    return false;
  }
  event.status = static_cast<std::uint8_t>(midi::KindOf(event.status) | channel);
  return true;
}

std::vector<std::uint32_t> TrackMerger::FirstNotesOfVoices(std::uint32_t endTick,
                                                           std::uint32_t voices) {
  constexpr std::uint32_t kNone = 0xFFFFFFFF;
  const std::vector<smf::TrackCursor> start = cursors();
  std::vector<std::uint32_t> notes;
  std::array<std::uint32_t, midi::kChannels> firstTick;
  firstTick.fill(kNone);
  const auto wanted = static_cast<std::size_t>(std::popcount(voices & 0xFFFFU));
  std::size_t found = 0;
  std::uint32_t latestFirst = 0;
  smf::TrackEvent event;
  // Until every voice has begun and the tick of the last to begin has been read through.
  while (TakeEarliestTrack() && smallestTime_ < endTick &&
         (found < wanted || smallestTime_ <= latestFirst)) {
    smf::TrackCursor& track = file_.tracks()[static_cast<std::size_t>(trackTaken_)];
    if (smf::ReadEvent(track, event) == 0) {
      break;
    }
    if (PlaceOnVoiceChannel(event) && midi::IsChannelStatus(event.status) &&
        midi::KindOf(event.status) == midi::kNoteOn && event.data2 != 0 &&
        (voices >> midi::ChannelOf(event.status) & 1U) != 0) {
      std::uint32_t& first = firstTick[midi::ChannelOf(event.status)];
      if (first == kNone) {
        first = event.time;
        latestFirst = event.time;
        ++found;
      }
      if (first == event.time) {
        notes.push_back(midi::ShortMessage(event.status, event.data1, event.data2));
      }
    }
    event.data.reset();
  }
  RestoreCursors(start);
  return notes;
}

bool TrackMerger::ChaseTo(std::uint32_t tick, ChaseState& chase,
                          std::vector<std::uint32_t>& notesAtTick) {
  notesAtTick.clear();
  Reset();  // the cursors may have been placed since the last look
  smf::TrackEvent event;
  while (TakeEarliestTrack() && smallestTime_ <= tick) {
    const Read read = ReadTaken(event);
    if (read == Read::kError) {
      return false;
    }
    if (read == Read::kEvent && IsNote(event)) {
      if (event.time == tick && midi::KindOf(event.status) == midi::kNoteOn && event.data2 != 0) {
        notesAtTick.push_back(midi::ShortMessage(event.status, event.data1, event.data2));
      }
    } else if (read == Read::kEvent) {
      chase.Take(event);
    }
    event.data.reset();
  }
  return true;
}

}  // namespace quirelle::player
