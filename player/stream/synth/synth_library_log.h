// Keeps what FluidSynth and libasound say instead of letting them print to the terminal: their
// messages become the detail of an open that failed. Installed once per process; the store is
// small and bounded, and safe to use from every thread (audio threads included).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quirelle::stream {

class LibraryLog {
 public:
  // Routes every FluidSynth log level and libasound's error handler into the store. Idempotent.
  static void Install();

  // A position in the store; Since() returns what was logged after it.
  static std::uint64_t Mark();
  static std::vector<std::string> Since(std::uint64_t mark);
  // The messages after `mark` joined by "; ", empty if none.
  static std::string JoinedSince(std::uint64_t mark);

  // Adds one message (also what the handlers call).
  static void Add(std::string message);

  // How many messages the store keeps at most; older ones are dropped.
  static constexpr std::size_t kCapacity = 64;
};

}  // namespace quirelle::stream
