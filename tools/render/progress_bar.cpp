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
  std::snprintf(numbers, sizeof numbers, "] %5.1f %%  %.0f / %.0f s", fraction * 100,
                std::min(done, total), total);
  const std::string line = label_ + '[' + std::string(static_cast<std::size_t>(filled), '#') +
                           std::string(static_cast<std::size_t>(kWidth - filled), ' ') + numbers;
  // A shorter line than the last (the seconds lose a digit, say) leaves no rest of it behind.
  const std::size_t padding = longest_ > line.size() ? longest_ - line.size() : 0;
  longest_ = std::max(longest_, line.size());
  out_ << '\r' << line << std::string(padding, ' ') << std::flush;
}

void ProgressBar::Finish() {
  if (enabled_ && lastPermille_ >= 0) {
    out_ << '\r' << std::string(longest_, ' ') << '\r' << std::flush;
  }
}

}  // namespace quirelle::render
