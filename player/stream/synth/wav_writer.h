// Writes 16-bit stereo WAV files through libsndfile. Samples are floats in [-1, 1], scaled by
// 32767 and rounded to the nearest step, so silence stays 0 (libsndfile's own clipping conversion
// rounds down and turns the faintest negative sample into -1); louder ones are clipped, never
// wrapped round.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <string>

#include "player/stream/synth/synth_audio_sink.h"

namespace quirelle::stream {

class WavWriter final : public SynthAudioSink {
 public:
  // Opens (creates or truncates) `path`. Check ok() / error() afterwards.
  WavWriter(const std::string& path, std::uint32_t sampleRate);
  ~WavWriter() override;  // Close()
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  // Appends `frames` frames from the two channels. Returns false (and keeps the error) when the
  // file could not take them all.
  bool Write(const float* left, const float* right, std::uint32_t frames) override;
  // Completes the header and closes the file; false if that failed. Later writes fail.
  bool Close();
  std::uint64_t FramesWritten() const { return frames_; }

  // One sample as it is stored.
  static std::int16_t ToPcm16(float sample);

 private:
  struct FileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
  };
  std::unique_ptr<SNDFILE, FileCloser> file_;
  std::string path_;
  std::string error_;
  std::uint64_t frames_ = 0;
  std::int16_t interleaved_[2 * 1024] = {};
};

}  // namespace quirelle::stream
