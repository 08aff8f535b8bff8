// A LoadHooks for the file-model tests and the fuzz target: records what the loader and the
// reader report, and opens the "stream" with a result the test chooses.
#pragma once

#include <string>
#include <vector>

#include "smf/reader_hooks.h"

namespace quirelle::smf::test {

class FakeLoadHooks final : public LoadHooks {
 public:
  void OnParseError(const TrackCursor& /*cursor*/, const char* message) override {
    errors.emplace_back(message);
  }
  void OnDataBlockAllocated() override { ++allocations; }
  int OpenStream() override {
    ++opens;
    return openResult;
  }
  void FreeBuffers() override { ++freeBuffers; }
  void ResetClock() override { ++resetClocks; }

  int openResult = 1;
  int opens = 0;
  int freeBuffers = 0;
  int resetClocks = 0;
  int allocations = 0;
  std::vector<std::string> errors;
};

}  // namespace quirelle::smf::test
