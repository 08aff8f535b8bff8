// WAV output through libsndfile.
#include "player/stream/synth/wav_writer.h"

#include <algorithm>
#include <cmath>

namespace quirelle::stream {

WavWriter::WavWriter(const std::string& path, std::uint32_t sampleRate) : path_(path) {
  SF_INFO info{};
  info.samplerate = static_cast<int>(sampleRate);
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  file_.reset(sf_open(path.c_str(), SFM_WRITE, &info));
  if (!file_) {
    error_ = "cannot write " + path + ": " + sf_strerror(nullptr);
    return;
  }
}

WavWriter::~WavWriter() {
  Close();
}

std::int16_t WavWriter::ToPcm16(float sample) {
  const float scaled = sample * 32767.0f;
  if (!(scaled > -32767.0f)) {  // NaN too
    return scaled < 0.0f ? std::int16_t{-32767} : std::int16_t{0};
  }
  if (scaled >= 32767.0f) {
    return 32767;
  }
  return static_cast<std::int16_t>(std::lround(scaled));
}

bool WavWriter::Write(const float* left, const float* right, std::uint32_t frames) {
  if (!file_) {
    if (error_.empty()) {
      error_ = "cannot write " + path_ + ": the file is closed";
    }
    return false;
  }
  constexpr std::uint32_t kChunk = sizeof interleaved_ / sizeof interleaved_[0] / 2;
  for (std::uint32_t done = 0; done < frames;) {
    const std::uint32_t count = std::min(kChunk, frames - done);
    for (std::uint32_t i = 0; i < count; ++i) {
      interleaved_[2 * i] = ToPcm16(left[done + i]);
      interleaved_[2 * i + 1] = ToPcm16(right[done + i]);
    }
    const sf_count_t written = sf_writef_short(file_.get(), interleaved_, count);
    if (written != static_cast<sf_count_t>(count)) {
      error_ = "cannot write " + path_ + ": " + sf_strerror(file_.get());
      return false;
    }
    frames_ += count;
    done += count;
  }
  return true;
}

bool WavWriter::Close() {
  if (!file_) {
    return ok();
  }
  const int result = sf_close(file_.release());
  if (result != 0 && error_.empty()) {
    error_ = "cannot finish " + path_ + ": " + sf_error_number(result);
  }
  return ok();
}

}  // namespace quirelle::stream
