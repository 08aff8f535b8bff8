// Builders of made-up Standard MIDI File images for the file-model tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/byte_block.h"
#include "platform/readable_file.h"

namespace quirelle::smf::test {

using Bytes = std::vector<std::uint8_t>;

inline void AppendBigEndian(Bytes& out, std::uint32_t value, int size) {
  for (int shift = (size - 1) * 8; shift >= 0; shift -= 8) {
    out.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) {
    out.insert(out.end(), part.begin(), part.end());
  }
  return out;
}

// "MThd", length 6 (or `headerLength`, with as many word bytes as it says).
inline Bytes Header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division,
                    std::uint32_t headerLength = 6) {
  Bytes out = {'M', 'T', 'h', 'd'};
  AppendBigEndian(out, headerLength, 4);
  AppendBigEndian(out, format, 2);
  AppendBigEndian(out, tracks, 2);
  AppendBigEndian(out, division, 2);
  out.resize(8 + headerLength, 0);
  return out;
}

// A chunk whose length field says `declared` while `data` follow it.
inline Bytes Chunk(const char* id, std::uint32_t declared, const Bytes& data) {
  Bytes out(id, id + 4);
  AppendBigEndian(out, declared, 4);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

inline Bytes Chunk(const char* id, const Bytes& data) {
  return Chunk(id, static_cast<std::uint32_t>(data.size()), data);
}

inline Bytes Track(const Bytes& data) {
  return Chunk("MTrk", data);
}

// Format 1 with one track chunk per entry of `tracks` (the track data).
inline Bytes File(std::uint16_t division, std::initializer_list<Bytes> tracks) {
  Bytes out = Header(1, static_cast<std::uint16_t>(tracks.size()), division);
  for (const Bytes& data : tracks) {
    const Bytes chunk = Track(data);
    out.insert(out.end(), chunk.begin(), chunk.end());
  }
  return out;
}

inline Bytes Text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

// A meta event with delta 0 before it: 00 FF type length data.
inline Bytes Meta(std::uint8_t type, const Bytes& data) {
  // Sized up front: GCC 12 at -O3 warns falsely about an insert into a four-byte vector.
  Bytes out(4 + data.size());
  out[1] = 0xFF;
  out[2] = type;
  out[3] = static_cast<std::uint8_t>(data.size());
  std::copy(data.begin(), data.end(), out.begin() + 4);
  return out;
}

inline const Bytes kEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

inline platform::ByteBlock ToBlock(const Bytes& bytes) {
  platform::ByteBlock block = platform::AllocateBlock(bytes.size());
  if (!bytes.empty()) {
    std::memcpy(block.get(), bytes.data(), bytes.size());
  }
  return block;
}

// A file in memory. `reportedLength` lets a test claim more bytes than it holds.
class MemoryFile final : public platform::ReadableFile {
 public:
  explicit MemoryFile(Bytes bytes) : bytes_(std::move(bytes)), reportedLength_(bytes_.size()) {}
  MemoryFile(Bytes bytes, std::uint64_t reportedLength)
      : bytes_(std::move(bytes)), reportedLength_(reportedLength) {}

  std::uint64_t Length() const override { return reportedLength_; }
  std::uint32_t Read(void* buffer, std::uint32_t count) override {
    ++reads;
    const std::size_t left = bytes_.size() - offset_;
    const std::size_t n = count < left ? count : left;
    if (n != 0) {
      std::memcpy(buffer, bytes_.data() + offset_, n);
    }
    offset_ += n;
    return static_cast<std::uint32_t>(n);
  }

  int reads = 0;

 private:
  Bytes bytes_;
  std::uint64_t reportedLength_;
  std::size_t offset_ = 0;
};

}  // namespace quirelle::smf::test
