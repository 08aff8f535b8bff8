// Catches what the process writes to its standard error while it lives, to show that library
// messages were kept and not printed.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

namespace quirelle::stream::testing {

class StderrCapture {
 public:
  StderrCapture() {
    std::fflush(stderr);
    file_ = std::tmpfile();
    saved_ = ::dup(2);
    if (file_ != nullptr && saved_ >= 0) {
      ::dup2(::fileno(file_), 2);
    }
  }
  ~StderrCapture() { Restore(); }
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  // Ends the capture and returns what was written.
  std::string Text() {
    Restore();
    std::string text;
    if (file_ != nullptr) {
      std::rewind(file_);
      char chunk[256];
      std::size_t n = 0;
      while ((n = std::fread(chunk, 1, sizeof chunk, file_)) > 0) {
        text.append(chunk, n);
      }
    }
    return text;
  }

 private:
  void Restore() {
    if (saved_ >= 0) {
      std::fflush(stderr);
      ::dup2(saved_, 2);
      ::close(saved_);
      saved_ = -1;
    }
  }

  std::FILE* file_ = nullptr;
  int saved_ = -1;
};

}  // namespace quirelle::stream::testing
