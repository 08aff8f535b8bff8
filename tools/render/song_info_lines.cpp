#include "tools/render/song_info_lines.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "midi/vocabulary.h"
#include "smf/event_reader.h"
#include "smf/text.h"

namespace quirelle::render {

std::string SongInfoLines(const player::CMidiStreamPlayer& engine, const std::string& path) {
  std::string lines = "title: " + smf::DisplayTitle(engine.file().title(), path) + "\n";
  const std::vector<std::uint8_t>& channels = engine.file().voiceMap().voiceChannels();
  const std::vector<smf::VoiceRole>& roles = engine.file().roles();
  for (std::size_t voice = 0; voice < channels.size(); ++voice) {
    const bool accompaniment =
        voice < roles.size() && roles[voice] == smf::VoiceRole::kAccompaniment;
    lines += "voice " + std::to_string(voice + 1) + ": " +
             smf::DisplayText(engine.channelNames()[channels[voice]]) +
             (accompaniment ? " (accompaniment)" : "") + "\n";
  }
  const auto bar = engine.file().LastBar();
  lines += "bars: " + (bar ? std::to_string(*bar) : std::string("-")) + "\n";
  return lines;
}

std::string SecondsLine(double seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "seconds: %.1f\n", seconds);
  return text;
}

double PassageSeconds(const smf::MidiFile& file, const smf::TempoMap& tempos,
                      const player::Passage& passage, std::uint32_t tempoPercent) {
  const std::uint32_t end = std::min(passage.endTick, tempos.endTick());
  const std::uint32_t from = std::min(passage.fromTick, end);
  double play = tempos.SecondsTo(end, tempoPercent) - tempos.SecondsTo(from, tempoPercent);
  const std::uint32_t division = file.division();
  if (passage.countIn && !midi::IsSmpteDivision(division) && division != 0) {
    const smf::TimeSigEntry& metre = file.timeSignatures().MetreAt(from);
    const std::uint64_t beat = std::max<std::uint64_t>(1, (4 * division) >> metre.denominatorPower);
    play += static_cast<double>(beat * metre.numerator) *
            smf::ScaledTempo(tempos.TempoAt(from), tempoPercent) / division / 1e6;
  }
  return play * std::max<std::uint32_t>(passage.plays, 1);
}

}  // namespace quirelle::render
