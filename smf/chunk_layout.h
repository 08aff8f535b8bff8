// The byte layout of a Standard MIDI File image: the header chunk and the walk over the chunks
// that follow it. Every read here is checked against the image length.
#pragma once

#include <cstdint>

namespace quirelle::smf {

inline constexpr std::uint32_t kFileHeaderSize = 14;  // "MThd", length 6, three words
inline constexpr std::uint32_t kChunkHeaderSize = 8;  // four-byte id, big-endian length

struct FileHeader {
  std::uint16_t format = 0;
  std::uint16_t trackCount = 0;
  std::uint16_t division = 0;
};

// One track chunk found in the image. `length` is clipped to the bytes the image holds.
struct TrackChunk {
  std::uint32_t dataOffset = 0;
  std::uint32_t length = 0;
};

std::uint16_t ReadBigEndian16(const std::uint8_t* bytes);
std::uint32_t ReadBigEndian32(const std::uint8_t* bytes);

// True when the image begins with a complete "MThd" chunk of length 6; fills `header`.
bool ReadFileHeader(const std::uint8_t* image, std::uint32_t imageLength, FileHeader& header);

// Finds the next "MTrk" chunk whose header starts at or after `offset`, passing over chunks of
// any other type by their length. False when a chunk header does not fit in the image. On
// success `offset` is moved to where the chunk after the found one begins.
bool NextTrackChunk(const std::uint8_t* image, std::uint32_t imageLength, std::uint64_t& offset,
                    TrackChunk& chunk);

}  // namespace quirelle::smf
