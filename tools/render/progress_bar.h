// A one-line progress bar on a terminal, redrawn in place.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>

namespace quirelle::render {

class ProgressBar {
 public:
  // Draws only when `enabled` (standard error is a terminal), after `label` ("2/5 ", say).
  ProgressBar(std::ostream& out, bool enabled, std::string label = {})
      : out_(out), enabled_(enabled), label_(std::move(label)) {}
  // `done` of `total` units, both in seconds of the song.
  void Show(double done, double total);
  // Clears the line.
  void Finish();

 private:
  std::ostream& out_;
  bool enabled_;
  std::string label_;
  int lastPermille_ = -1;
  std::size_t longest_ = 0;  // the longest line drawn, which Finish clears
};

}  // namespace quirelle::render
