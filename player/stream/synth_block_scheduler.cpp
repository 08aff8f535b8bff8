// The cutting of audio blocks at grid points, with the events pulled at each.
#include "player/stream/synth_block_scheduler.h"

#include <algorithm>

namespace quirelle::stream {

std::uint64_t SynthBlockScheduler::LimitAt(std::uint64_t gridPoint) const {
  const std::uint64_t quantum = renderer_.Quantum();
  return gridPoint + (quantum + 1) / 2;
}

void SynthBlockScheduler::Render(float* left, float* right, std::uint32_t frames,
                                 SynthEventSource& source) {
  const std::uint64_t quantum = std::max<std::uint64_t>(1, renderer_.Quantum());
  std::uint64_t position = position_.load(std::memory_order_relaxed);
  const std::uint64_t end = position + frames;
  std::uint32_t done = 0;
  while (position < end) {
    if (position % quantum == 0) {
      source.PlayBefore(LimitAt(position));
    }
    const std::uint64_t nextGridPoint = (position / quantum + 1) * quantum;
    const std::uint64_t pieceEnd = std::min(end, nextGridPoint);
    const auto piece = static_cast<std::uint32_t>(pieceEnd - position);
    renderer_.Render(left + done, right + done, piece);
    done += piece;
    position = pieceEnd;
    position_.store(position, std::memory_order_release);
  }
}

}  // namespace quirelle::stream
