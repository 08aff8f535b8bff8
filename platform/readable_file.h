// A file opened for reading: what the loader is handed (its length and a read of N bytes).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quirelle::platform {

class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  virtual std::uint64_t Length() const = 0;
  // Reads up to `count` bytes; returns how many were read (0 at the end or on an error).
  virtual std::uint32_t Read(void* buffer, std::uint32_t count) = 0;
};

// A file of the file system, closed when the object goes.
class PosixFile final : public ReadableFile {
 public:
  PosixFile() = default;
  ~PosixFile() override;
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  // Opens `path` for reading only; false (with errno's text in Error()) when it cannot.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Error() const { return error_; }

  std::uint64_t Length() const override;
  std::uint32_t Read(void* buffer, std::uint32_t count) override;

 private:
  int fd_ = -1;
  std::string error_;
};

// Bytes held in memory, read as a file is: a song the program makes itself.
class MemoryFile final : public ReadableFile {
 public:
  explicit MemoryFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t Length() const override { return bytes_.size(); }
  std::uint32_t Read(void* buffer, std::uint32_t count) override;

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t offset_ = 0;
};

// The name without its folder, as a window title shows it.
std::string FileTitle(const std::string& path);

}  // namespace quirelle::platform
