// A one-line progress bar on a terminal, redrawn in place.
#pragma once

#include <cstdint>
#include <ostream>

namespace quirelle::render {

class ProgressBar {
 public:
  // Draws only when `enabled` (standard error is a terminal).
  ProgressBar(std::ostream& out, bool enabled) : out_(out), enabled_(enabled) {}
  // `done` of `total` units, both in seconds of the song.
  void Show(double done, double total);
  // Clears the line.
  void Finish();

 private:
  std::ostream& out_;
  bool enabled_;
  int lastPermille_ = -1;
};

}  // namespace quirelle::render
