#include "tests/support/null_sink.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace quirelle::testing {

namespace fs = std::filesystem;

pid_t Spawn(const std::vector<std::string>& argv, const std::string& output) {
  std::vector<char*> args;
  for (const std::string& arg : argv) {
    args.push_back(const_cast<char*>(arg.c_str()));
  }
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!output.empty()) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
    pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

Child::Child(pid_t pid, int signal) : pid_(pid), signal_(signal) {}

Child::~Child() {
  End();
}

void Child::End() {
  if (pid_ > 0) {
    ::kill(pid_, signal_);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

NullSinkServer::NullSinkServer(std::uint32_t sampleRate)
    : dir_(fs::temp_directory_path() / ("quirelle-null-sink-" + std::to_string(::getpid()))),
      sampleRate_(sampleRate) {
  fs::create_directories(dir_);
  const std::string socket = (dir_ / "native").string();
  std::ofstream(dir_ / "sink.pa")
      << "load-module module-null-sink sink_name=quirelle rate=" << sampleRate << " channels=2\n"
      << "set-default-sink quirelle\n"
      << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << socket << "\n";
  for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH"}) {
    ::setenv(name, dir_.c_str(), 1);
  }
  ::setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
  daemon_ = std::make_unique<Child>(
      Spawn({"pulseaudio", "-n", "-F", (dir_ / "sink.pa").string(), "--daemonize=no",
             "--exit-idle-time=-1", "--use-pid-file=no", "--system=no"}),
      SIGTERM);
  for (int i = 0; i < 50 && !fs::exists(socket); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ready_ = daemon_->running() && fs::exists(socket);
}

NullSinkServer::~NullSinkServer() {
  recorder_.reset();
  daemon_.reset();
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

bool NullSinkServer::StartRecording() {
  recorder_ = std::make_unique<Child>(
      Spawn({"parec", "-d", "quirelle.monitor", "--rate=" + std::to_string(sampleRate_),
             "--channels=2", "--format=float32le", "--raw"},
            (dir_ / "monitor.raw").string()),
      SIGINT);
  // parec connects before the sound that is to be recorded starts.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  return recorder_->running();
}

std::vector<float> NullSinkServer::StopRecording() {
  recorder_.reset();
  std::ifstream in(dir_ / "monitor.raw", std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  std::vector<float> samples(bytes.size() / sizeof(float));
  std::copy_n(bytes.data(), samples.size() * sizeof(float),
              reinterpret_cast<char*>(samples.data()));
  return samples;
}

}  // namespace quirelle::testing
