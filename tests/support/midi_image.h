// Builds Standard MIDI File images in memory for tests: a header, tracks of timed events.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace quirelle::testing {

using Bytes = std::vector<std::uint8_t>;

// Appends a variable-length quantity.
void AppendVarLen(Bytes& out, std::uint32_t value);

// The data of one track: each call appends a delta time and one event.
class TrackData {
 public:
  TrackData& Event(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes);
  TrackData& Meta(std::uint32_t delta, std::uint8_t type, const Bytes& data);
  TrackData& Text(std::uint32_t delta, std::uint8_t type, const std::string& text);
  TrackData& Tempo(std::uint32_t delta, std::uint32_t microsPerQuarter);
  TrackData& SysEx(std::uint32_t delta, const Bytes& data);
  TrackData& End(std::uint32_t delta = 0);
  TrackData& Raw(const Bytes& bytes);
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
};

// A whole file: MThd with the given format and division, then one MTrk per track.
Bytes MidiImage(std::uint16_t format, std::uint16_t division, const std::vector<TrackData>& tracks);

// Writes `bytes` to a new temporary file and returns its path.
std::string WriteTempFile(const Bytes& bytes, const std::string& name);

}  // namespace quirelle::testing
