// BMP and ICO writing: little-endian headers, the palette, then the pixel rows bottom-up, each
// padded to a multiple of four bytes.
#include "ui/res/tools/image_files.h"

namespace quirelle::res::tools {
namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kPaletteSize = 16 * 4;

void Put16(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void Put32(Bytes& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

std::uint32_t ColourStride(int width) {
  return ((static_cast<std::uint32_t>(width) * 4 + 31) / 32) * 4;
}
std::uint32_t MaskStride(int width) {
  return ((static_cast<std::uint32_t>(width) + 31) / 32) * 4;
}

std::uint8_t ColourAt(const IndexedImage& image, int x, int y) {
  const std::uint8_t index = image.At(x, y);
  return index == kTransparent ? std::uint8_t{kBlack} : static_cast<std::uint8_t>(index & 0x0F);
}

void PutInfoHeader(Bytes& out, const IndexedImage& image, int storedHeight,
                   std::uint32_t imageBytes) {
  Put32(out, kInfoHeaderSize);
  Put32(out, static_cast<std::uint32_t>(image.width()));
  Put32(out, static_cast<std::uint32_t>(storedHeight));
  Put16(out, 1);  // planes
  Put16(out, 4);  // bits per pixel
  Put32(out, 0);  // no compression
  Put32(out, imageBytes);
  Put32(out, 0);   // horizontal resolution: unspecified
  Put32(out, 0);   // vertical resolution: unspecified
  Put32(out, 16);  // colours used
  Put32(out, 0);   // all colours important
}

void PutPalette(Bytes& out) {
  for (const Rgb& colour : StandardPalette()) {
    out.push_back(colour.b);
    out.push_back(colour.g);
    out.push_back(colour.r);
    out.push_back(0);
  }
}

void PutColourRows(Bytes& out, const IndexedImage& image) {
  const std::uint32_t stride = ColourStride(image.width());
  for (int y = image.height() - 1; y >= 0; --y) {
    Bytes row(stride, 0);
    for (int x = 0; x < image.width(); ++x) {
      const std::uint8_t colour = ColourAt(image, x, y);
      row[static_cast<std::size_t>(x / 2)] |=
          static_cast<std::uint8_t>(x % 2 == 0 ? colour << 4 : colour);
    }
    out.insert(out.end(), row.begin(), row.end());
  }
}

void PutMaskRows(Bytes& out, const IndexedImage& image) {
  const std::uint32_t stride = MaskStride(image.width());
  for (int y = image.height() - 1; y >= 0; --y) {
    Bytes row(stride, 0);
    for (int x = 0; x < image.width(); ++x) {
      if (image.At(x, y) == kTransparent) {
        row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
}

std::uint32_t IconImageBytes(const IndexedImage& image) {
  const auto rows = static_cast<std::uint32_t>(image.height());
  return kInfoHeaderSize + kPaletteSize +
         rows * (ColourStride(image.width()) + MaskStride(image.width()));
}

}  // namespace

Bytes EncodeBmp4(const IndexedImage& image) {
  const std::uint32_t pixelBytes =
      ColourStride(image.width()) * static_cast<std::uint32_t>(image.height());
  const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize + kPaletteSize;
  Bytes out;
  out.reserve(offset + pixelBytes);
  out.push_back('B');
  out.push_back('M');
  Put32(out, offset + pixelBytes);
  Put32(out, 0);  // reserved
  Put32(out, offset);
  PutInfoHeader(out, image, image.height(), pixelBytes);
  PutPalette(out);
  PutColourRows(out, image);
  return out;
}

Bytes EncodeIco4(const std::vector<IndexedImage>& images) {
  constexpr std::uint32_t kDirectorySize = 6;
  constexpr std::uint32_t kEntrySize = 16;
  Bytes out;
  Put16(out, 0);  // reserved
  Put16(out, 1);  // icon
  Put16(out, static_cast<std::uint32_t>(images.size()));
  std::uint32_t offset = kDirectorySize + kEntrySize * static_cast<std::uint32_t>(images.size());
  for (const IndexedImage& image : images) {
    const std::uint32_t bytes = IconImageBytes(image);
    out.push_back(static_cast<std::uint8_t>(image.width() & 0xFF));  // 256 is written as 0
    out.push_back(static_cast<std::uint8_t>(image.height() & 0xFF));
    out.push_back(16);  // colours
    out.push_back(0);   // reserved
    Put16(out, 1);      // planes
    Put16(out, 4);      // bits per pixel
    Put32(out, bytes);
    Put32(out, offset);
    offset += bytes;
  }
  for (const IndexedImage& image : images) {
    const std::uint32_t rows = static_cast<std::uint32_t>(image.height());
    PutInfoHeader(out, image, image.height() * 2,
                  rows * (ColourStride(image.width()) + MaskStride(image.width())));
    PutPalette(out);
    PutColourRows(out, image);
    PutMaskRows(out, image);
  }
  return out;
}

}  // namespace quirelle::res::tools
