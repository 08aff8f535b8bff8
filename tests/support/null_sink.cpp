#include "tests/support/null_sink.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>
#include <thread>

extern char** environ;

namespace quirelle::testing {

namespace fs = std::filesystem;

namespace {

// `argv` as exec takes it, valid while `argv` is.
std::vector<char*> ExecArgs(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& arg : argv) {
    args.push_back(const_cast<char*>(arg.c_str()));
  }
  args.push_back(nullptr);
  return args;
}

// Starts the daemon with none of its output: one that held ctest's pipe would keep the test
// running. It is killed when this thread ends, so a test that crashes leaves no daemon behind.
pid_t SpawnDaemon(const std::vector<std::string>& argv) {
  std::vector<char*> args = ExecArgs(argv);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  return pid;
}

}  // namespace

pid_t Spawn(const std::vector<std::string>& argv, const std::string& output) {
  std::vector<char*> args = ExecArgs(argv);
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

void Child::End(int signal) {
  if (pid_ > 0) {
    ::kill(pid_, signal);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

NullSinkServer::NullSinkServer(const NullSinkOptions& options)
    : options_(options),
      dir_(fs::temp_directory_path() / ("quirelle-null-sink-" + std::to_string(::getpid()))),
      socket_((dir_ / "native").string()) {
  fs::create_directories(dir_);
  std::ofstream script(dir_ / "sink.pa");
  script << "load-module module-null-sink sink_name=" << options.sink << " rate=" << options.rate
         << " channels=" << options.channels << "\n"
         << "set-default-sink " << options.sink << "\n";
  if (options.monitorIsDefaultSource) {
    script << "set-default-source " << options.sink << ".monitor\n";
  }
  script << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << socket_ << "\n";
  script.close();
  for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH"}) {
    ::setenv(name, dir_.c_str(), 1);
  }
  ::setenv("PULSE_SERVER", ("unix:" + socket_).c_str(), 1);
  std::vector<std::string> argv = {"pulseaudio",
                                   "-n",
                                   "-F",
                                   (dir_ / "sink.pa").string(),
                                   "--daemonize=no",
                                   "--exit-idle-time=-1",
                                   "--use-pid-file=no",
                                   "--system=no",
                                   "--disallow-exit"};
  if (!options.realtime) {
    argv.push_back("--realtime=no");
  }
  daemon_ = std::make_unique<Child>(SpawnDaemon(argv), SIGTERM);
  for (int i = 0; i < 100 && daemon_->running() && !fs::exists(socket_); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

NullSinkServer::~NullSinkServer() {
  recorder_.reset();
  daemon_.reset();
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

bool NullSinkServer::ready() const {
  return daemon_->running() && fs::exists(socket_);
}

void NullSinkServer::Kill() {
  daemon_->End(SIGKILL);
}

bool NullSinkServer::StartRecording() {
  recorder_ = std::make_unique<Child>(
      Spawn({"parec", "-d", options_.sink + ".monitor", "--rate=" + std::to_string(options_.rate),
             "--channels=" + std::to_string(options_.channels), "--format=float32le", "--raw"},
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
