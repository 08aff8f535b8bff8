// Drawing on 16-colour pictures, by pixel centres so that shapes are symmetric.
#include "ui/res/tools/indexed_image.h"

#include <algorithm>

namespace quirelle::res::tools {

const std::array<Rgb, 16>& StandardPalette() {
  static const std::array<Rgb, 16> palette{{
      {0x00, 0x00, 0x00},
      {0x80, 0x00, 0x00},
      {0x00, 0x80, 0x00},
      {0x80, 0x80, 0x00},
      {0x00, 0x00, 0x80},
      {0x80, 0x00, 0x80},
      {0x00, 0x80, 0x80},
      {0xC0, 0xC0, 0xC0},
      {0x80, 0x80, 0x80},
      {0xFF, 0x00, 0x00},
      {0x00, 0xFF, 0x00},
      {0xFF, 0xFF, 0x00},
      {0x00, 0x00, 0xFF},
      {0xFF, 0x00, 0xFF},
      {0x00, 0xFF, 0xFF},
      {0xFF, 0xFF, 0xFF},
  }};
  return palette;
}

IndexedImage::IndexedImage(int width, int height, std::uint8_t fill)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), fill) {}

void IndexedImage::Set(int x, int y, std::uint8_t colour) {
  if (x >= 0 && y >= 0 && x < width_ && y < height_) {
    pixels_[Index(x, y)] = colour;
  }
}

void IndexedImage::FillRect(int left, int top, int right, int bottom, std::uint8_t colour) {
  for (int y = std::max(top, 0); y <= std::min(bottom, height_ - 1); ++y) {
    for (int x = std::max(left, 0); x <= std::min(right, width_ - 1); ++x) {
      pixels_[Index(x, y)] = colour;
    }
  }
}

void IndexedImage::DrawFrame(int left, int top, int right, int bottom, std::uint8_t colour) {
  DrawHLine(left, right, top, colour);
  DrawHLine(left, right, bottom, colour);
  DrawVLine(left, top, bottom, colour);
  DrawVLine(right, top, bottom, colour);
}

void IndexedImage::FillTriangle(Point a, Point b, Point c, std::uint8_t colour) {
  auto edge = [](Point p, Point q, Point r) {
    return (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x);
  };
  const double area = edge(a, b, c);
  if (area == 0) {
    return;
  }
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const Point centre{x + 0.5, y + 0.5};
      const double e0 = edge(a, b, centre) / area;
      const double e1 = edge(b, c, centre) / area;
      const double e2 = edge(c, a, centre) / area;
      if (e0 >= 0 && e1 >= 0 && e2 >= 0) {
        pixels_[Index(x, y)] = colour;
      }
    }
  }
}

void IndexedImage::FillEllipse(Point centre, double radiusX, double radiusY, std::uint8_t colour) {
  if (radiusX <= 0 || radiusY <= 0) {
    return;
  }
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const double dx = (x + 0.5 - centre.x) / radiusX;
      const double dy = (y + 0.5 - centre.y) / radiusY;
      if (dx * dx + dy * dy <= 1.0) {
        pixels_[Index(x, y)] = colour;
      }
    }
  }
}

void IndexedImage::Stamp(int x, int y, const std::vector<std::string_view>& rows,
                         std::uint8_t colour) {
  for (std::size_t row = 0; row < rows.size(); ++row) {
    for (std::size_t column = 0; column < rows[row].size(); ++column) {
      if (rows[row][column] == '#') {
        Set(x + static_cast<int>(column), y + static_cast<int>(row), colour);
      }
    }
  }
}

void IndexedImage::Recolour(std::uint8_t from, std::uint8_t to) {
  std::replace(pixels_.begin(), pixels_.end(), from, to);
}

}  // namespace quirelle::res::tools
