// File encodings of 16-colour pictures: an uncompressed 4-bit BMP, and an icon file holding
// 4-bit images with their transparency masks.
#pragma once

#include <cstdint>
#include <vector>

#include "ui/res/tools/indexed_image.h"

namespace quirelle::res::tools {

using Bytes = std::vector<std::uint8_t>;

// Bottom-up rows, the standard palette; transparent pixels are written as black.
Bytes EncodeBmp4(const IndexedImage& image);
// One entry per image (each at most 256 × 256), in the given order.
Bytes EncodeIco4(const std::vector<IndexedImage>& images);

}  // namespace quirelle::res::tools
