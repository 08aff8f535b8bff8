#include "tools/render/progress_bar.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace quirelle::render {

void ProgressBar::Show(double done, double total) {
  if (!enabled_ || total <= 0) {
    return;
  }
  const double fraction = std::clamp(done / total, 0.0, 1.0);
  const int permille = static_cast<int>(fraction * 1000);
  if (permille == lastPermille_) {
    return;
  }
  lastPermille_ = permille;
  constexpr int kWidth = 40;
  const int filled = static_cast<int>(fraction * kWidth);
  char numbers[64];
  std::snprintf(numbers, sizeof numbers, "] %5.1f %%  %.0f / %.0f s", fraction * 100, done, total);
  out_ << '\r' << '[' << std::string(static_cast<std::size_t>(filled), '#')
       << std::string(static_cast<std::size_t>(kWidth - filled), ' ') << numbers << std::flush;
}

void ProgressBar::Finish() {
  if (enabled_ && lastPermille_ >= 0) {
    out_ << '\r' << std::string(80, ' ') << '\r' << std::flush;
  }
}

}  // namespace quirelle::render
