// SoundFont discovery.
#include "player/stream/synth/soundfont.h"

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace quirelle::stream {

std::vector<std::string> DefaultSoundFontPaths() {
  return {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
          "/usr/share/sounds/sf2/TimGM6mb.sf2"};
}

bool LooksLikeSoundFont(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    return false;
  }
  std::ifstream file(path, std::ios::binary);
  std::array<char, 12> head{};
  if (!file.read(head.data(), head.size())) {
    return false;
  }
  return std::memcmp(head.data(), "RIFF", 4) == 0 && std::memcmp(head.data() + 8, "sfbk", 4) == 0;
}

std::optional<std::string> FindSoundFont(const std::string& given,
                                         const std::vector<std::string>& candidates) {
  if (!given.empty()) {
    if (LooksLikeSoundFont(given)) {
      return given;
    }
    return std::nullopt;
  }
  for (const std::string& path : candidates) {
    if (LooksLikeSoundFont(path)) {
      return path;
    }
  }
  return std::nullopt;
}

std::optional<std::string> FindSoundFont(const std::string& given) {
  return FindSoundFont(given, DefaultSoundFontPaths());
}

}  // namespace quirelle::stream
