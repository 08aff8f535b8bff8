// The tempo map: tempo changes in the order the player meets them, and seconds to a tick.
#include "smf/tempo_map.h"

#include <algorithm>
#include <iterator>

#include "midi/vocabulary.h"
#include "smf/event_reader.h"

namespace quirelle::smf {
namespace {

constexpr std::uint32_t kDefaultTempo = 500000;    // µs per quarter note before any tempo
constexpr std::uint32_t kLargestTempo = 0xFFFFFF;  // what a stream's tempo word holds

// The tempo a Set Tempo event sets; 0 for one too short to hold it (the player skips those).
std::uint32_t TempoOf(const TrackEvent& event) {
  const std::uint8_t* data = event.data.get();
  if (event.length < 3 || data == nullptr) {
    return 0;
  }
  return (std::uint32_t{data[0]} << 16) | (std::uint32_t{data[1]} << 8) | data[2];
}

struct TrackChange {
  std::uint32_t tick;
  std::uint32_t track;
  std::uint32_t tempo;
};

}  // namespace

std::uint32_t ScaledTempo(std::uint32_t tempo, std::uint32_t percent) {
  const std::uint64_t scaled = std::uint64_t{tempo} * 100 / std::max<std::uint32_t>(percent, 1);
  return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(scaled, 1, kLargestTempo));
}

TempoMap::TempoMap(const MidiFile& file) : division_(file.division()) {
  std::vector<TrackChange> found;
  std::uint32_t lastTick = 0;
  std::uint32_t damagedAt = 0xFFFFFFFF;
  const auto& tracks = file.tracks();
  for (std::uint32_t i = 0; i < tracks.size(); ++i) {
    TrackCursor cursor = tracks[i];
    if (cursor.start == nullptr || !PlaceOnFirstEvent(cursor)) {
      continue;
    }
    TrackEvent event;
    while (!cursor.finished()) {
      const std::uint32_t at = cursor.nextTime;
      if (ReadEvent(cursor, event) == 0) {
        if (!cursor.finished() && at < damagedAt) {
          damagedAt = at;
          damage_ = cursor.error;
        }
        break;
      }
      if (!event.IsEndOfTrack()) {
        lastTick = std::max(lastTick, event.time);
      }
      if (event.status == midi::kMeta && event.data1 == midi::kMetaSetTempo) {
        if (const std::uint32_t tempo = TempoOf(event); tempo != 0) {
          found.push_back({event.time, i, tempo});
        }
      }
      event.data.reset();
    }
  }
  endTick_ = std::min(lastTick, damagedAt);
  // The player meets equal ticks from the highest-numbered track down: the last one met holds.
  std::sort(found.begin(), found.end(), [](const TrackChange& a, const TrackChange& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.track > b.track;
  });
  changes_.push_back({0, kDefaultTempo});
  for (const TrackChange& change : found) {
    if (change.tick == changes_.back().tick) {
      changes_.back().tempo = change.tempo;
    } else {
      changes_.push_back({change.tick, change.tempo});
    }
  }
}

std::uint32_t TempoMap::TempoAt(std::uint32_t tick) const {
  const auto after = std::upper_bound(changes_.begin(), changes_.end(), tick,
                                      [](std::uint32_t t, const Change& c) { return t < c.tick; });
  return std::prev(after)->tempo;
}

double TempoMap::SecondsTo(std::uint32_t tick, std::uint32_t tempoPercent) const {
  if (midi::IsSmpteDivision(division_)) {
    const std::uint32_t fps = midi::SmpteFramesPerSecond(division_);
    const double framesPerSecond = fps == 29 ? 30000.0 / 1001.0 : fps;
    const std::uint32_t ticksPerFrame = midi::SmpteTicksPerFrame(division_);
    return ticksPerFrame == 0 ? 0 : tick / (framesPerSecond * ticksPerFrame);
  }
  if (division_ == 0) {
    return 0;
  }
  double micros = 0;
  for (std::size_t i = 0; i < changes_.size() && changes_[i].tick < tick; ++i) {
    const std::uint32_t until =
        i + 1 < changes_.size() ? std::min(changes_[i + 1].tick, tick) : tick;
    micros += static_cast<double>(until - changes_[i].tick) *
              ScaledTempo(changes_[i].tempo, tempoPercent) / division_;
  }
  return micros / 1e6;
}

}  // namespace quirelle::smf
