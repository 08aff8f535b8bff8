// Writes stereo audio files through libsndfile: WAV and FLAC as 16-bit PCM, Ogg Vorbis and MP3
// (where this libsndfile has the MP3 encoder) from the float samples. For 16 bits samples are
// floats in [-1, 1], scaled by 32767 and rounded to the nearest step, so silence stays 0
// (libsndfile's own clipping conversion rounds down and turns the faintest negative sample into
// -1); louder ones are clipped, never wrapped round. The lossy encoders get the samples clipped
// to [-1, 1].
//
// The file appears whole or not at all: the samples go to a hidden temporary file in the target's
// folder, every write is checked (the library's word and the bytes the system took), and only a
// file closed, synced to the disk and complete is renamed over the target. On any failure the
// temporary file is removed and the error names the file and the system's reason ("No space left
// on device").
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
  // Opens a temporary file next to `path`. Check ok() / error() afterwards.
  AudioFileWriter(const std::string& path, std::uint32_t sampleRate,
                  AudioFileFormat format = AudioFileFormat::kWav);
  ~AudioFileWriter() override;  // without a successful Close, removes the temporary file
  AudioFileWriter(const AudioFileWriter&) = delete;
  AudioFileWriter& operator=(const AudioFileWriter&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  // Appends `frames` frames from the two channels. Returns false (and keeps the error) when the
  // file could not take them all.
  bool Write(const float* left, const float* right, std::uint32_t frames) override;
  // Completes the file (header, last encoded frames), syncs it and puts it in place of `path`;
  // false if any of that or an earlier write failed, and then no file is left. Later writes fail.
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
  // Written bytes between two starts of the disk's writeback.
  static constexpr std::uint64_t kWritebackBytes = 1 << 20;
  void StartWriteback(sf_count_t written);
  bool WriteChunk(const float* left, const float* right, std::uint32_t count);
  // The system's reason for the first failed write, else `fallback`.
  std::string Reason(const std::string& fallback) const;
  // Closes and removes the temporary file.
  void Abandon();
  // Syncs and closes the temporary file and renames it to `path_`; false with error_ set.
  bool PutInPlace();

  // libsndfile writes through these, so every byte count and errno is seen here.
  static AudioFileWriter& Of(void* self);
  static sf_count_t IoLength(void* self);
  static sf_count_t IoSeek(sf_count_t offset, int whence, void* self);
  static sf_count_t IoRead(void* to, sf_count_t count, void* self);
  static sf_count_t IoWrite(const void* from, sf_count_t count, void* self);
  static sf_count_t IoTell(void* self);

  std::unique_ptr<SNDFILE, FileCloser> file_;
  int fd_ = -1;          // the temporary file, open until put in place or abandoned
  int systemError_ = 0;  // errno of the first failed write, seek or sync
  std::string tempPath_;
  std::string path_;
  std::string error_;
  bool pcm16_ = true;
  std::uint64_t frames_ = 0;
  std::uint64_t unflushed_ = 0;
  std::int16_t shorts_[2 * kChunkFrames] = {};
  float floats_[2 * kChunkFrames] = {};
};

// Empty when this libsndfile writes `format` at `sampleRate`, else why not, in one line ("this
// libsndfile cannot write MP3 files", or the encoder's word on the rate). Writes no file.
std::string AudioFileProblem(AudioFileFormat format, std::uint32_t sampleRate);

}  // namespace quirelle::stream
