#include "platform/readable_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quirelle::platform {

PosixFile::~PosixFile() {
  Close();
}

bool PosixFile::Open(const std::string& path) {
  Close();
  error_.clear();
  if (path.empty()) {
    error_ = "no file name";
    return false;
  }
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    error_ = std::strerror(errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    error_ = S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file";
    Close();
    return false;
  }
  return true;
}

void PosixFile::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

std::uint64_t PosixFile::Length() const {
  struct stat info {};
  if (fd_ < 0 || ::fstat(fd_, &info) != 0 || info.st_size < 0) {
    return 0;
  }
  return static_cast<std::uint64_t>(info.st_size);
}

std::uint32_t PosixFile::Read(void* buffer, std::uint32_t count) {
  auto* out = static_cast<char*>(buffer);
  std::uint32_t done = 0;
  while (fd_ >= 0 && done < count) {
    const ssize_t n = ::read(fd_, out + done, count - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      break;
    }
    done += static_cast<std::uint32_t>(n);
  }
  return done;
}

std::string FileTitle(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::uint32_t MemoryFile::Read(void* buffer, std::uint32_t count) {
  const std::size_t n = std::min<std::size_t>(count, bytes_.size() - offset_);
  std::memcpy(buffer, bytes_.data() + offset_, n);
  offset_ += n;
  return static_cast<std::uint32_t>(n);
}

}  // namespace quirelle::platform
