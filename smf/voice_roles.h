// Sung or accompaniment: which of a song's voices a singer rehearses and which accompany them.
//
// A voice accompanies when its name names an instrument (piano, organ, harp, strings, their short
// forms and German, French and Italian names), or when its name names no singer (soprano, alto,
// canto, S1, chor, ...) and its program is not a voice's (General MIDI Choir Aahs, Voice Oohs,
// Synth Voice, Lead 6 (voice), Pad 4 (choir)). Names are read as whole words in any case; an
// instrument's name wins ("Piano solo" accompanies). Any other voice is sung.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quirelle::smf {

enum class VoiceRole : std::uint8_t { kSung, kAccompaniment };

// What a voice is known by: its name as the file writes it (empty when it has none) and the
// first program it is given (none when the file sets none, so the device's default plays).
struct RoleClues {
  std::string name;
  std::optional<std::uint8_t> program;
};

bool NamesAnInstrument(std::string_view name);
bool NamesASinger(std::string_view name);
bool IsSingersProgram(std::uint8_t program);  // 0-based General MIDI program

// The role of each voice, in the order given. A file that tells nothing (no voice's name names a
// singer or an instrument, and no voice is given a program) is all sung, and so is a file in
// which no voice would be sung: a singer opened it to sing.
std::vector<VoiceRole> VoiceRoles(const std::vector<RoleClues>& voices);

}  // namespace quirelle::smf
