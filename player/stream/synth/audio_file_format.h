// The audio file formats the offline synthesizer writes, by the name they go by on a command
// line, which is also their file extension.
#pragma once

#include <array>
#include <cctype>
#include <optional>
#include <string_view>

namespace quirelle::stream {

enum class AudioFileFormat { kWav, kFlac, kOgg, kMp3 };

inline constexpr std::array<AudioFileFormat, 4> kAudioFileFormats = {
    AudioFileFormat::kWav, AudioFileFormat::kFlac, AudioFileFormat::kOgg, AudioFileFormat::kMp3};

// "wav", "flac", "ogg" or "mp3".
constexpr std::string_view AudioFileFormatName(AudioFileFormat format) {
  switch (format) {
    case AudioFileFormat::kFlac:
      return "flac";
    case AudioFileFormat::kOgg:
      return "ogg";
    case AudioFileFormat::kMp3:
      return "mp3";
    case AudioFileFormat::kWav:
      break;
  }
  return "wav";
}

// The format a name (or a file extension without its dot) stands for, in any letter case.
inline std::optional<AudioFileFormat> AudioFileFormatNamed(std::string_view name) {
  for (const AudioFileFormat format : kAudioFileFormats) {
    const std::string_view known = AudioFileFormatName(format);
    bool same = known.size() == name.size();
    for (std::size_t i = 0; same && i < name.size(); ++i) {
      same = std::tolower(static_cast<unsigned char>(name[i])) == known[i];
    }
    if (same) {
      return format;
    }
  }
  return std::nullopt;
}

}  // namespace quirelle::stream
