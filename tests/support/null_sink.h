// A PulseAudio daemon of our own with one null sink, for the tests and benchmarks that hear the
// live sound or sing into the microphone without a sound card or a session daemon (so they run on
// CI). Its monitor can be recorded with parec (what a listener would hear from the live output) or
// made the default source (what the microphone hears is what is played into the sink).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace quirelle::testing {

// Starts `argv` with its standard output into `output` (empty: inherited), its standard error
// into /dev/null and the environment of this process; the pid, or -1.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& output = {});

// A child process ended (by `signal`) and reaped when this goes.
class Child {
 public:
  explicit Child(pid_t pid, int signal);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  bool running() const { return pid_ > 0; }
  void End() { End(signal_); }
  // Ends it by another signal than its own.
  void End(int signal);

 private:
  pid_t pid_;
  int signal_;
};

struct NullSinkOptions {
  std::string sink = "quirelle";
  std::uint32_t rate = 48000;
  int channels = 2;
  // The sink's monitor is the default source, the microphone of a client that names none.
  bool monitorIsDefaultSource = false;
  // The daemon's sink runs on a real-time thread, as a desktop's does, so that a busy machine
  // delays the player rather than the sink that hears it.
  bool realtime = false;
};

// The daemon, in a folder of its own, ends with this, or with the thread that made this (even in
// a test that crashes); clients of this process and its children reach it through PULSE_SERVER
// (set here, with HOME and the runtime paths).
class NullSinkServer {
 public:
  explicit NullSinkServer(const NullSinkOptions& options);
  ~NullSinkServer();
  NullSinkServer(const NullSinkServer&) = delete;
  NullSinkServer& operator=(const NullSinkServer&) = delete;

  // False when the daemon did not start (pulseaudio not installed, no socket) or has been killed.
  bool ready() const;
  // Ends the daemon at once, as a sound server that goes away does.
  void Kill();
  // Starts recording the sink's monitor as interleaved float samples; false on failure.
  bool StartRecording();
  // Stops the recording and gives what it holds.
  std::vector<float> StopRecording();

 private:
  NullSinkOptions options_;
  std::filesystem::path dir_;
  std::string socket_;
  std::unique_ptr<Child> daemon_;
  std::unique_ptr<Child> recorder_;
};

}  // namespace quirelle::testing
