// A PulseAudio daemon of the test's own, with one null sink whose monitor is the default source,
// in a folder of its own; clients of this process reach it through PULSE_SERVER. No session
// daemon is needed, so it runs on CI.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace quirelle::testing {

class PulseServer {
 public:
  // `sink`: the null sink's name; its monitor, `sink`.monitor, is the default source.
  explicit PulseServer(const std::string& sink, std::uint32_t rate = 48000)
      : dir_(std::filesystem::temp_directory_path() /
             ("quirelle-pulse-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(dir_);
    socket_ = (dir_ / "native").string();
    std::ofstream(dir_ / "server.pa")
        << "load-module module-null-sink sink_name=" << sink << " rate=" << rate << " channels=1\n"
        << "set-default-sink " << sink << "\n"
        << "set-default-source " << sink << ".monitor\n"
        << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << socket_ << "\n";
    for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH"}) {
      ::setenv(name, dir_.c_str(), 1);
    }
    ::setenv("PULSE_SERVER", ("unix:" + socket_).c_str(), 1);
    const std::string script = (dir_ / "server.pa").string();
    std::vector<std::string> argv = {"pulseaudio",
                                     "-n",
                                     "-F",
                                     script,
                                     "--daemonize=no",
                                     "--exit-idle-time=-1",
                                     "--use-pid-file=no",
                                     "--system=no",
                                     "--realtime=no",
                                     "--disallow-exit"};
    std::vector<char*> args;
    for (std::string& arg : argv) {
      args.push_back(arg.data());
    }
    args.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      // The daemon ends with the test, even one that crashes, and holds none of its output.
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, STDOUT_FILENO);
      ::dup2(null, STDERR_FILENO);
      ::execvp(args[0], args.data());
      ::_exit(127);
    }
    for (int i = 0; i < 100 && pid_ > 0 && !std::filesystem::exists(socket_); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~PulseServer() {
    Kill();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;

  bool ready() const { return pid_ > 0 && std::filesystem::exists(socket_); }
  // Ends the daemon, as a sound server that goes away does.
  void Kill() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

 private:
  std::filesystem::path dir_;
  std::string socket_;
  pid_t pid_ = -1;
};

}  // namespace quirelle::testing
