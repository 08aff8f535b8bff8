// Audio file output through libsndfile, and the check of what the library can write.
#include "player/stream/synth/audio_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace quirelle::stream {
namespace {

int LibraryFormat(AudioFileFormat format) {
  switch (format) {
    case AudioFileFormat::kFlac:
      return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case AudioFileFormat::kOgg:
      return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case AudioFileFormat::kMp3:
      return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    case AudioFileFormat::kWav:
      break;
  }
  return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
}

SF_INFO StereoInfo(AudioFileFormat format, std::uint32_t sampleRate) {
  SF_INFO info{};
  info.samplerate = static_cast<int>(sampleRate);
  info.channels = 2;
  info.format = LibraryFormat(format);
  return info;
}

std::string FormatLabel(AudioFileFormat format) {
  std::string label(AudioFileFormatName(format));
  std::transform(label.begin(), label.end(), label.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return label;
}

std::string UnsupportedText(AudioFileFormat format) {
  return "this libsndfile cannot write " + FormatLabel(format) + " files";
}

// libsndfile's last open error without its "Error : " or "System error : " in front.
std::string OpenErrorText() {
  std::string text = sf_strerror(nullptr);
  for (const std::string_view prefix : {"Error : ", "System error : "}) {
    if (text.compare(0, prefix.size(), prefix) == 0) {
      text.erase(0, prefix.size());
    }
  }
  return text;
}

// A file in memory that keeps only its length: enough for libsndfile to set up an encoder.
struct DiscardedFile {
  sf_count_t length = 0;
  sf_count_t position = 0;

  static DiscardedFile& Of(void* data) { return *static_cast<DiscardedFile*>(data); }
  static sf_count_t Length(void* data) { return Of(data).length; }
  static sf_count_t Seek(sf_count_t offset, int whence, void* data) {
    DiscardedFile& file = Of(data);
    const sf_count_t base = whence == SEEK_CUR   ? file.position
                            : whence == SEEK_END ? file.length
                                                 : 0;
    file.position = std::max<sf_count_t>(0, base + offset);
    return file.position;
  }
  static sf_count_t Read(void*, sf_count_t, void*) { return 0; }
  static sf_count_t Write(const void*, sf_count_t count, void* data) {
    DiscardedFile& file = Of(data);
    file.position += count;
    file.length = std::max(file.length, file.position);
    return count;
  }
  static sf_count_t Tell(void* data) { return Of(data).position; }
};

// The rates an MPEG encoder takes. libsndfile's encoder leaks its state when it refuses a rate,
// so other rates are refused here, before it is asked.
bool Mp3TakesRate(std::uint32_t rate) {
  constexpr std::uint32_t kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
  return std::find(std::begin(kRates), std::end(kRates), rate) != std::end(kRates);
}

constexpr const char* kMp3Rates =
    "MP3 takes sample rates of 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100 and 48000 Hz";

}  // namespace

std::string AudioFileProblem(AudioFileFormat format, std::uint32_t sampleRate) {
  SF_INFO info = StereoInfo(format, sampleRate);
  if (sf_format_check(&info) == 0) {
    return UnsupportedText(format);
  }
  if (format == AudioFileFormat::kMp3 && !Mp3TakesRate(sampleRate)) {
    return "cannot write MP3 at " + std::to_string(sampleRate) + " Hz: " + kMp3Rates;
  }
  SF_VIRTUAL_IO io{&DiscardedFile::Length, &DiscardedFile::Seek, &DiscardedFile::Read,
                   &DiscardedFile::Write, &DiscardedFile::Tell};
  DiscardedFile discarded;
  SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, &discarded);
  if (file == nullptr) {
    return "cannot write " + FormatLabel(format) + " at " + std::to_string(sampleRate) +
           " Hz: " + OpenErrorText();
  }
  sf_close(file);
  return {};
}

namespace {

// A hidden name next to `path` that no other writer of this or another process takes.
std::string TemporaryPathFor(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path target(path);
  std::string name = target.filename().string();
  name.insert(0, 1, '.');
  name += ".part-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  return (target.parent_path() / name).string();
}

// Creates the temporary file (mode 0666 less the umask, as a file the library made would have).
int CreateTemporary(const std::string& path, std::string* tempPath) {
  for (;;) {
    *tempPath = TemporaryPathFor(path);
    const int fd = ::open(tempPath->c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) {
      return fd;
    }
  }
}

}  // namespace

AudioFileWriter::AudioFileWriter(const std::string& path, std::uint32_t sampleRate,
                                 AudioFileFormat format)
    : path_(path), pcm16_(format == AudioFileFormat::kWav || format == AudioFileFormat::kFlac) {
  SF_INFO info = StereoInfo(format, sampleRate);
  if (sf_format_check(&info) == 0) {
    error_ = "cannot write " + path + ": " + UnsupportedText(format);
    return;
  }
  if (format == AudioFileFormat::kMp3 && !Mp3TakesRate(sampleRate)) {
    error_ = "cannot write " + path + ": " + kMp3Rates;
    return;
  }
  // A folder in the way would only show at the rename, after the whole render.
  if (std::error_code ignored; std::filesystem::is_directory(path, ignored)) {
    error_ = "cannot write " + path + ": " + std::strerror(EISDIR);
    return;
  }
  fd_ = CreateTemporary(path, &tempPath_);
  if (fd_ < 0) {
    error_ = "cannot write " + path + ": " + std::strerror(errno);
    return;
  }
  SF_VIRTUAL_IO io{&IoLength, &IoSeek, &IoRead, &IoWrite, &IoTell};
  file_.reset(sf_open_virtual(&io, SFM_WRITE, &info, this));
  if (!file_) {
    error_ = "cannot write " + path + ": " + Reason(OpenErrorText());
    Abandon();
  }
}

