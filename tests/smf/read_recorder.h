// Reads events for the file-model tests and the fuzz target, recording what the reader reported:
// the message of each failed read and each data block handed over.
#pragma once

#include <string>
#include <vector>

#include "smf/event_reader.h"

namespace quirelle::smf::test {

class ReadRecorder {
 public:
  int Read(TrackCursor& cursor, TrackEvent& event) {
    const int result = ReadEvent(cursor, event);
    if (result == 0 && cursor.error != nullptr) {
      errors.emplace_back(cursor.error);
    }
    if (result == 1 && event.data) {
      ++allocations;
    }
    return result;
  }

  int allocations = 0;
  std::vector<std::string> errors;
};

}  // namespace quirelle::smf::test
