// What `quirelle-render --info` prints: the texts the player window shows for a song, its last
// bar and its length; and how long a passage of it lasts, from its tempo map, without playing it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "player/midi_stream_player.h"
#include "player/passage.h"
#include "smf/midi_file.h"
#include "smf/tempo_map.h"

namespace quirelle::render {

// "title: T", "voice 1: N1" … "voice 4: N4", "bars: B" ("-" for a song timed in SMPTE
// frames), each ending in a newline, for a loaded song read from `path`.
std::string SongInfoLines(const player::CMidiStreamPlayer& engine, const std::string& path);

// "seconds: S", one decimal, and a newline.
std::string SecondsLine(double seconds);

// How long playing `passage` of the song lasts at `tempoPercent`: each play from its start to its
// end (or the song's), with its bar of count-in clicks; no release tail.
double PassageSeconds(const smf::MidiFile& file, const smf::TempoMap& tempos,
                      const player::Passage& passage, std::uint32_t tempoPercent);

}  // namespace quirelle::render