AudioFileWriter::~AudioFileWriter() {
  Abandon();
}

AudioFileWriter& AudioFileWriter::Of(void* self) {
  return *static_cast<AudioFileWriter*>(self);
}

sf_count_t AudioFileWriter::IoLength(void* self) {
  struct stat status {};
  return ::fstat(Of(self).fd_, &status) == 0 ? static_cast<sf_count_t>(status.st_size) : -1;
}

sf_count_t AudioFileWriter::IoSeek(sf_count_t offset, int whence, void* self) {
  AudioFileWriter& writer = Of(self);
  const off_t at = ::lseek(writer.fd_, static_cast<off_t>(offset), whence);
  if (at < 0 && writer.systemError_ == 0) {
    writer.systemError_ = errno;
  }
  return at;
}

sf_count_t AudioFileWriter::IoRead(void* to, sf_count_t count, void* self) {
  const ssize_t n = ::read(Of(self).fd_, to, static_cast<std::size_t>(count));
  return n < 0 ? 0 : n;
}

// Short writes are carried on; a failure is kept, and the bytes taken so far are reported.
sf_count_t AudioFileWriter::IoWrite(const void* from, sf_count_t count, void* self) {
  AudioFileWriter& writer = Of(self);
  const auto* bytes = static_cast<const char*>(from);
  sf_count_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(writer.fd_, bytes + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      if (writer.systemError_ == 0) {
        writer.systemError_ = n < 0 ? errno : EIO;
      }
      break;
    }
    done += n;
  }
  writer.StartWriteback(done);
  return done;
}

void AudioFileWriter::StartWriteback(sf_count_t written) {
  unflushed_ += static_cast<std::uint64_t>(written);
  if (unflushed_ < kWritebackBytes) {
    return;
  }
  unflushed_ = 0;
  // The disk gets the file while the rest is rendered, so the close waits for little. Only a
  // hint: a failure here shows at the close's sync.
  ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
}

sf_count_t AudioFileWriter::IoTell(void* self) {
  return ::lseek(Of(self).fd_, 0, SEEK_CUR);
}

std::string AudioFileWriter::Reason(const std::string& fallback) const {
  return systemError_ != 0 ? std::strerror(systemError_) : fallback;
}

void AudioFileWriter::Abandon() {
  file_.reset();
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
    ::unlink(tempPath_.c_str());
  }
}

bool AudioFileWriter::PutInPlace() {
  const int fd = fd_;
  fd_ = -1;
  bool done = ::fsync(fd) == 0;
  if (!done) {
    systemError_ = errno;
  }
  if (::close(fd) != 0 && done) {
    systemError_ = errno;
    done = false;
  }
  if (done && ::rename(tempPath_.c_str(), path_.c_str()) != 0) {
    systemError_ = errno;
    done = false;
  }
  if (!done) {
    error_ = "cannot finish " + path_ + ": " + Reason("the file could not be written");
    ::unlink(tempPath_.c_str());
  }
  return done;
}

std::int16_t AudioFileWriter::ToPcm16(float sample) {
  const float scaled = sample * 32767.0f;
  if (!(scaled > -32767.0f)) {  // NaN too
    return scaled < 0.0f ? std::int16_t{-32767} : std::int16_t{0};
  }
  if (scaled >= 32767.0f) {
    return 32767;
  }
  // Half away from zero, as lround, without its call: in double the sum is exact.
  return static_cast<std::int16_t>(static_cast<double>(scaled) + (scaled < 0.0f ? -0.5 : 0.5));
}

float AudioFileWriter::ToUnitRange(float sample) {
  if (std::isnan(sample)) {
    return 0.0f;
  }
  return std::clamp(sample, -1.0f, 1.0f);
}

bool AudioFileWriter::WriteChunk(const float* left, const float* right, std::uint32_t count) {
  sf_count_t written = 0;
  if (pcm16_) {
    for (std::uint32_t i = 0; i < count; ++i) {
      shorts_[2 * i] = ToPcm16(left[i]);
      shorts_[2 * i + 1] = ToPcm16(right[i]);
    }
    written = sf_writef_short(file_.get(), shorts_, count);
  } else {
    for (std::uint32_t i = 0; i < count; ++i) {
      floats_[2 * i] = ToUnitRange(left[i]);
      floats_[2 * i + 1] = ToUnitRange(right[i]);
    }
    written = sf_writef_float(file_.get(), floats_, count);
  }
  return written == static_cast<sf_count_t>(count);
}

bool AudioFileWriter::Write(const float* left, const float* right, std::uint32_t frames) {
  if (!file_) {
    if (error_.empty()) {
      error_ = "cannot write " + path_ + ": the file is closed";
    }
    return false;
  }
  for (std::uint32_t done = 0; done < frames;) {
    const std::uint32_t count = std::min(kChunkFrames, frames - done);
    // The frame count, the library's own error and the bytes the system took must all agree.
    if (!WriteChunk(left + done, right + done, count) || sf_error(file_.get()) != SF_ERR_NO_ERROR ||
        systemError_ != 0) {
      error_ = "cannot write " + path_ + ": " + Reason(sf_strerror(file_.get()));
      Abandon();
      return false;
    }
    frames_ += count;
    done += count;
  }
  return true;
}

bool AudioFileWriter::Close() {
  if (!file_) {
    return ok();
  }
  // The encoders write their last frames and the header here, and some ignore a failed write.
  const int result = sf_close(file_.release());
  if (result != 0 || systemError_ != 0) {
    error_ = "cannot write " + path_ + ": " + Reason(sf_error_number(result));
  }
  if (!ok()) {
    Abandon();
    return false;
  }
  return PutInPlace();
}

}  // namespace quirelle::stream
