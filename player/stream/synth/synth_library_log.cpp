// The process-wide store of library messages and the handlers that feed it.
#include "player/stream/synth/synth_library_log.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>

#include <cstdarg>
#include <cstdio>
#include <deque>
#include <mutex>

namespace quirelle::stream {
namespace {

struct Store {
  std::mutex mutex;
  std::deque<std::string> lines;
  std::uint64_t next = 0;  // sequence number of the next message
};

Store& TheStore() {
  static Store store;
  return store;
}

void FluidHandler(int level, const char* message, void* /*data*/) {
  // Debug and info lines ("Using 'alsa' audio driver") say nothing about a failure.
  if (level == FLUID_DBG || level == FLUID_INFO || message == nullptr) {
    return;
  }
  LibraryLog::Add(message);
}

// libasound calls this printf-style; it is a C variadic function by the library's contract.
void AlsaHandler(const char* /*file*/, int /*line*/, const char* function, int err, const char* fmt,
                 ...) {
  char text[512];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(text, sizeof text, fmt, args);
  va_end(args);
  std::string message = "ALSA: ";
  if (function != nullptr) {
    message += function;
    message += ": ";
  }
  message += text;
  if (err != 0) {
    message += " (";
    message += snd_strerror(err);
    message += ")";
  }
  LibraryLog::Add(std::move(message));
}

}  // namespace

void LibraryLog::Install() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level = 0; level < LAST_LOG_LEVEL; ++level) {
      fluid_set_log_function(level, FluidHandler, nullptr);
    }
    snd_lib_error_set_handler(AlsaHandler);
  });
}

std::uint64_t LibraryLog::Mark() {
  Store& store = TheStore();
  std::lock_guard lock(store.mutex);
  return store.next;
}

std::vector<std::string> LibraryLog::Since(std::uint64_t mark) {
  Store& store = TheStore();
  std::lock_guard lock(store.mutex);
  const std::uint64_t first = store.next - store.lines.size();
  std::vector<std::string> result;
  for (std::uint64_t seq = mark < first ? first : mark; seq < store.next; ++seq) {
    result.push_back(store.lines[static_cast<std::size_t>(seq - first)]);
  }
  return result;
}

std::string LibraryLog::JoinedSince(std::uint64_t mark) {
  std::string joined;
  for (const std::string& line : Since(mark)) {
    if (!joined.empty()) {
      joined += "; ";
    }
    joined += line;
  }
  return joined;
}

void LibraryLog::Add(std::string message) {
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
    message.pop_back();
  }
  Store& store = TheStore();
  std::lock_guard lock(store.mutex);
  store.lines.push_back(std::move(message));
  if (store.lines.size() > kCapacity) {
    store.lines.pop_front();
  }
  ++store.next;
}

}  // namespace quirelle::stream
