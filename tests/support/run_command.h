// Runs a shell command for the end-to-end tests and gives back its exit status and standard
// output.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace quirelle::testing {

struct CommandRun {
  int status = -1;  // the exit status, or 128 + the signal that ended it
  std::string out;
};

inline CommandRun RunCommand(const std::string& command) {
  CommandRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return run;
  }
  std::array<char, 65536> chunk;
  std::size_t n = 0;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
    run.out.append(chunk.data(), n);
  }
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

}  // namespace quirelle::testing
