// A PulseAudio daemon of our own with one null sink, and its monitor recorded with parec: what a
// listener would hear from the live output, without a sound card or a session daemon. Used by the
// tests and benchmarks that check the live sound (dropouts, the release at a song's end).
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
  void End();

 private:
  pid_t pid_;
  int signal_;
};

// The daemon, with one null sink "quirelle", in a folder of its own; clients of this process and
// its children reach it through PULSE_SERVER (set here, with HOME and the runtime paths).
class NullSinkServer {
 public:
  explicit NullSinkServer(std::uint32_t sampleRate);
  ~NullSinkServer();
  NullSinkServer(const NullSinkServer&) = delete;
  NullSinkServer& operator=(const NullSinkServer&) = delete;

  // False when the daemon did not start (pulseaudio not installed, no socket).
  bool ready() const { return ready_; }
  // Starts recording the sink's monitor as interleaved stereo float samples; false on failure.
  bool StartRecording();
  // Stops the recording and gives what it holds.
  std::vector<float> StopRecording();

 private:
  std::filesystem::path dir_;
  std::uint32_t sampleRate_;
  std::unique_ptr<Child> daemon_;
  std::unique_ptr<Child> recorder_;
  bool ready_ = false;
};

}  // namespace quirelle::testing
