// Times of the lines of words from the moments of a render.
#include "tools/render/lyrics_file.h"

#include <algorithm>
#include <cstdio>

namespace quirelle::render {
namespace {

// "[mm:ss.xx]", to the nearest hundredth of a second.
std::string TimeTag(std::uint64_t micros) {
  const std::uint64_t hundredths = (micros + 5'000) / 10'000;
  char tag[32];
  std::snprintf(tag, sizeof tag, "[%02llu:%02llu.%02llu]",
                static_cast<unsigned long long>(hundredths / 6000),
                static_cast<unsigned long long>(hundredths / 100 % 60),
                static_cast<unsigned long long>(hundredths % 100));
  return tag;
}

// Moments after one, over which the speed there is measured: the ticks a moment holds are whole.
constexpr std::size_t kSpeedSpan = 20;

// One stretch of the render where the song goes forward: from the start, or from a repeat. A
// count-in stands still at the passage's first tick.
class Stretch {
 public:
  Stretch(const SongMoment* first, const SongMoment* last) : first_(first), last_(last) {}

  // When the song reaches `tick`: back from the first moment past it at the speed there, the
  // moment's position taken half a tick past the whole tick it reads; never before the last
  // moment before it.
  std::uint64_t TimeOf(std::uint32_t tick) const {
    const SongMoment* before = nullptr;
    const SongMoment* past = first_;
    for (; past <= last_ && past->tick <= tick; ++past) {
      before = past->tick < tick ? past : before;
    }
    if (past > last_) {
      return last_->micros;
    }
    const SongMoment* later = past + std::min<std::ptrdiff_t>(kSpeedSpan, last_ - past);
    const SongMoment* from = later > past ? past : (past > first_ ? past - 1 : past);
    const SongMoment* to = later > past ? later : past;
    const double perTick = to->tick > from->tick ? static_cast<double>(to->micros - from->micros) /
                                                       (to->tick - from->tick)
                                                 : 0.0;
    const auto back = static_cast<std::uint64_t>(perTick * (past->tick + 0.5 - tick));
    const std::uint64_t earliest = before != nullptr ? before->micros : 0;
    return std::max(earliest, past->micros - std::min(past->micros, back));
  }
  std::uint32_t lastTick() const { return last_->tick; }

 private:
  const SongMoment* first_;
  const SongMoment* last_;
};

void AddLines(const smf::Words& words, const Stretch& stretch, std::uint32_t startTick,
              std::string& text) {
  for (const smf::WordsLine& line : words) {
    const std::uint32_t first = line.syllables.front().tick;
    const std::uint32_t last = line.syllables.back().tick;
    // A line the stretch begins in the middle of is shown from the stretch's start.
    if (last >= startTick && first <= stretch.lastTick()) {
      text += TimeTag(stretch.TimeOf(std::max(first, startTick))) + smf::LineText(line) + "\n";
    }
  }
}

}  // namespace

MomentKeeper::MomentKeeper(std::vector<std::uint32_t> ticks) : ticks_(std::move(ticks)) {
  std::sort(ticks_.begin(), ticks_.end());
}

bool MomentKeeper::Crosses(std::uint32_t from, std::uint32_t to) const {
  const auto at = std::lower_bound(ticks_.begin(), ticks_.end(), from);
  return at != ticks_.end() && *at <= to;
}

void MomentKeeper::Add(const SongMoment& moment) {
  if (!last_ || moment.tick < last_->tick || Crosses(last_->tick, moment.tick)) {
    // The moment before is where the song stood before it, the ones after give its speed.
    if (last_ && (kept_.empty() || kept_.back().micros != last_->micros)) {
      kept_.push_back(*last_);
    }
    kept_.push_back(moment);
    keepNext_ = kSpeedSpan + 1;
  } else if (keepNext_ > 0) {
    kept_.push_back(moment);
    --keepNext_;
  }
  last_ = moment;
}

std::vector<SongMoment> MomentKeeper::Kept() const {
  std::vector<SongMoment> kept = kept_;
  if (last_ && (kept.empty() || kept.back().micros != last_->micros)) {
    kept.push_back(*last_);
  }
  return kept;
}

std::vector<std::uint32_t> LrcTicks(const smf::Words& words, std::uint32_t fromTick) {
  std::vector<std::uint32_t> ticks{fromTick};
  for (const smf::WordsLine& line : words) {
    ticks.push_back(line.syllables.front().tick);
  }
  return ticks;
}

std::string LrcText(const smf::Words& words, const std::vector<SongMoment>& moments,
                    std::uint32_t fromTick) {
  std::string text;
  std::size_t begin = 0;
  for (std::size_t i = 1; i <= moments.size(); ++i) {
    if (i == moments.size() || moments[i].tick < moments[i - 1].tick) {
      const std::uint32_t startTick = begin == 0 ? moments[0].tick : fromTick;
      AddLines(words, Stretch(&moments[begin], &moments[i - 1]), startTick, text);
      begin = i;
    }
  }
  return text;
}

}  // namespace quirelle::render
