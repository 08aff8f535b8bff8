// The cutting of audio blocks at grid points, with the events pulled at each.
#include "player/stream/synth/synth_block_scheduler.h"

#include <algorithm>

namespace quirelle::stream {

std::uint64_t SynthBlockScheduler::LimitAt(std::uint64_t gridPoint) const {
  const std::uint64_t quantum = renderer_.Quantum();
  return gridPoint + (quantum + 1) / 2;
}

std::uint64_t SynthBlockScheduler::NextAsk(std::uint64_t gridPoint,
                                           std::optional<std::uint64_t> nextEvent) const {
  const std::uint64_t quantum = std::max<std::uint32_t>(1, renderer_.Quantum());
  const std::uint64_t next = gridPoint + quantum;
  if (!nextEvent) {
    return next;
  }
  // An event at exact time t is given at the first grid point G with t < LimitAt(G); asking at
  // the first G with ceil(t) <= LimitAt(G) is never late.
  const std::uint64_t ahead = LimitAt(0);
  const std::uint64_t earliest = *nextEvent > ahead ? *nextEvent - ahead : 0;
  const std::uint64_t gridOfEvent = (earliest + quantum - 1) / quantum * quantum;
  return std::max(next, gridOfEvent);
}

void SynthBlockScheduler::Render(float* left, float* right, std::uint32_t frames,
                                 SynthEventSource& source) {
  const std::uint64_t quantum = std::max<std::uint32_t>(1, renderer_.Quantum());
  std::uint64_t position = position_.load(std::memory_order_relaxed);
  const std::uint64_t end = position + frames;
  std::uint64_t nextAsk = 0;  // asks at the first grid point of every block
  std::uint32_t done = 0;
  while (position < end) {
    if (position % quantum == 0 && position >= nextAsk) {
      source.PlayBefore(LimitAt(position));
      nextAsk = NextAsk(position, source.NextEventSample());
    }
    const std::uint64_t nextGridPoint = (position / quantum + 1) * quantum;
    const std::uint64_t pieceEnd = std::min(end, std::max(nextGridPoint, nextAsk));
    const auto piece = static_cast<std::uint32_t>(pieceEnd - position);
    renderer_.Render(left + done, right + done, piece);
    done += piece;
    position = pieceEnd;
    position_.store(position, std::memory_order_release);
  }
}

}  // namespace quirelle::stream
