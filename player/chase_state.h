// What a listener would hear in effect at a point of a song: the programs, controllers, channel
// pressure and pitch bend of each channel and the tempo, gathered from the song's start, so that
// playback can begin anywhere. Notes are left out: none that began earlier may sound.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "smf/track_event.h"

namespace quirelle::player {

class ChaseState {
 public:
  // Takes one event read before the starting point.
  void Take(const smf::TrackEvent& event);
  // The channel messages that set every channel as gathered (status | data1 << 8 | data2 << 16),
  // bank and program first, then registered and non-registered parameters, the other
  // controllers, pressure and pitch bend.
  std::vector<std::uint32_t> Messages() const;
  // The last valid Set Tempo taken (µs per quarter); 0 when there was none.
  std::uint32_t tempo() const { return tempo_; }

 private:
  // A registered or non-registered parameter and the data entered for it.
  struct Parameter {
    bool registered = true;
    std::uint8_t msb = 0;
    std::uint8_t lsb = 0;
    std::int16_t dataMsb = -1;
    std::int16_t dataLsb = -1;
  };
  struct Channel {
    std::array<std::int16_t, 128> controllers;
    std::int16_t program = -1;
    std::int16_t pressure = -1;
    std::int32_t bend = -1;
    // The parameter selected now: which kind, and its number bytes (-1 while not sent).
    bool registered = true;
    std::int16_t selectedMsb = -1;
    std::int16_t selectedLsb = -1;
    std::vector<Parameter> parameters;

    Channel() { controllers.fill(-1); }
  };

  void TakeController(Channel& channel, std::uint8_t number, std::uint8_t value);
  Parameter* Selected(Channel& channel);

  std::array<Channel, 16> channels_;
  std::uint32_t tempo_ = 0;
};

}  // namespace quirelle::player
