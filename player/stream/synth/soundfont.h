// Where the General MIDI SoundFont comes from: a file the caller names, else the first of the
// Debian locations that holds a readable SoundFont.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quirelle::stream {

// The places looked at, in order, when no file is given.
std::vector<std::string> DefaultSoundFontPaths();

// `given` when it is not empty (it must then exist and be readable: a named file is never
// replaced by another), else the first readable file of `candidates`. Nothing when none is.
std::optional<std::string> FindSoundFont(const std::string& given,
                                         const std::vector<std::string>& candidates);
std::optional<std::string> FindSoundFont(const std::string& given);

// True when `path` is a regular, readable file that starts like a SoundFont 2 ("RIFF"...."sfbk").
bool LooksLikeSoundFont(const std::string& path);

}  // namespace quirelle::stream
