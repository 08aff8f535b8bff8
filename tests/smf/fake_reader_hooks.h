// A ReaderHooks for the file-model tests and the fuzz target: records what the reader reports.
#pragma once

#include <string>
#include <vector>

#include "smf/reader_hooks.h"

namespace quirelle::smf::test {

class FakeReaderHooks final : public ReaderHooks {
 public:
  void OnParseError(const TrackCursor& /*cursor*/, const char* message) override {
    errors.emplace_back(message);
  }
  void OnDataBlockAllocated() override { ++allocations; }

  int allocations = 0;
  std::vector<std::string> errors;
};

}  // namespace quirelle::smf::test
