#include "tests/support/midi_image.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace quirelle::testing {
namespace {

void AppendBigEndian(Bytes& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) {
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

}  // namespace

void AppendVarLen(Bytes& out, std::uint32_t value) {
  std::uint8_t groups[5];
  int count = 0;
  do {
    groups[count++] = value & 0x7F;
    value >>= 7;
  } while (value != 0);
  while (count > 1) {
    out.push_back(groups[--count] | 0x80);
  }
  out.push_back(groups[0]);
}

TrackData& TrackData::Event(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes) {
  AppendVarLen(bytes_, delta);
  bytes_.insert(bytes_.end(), bytes);
  return *this;
}

TrackData& TrackData::Meta(std::uint32_t delta, std::uint8_t type, const Bytes& data) {
  AppendVarLen(bytes_, delta);
  bytes_.push_back(0xFF);
  bytes_.push_back(type);
  AppendVarLen(bytes_, static_cast<std::uint32_t>(data.size()));
  bytes_.insert(bytes_.end(), data.begin(), data.end());
  return *this;
}

TrackData& TrackData::Text(std::uint32_t delta, std::uint8_t type, const std::string& text) {
  return Meta(delta, type, Bytes(text.begin(), text.end()));
}

TrackData& TrackData::Tempo(std::uint32_t delta, std::uint32_t microsPerQuarter) {
  return Meta(delta, 0x51,
              Bytes{static_cast<std::uint8_t>(microsPerQuarter >> 16),
                    static_cast<std::uint8_t>(microsPerQuarter >> 8),
                    static_cast<std::uint8_t>(microsPerQuarter)});
}

TrackData& TrackData::SysEx(std::uint32_t delta, const Bytes& data) {
  AppendVarLen(bytes_, delta);
  bytes_.push_back(0xF0);
  AppendVarLen(bytes_, static_cast<std::uint32_t>(data.size()));
  bytes_.insert(bytes_.end(), data.begin(), data.end());
  return *this;
}

TrackData& TrackData::End(std::uint32_t delta) {
  return Meta(delta, 0x2F, {});
}

TrackData& TrackData::Raw(const Bytes& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

Bytes MidiImage(std::uint16_t format, std::uint16_t division,
                const std::vector<TrackData>& tracks) {
  Bytes out{'M', 'T', 'h', 'd'};
  AppendBigEndian(out, 6, 4);
  AppendBigEndian(out, format, 2);
  AppendBigEndian(out, static_cast<std::uint32_t>(tracks.size()), 2);
  AppendBigEndian(out, division, 2);
  for (const TrackData& track : tracks) {
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    AppendBigEndian(out, static_cast<std::uint32_t>(track.bytes().size()), 4);
    out.insert(out.end(), track.bytes().begin(), track.bytes().end());
  }
  return out;
}

std::string WriteTempFile(const Bytes& bytes, const std::string& name) {
  const char* base = std::getenv("TMPDIR");
  std::string dir = std::string(base != nullptr ? base : "/tmp") + "/quirelle-test-XXXXXX";
  if (::mkdtemp(dir.data()) == nullptr) {
    return {};
  }
  const std::string path = dir + "/" + name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path;
}

}  // namespace quirelle::testing
