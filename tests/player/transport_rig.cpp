#include "tests/player/transport_rig.h"

namespace quirelle::testing {

Bytes FourVoiceSong(int quarters) {
  std::vector<TrackData> tracks(1);
  tracks[0].Text(0, 0x03, "Four voices").Tempo(0, 500000).End();
  for (std::uint8_t voice = 0; voice < 4; ++voice) {
    TrackData track;
    const auto note = static_cast<std::uint8_t>(60 + voice * 4);
    for (int i = 0; i < quarters; ++i) {
      track.Event(0, {static_cast<std::uint8_t>(0x90 | voice), note, 0x50});
      track.Event(480, {static_cast<std::uint8_t>(0x80 | voice), note, 0x40});
    }
    tracks.push_back(track.End());
  }
  return MidiImage(1, 480, tracks);
}

}  // namespace quirelle::testing
