// Writes stereo audio files through libsndfile: WAV and FLAC as 16-bit PCM, Ogg Vorbis and MP3
// (where this libsndfile has the MP3 encoder) from the float samples. For 16 bits samples are
// floats in [-1, 1], scaled by 32767 and rounded to the nearest step, so silence stays 0
// (libsndfile's own clipping conversion rounds down and turns the faintest negative sample into
// -1); louder ones are clipped, never wrapped round. The lossy encoders get the samples clipped
// to [-1, 1].
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <string>

#include "player/stream/synth/audio_file_format.h"
#include "player/stream/synth/synth_audio_sink.h"

namespace quirelle::stream {

class AudioFileWriter final : public SynthAudioSink {
 public:
  // Opens (creates or truncates) `path`. Check ok() / error() afterwards.
  AudioFileWriter(const std::string& path, std::uint32_t sampleRate,
                  AudioFileFormat format = AudioFileFormat::kWav);
  ~AudioFileWriter() override;  // Close()
  AudioFileWriter(const AudioFileWriter&) = delete;
  AudioFileWriter& operator=(const AudioFileWriter&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  // Appends `frames` frames from the two channels. Returns false (and keeps the error) when the
  // file could not take them all.
  bool Write(const float* left, const float* right, std::uint32_t frames) override;
  // Completes the file (header, last encoded frames) and closes it; false if that failed. Later
  // writes fail.
  bool Close();
  std::uint64_t FramesWritten() const { return frames_; }

  // One sample as a 16-bit file stores it.
  static std::int16_t ToPcm16(float sample);
  // One sample as the lossy encoders get it (NaN as silence).
  static float ToUnitRange(float sample);

 private:
  struct FileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
  };
  static constexpr std::uint32_t kChunkFrames = 1024;
  bool WriteChunk(const float* left, const float* right, std::uint32_t count);

  std::unique_ptr<SNDFILE, FileCloser> file_;
  std::string path_;
  std::string error_;
  bool pcm16_ = true;
  std::uint64_t frames_ = 0;
  std::int16_t shorts_[2 * kChunkFrames] = {};
  float floats_[2 * kChunkFrames] = {};
};

// Empty when this libsndfile writes `format` at `sampleRate`, else why not, in one line ("this
// libsndfile cannot write MP3 files", or the encoder's word on the rate). Writes no file.
std::string AudioFileProblem(AudioFileFormat format, std::uint32_t sampleRate);

}  // namespace quirelle::stream
