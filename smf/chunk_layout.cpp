// Header and chunk walking over a file image.
#include "smf/chunk_layout.h"

#include <cstring>

namespace quirelle::smf {

namespace {

bool HasId(const std::uint8_t* bytes, const char (&id)[5]) {
  return std::memcmp(bytes, id, 4) == 0;
}

}  // namespace

std::uint16_t ReadBigEndian16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
}

std::uint32_t ReadBigEndian32(const std::uint8_t* bytes) {
  return (static_cast<std::uint32_t>(bytes[0]) << 24) |
         (static_cast<std::uint32_t>(bytes[1]) << 16) |
         (static_cast<std::uint32_t>(bytes[2]) << 8) | static_cast<std::uint32_t>(bytes[3]);
}

bool ReadFileHeader(const std::uint8_t* image, std::uint32_t imageLength, FileHeader& header) {
  if (image == nullptr || imageLength < kFileHeaderSize) {
    return false;
  }
  if (!HasId(image, "MThd") || ReadBigEndian32(image + 4) != 6) {
    return false;
  }
  header.format = ReadBigEndian16(image + 8);
  header.trackCount = ReadBigEndian16(image + 10);
  header.division = ReadBigEndian16(image + 12);
  return true;
}

bool NextTrackChunk(const std::uint8_t* image, std::uint32_t imageLength, std::uint64_t& offset,
                    TrackChunk& chunk) {
  // Offsets are 64-bit so that a hostile length cannot wrap a position back into the image.
  while (offset + kChunkHeaderSize <= imageLength) {
    const std::uint8_t* header = image + offset;
    const std::uint64_t dataOffset = offset + kChunkHeaderSize;
    const std::uint32_t declared = ReadBigEndian32(header + 4);
    offset = dataOffset + declared;
    if (HasId(header, "MTrk")) {
      const std::uint64_t available = imageLength - dataOffset;
      chunk.dataOffset = static_cast<std::uint32_t>(dataOffset);
      chunk.length = declared <= available ? declared : static_cast<std::uint32_t>(available);
      return true;
    }
  }
  return false;
}

}  // namespace quirelle::smf
