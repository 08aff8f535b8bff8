// A small 16-colour picture: palette indices into the standard 16-colour palette, with a
// transparent index for icons, and the drawing operations the button faces and icons need.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quirelle::res::tools {

// The standard 16-colour palette, in its usual order.
enum Colour : std::uint8_t {
  kBlack = 0,
  kDarkRed = 1,
  kDarkGreen = 2,
  kDarkYellow = 3,
  kDarkBlue = 4,
  kDarkMagenta = 5,
  kDarkCyan = 6,
  kLightGrey = 7,
  kGrey = 8,
  kRed = 9,
  kGreen = 10,
  kYellow = 11,
  kBlue = 12,
  kMagenta = 13,
  kCyan = 14,
  kWhite = 15,
  kTransparent = 16,  // icons only: shown through the mask
};

struct Rgb {
  std::uint8_t r, g, b;
};
const std::array<Rgb, 16>& StandardPalette();

struct Point {
  double x, y;
};

class IndexedImage {
 public:
  IndexedImage(int width, int height, std::uint8_t fill);

  int width() const { return width_; }
  int height() const { return height_; }
  std::uint8_t At(int x, int y) const { return pixels_[Index(x, y)]; }
  void Set(int x, int y, std::uint8_t colour);

  // Inclusive pixel rectangle, clipped to the image.
  void FillRect(int left, int top, int right, int bottom, std::uint8_t colour);
  // Pixels whose centres lie inside the triangle.
  void FillTriangle(Point a, Point b, Point c, std::uint8_t colour);
  // Pixels whose centres lie inside the ellipse.
  void FillEllipse(Point centre, double radiusX, double radiusY, std::uint8_t colour);
  void DrawHLine(int left, int right, int y, std::uint8_t colour) {
    FillRect(left, y, right, y, colour);
  }
  void DrawVLine(int x, int top, int bottom, std::uint8_t colour) {
    FillRect(x, top, x, bottom, colour);
  }
  void DrawFrame(int left, int top, int right, int bottom, std::uint8_t colour);
  // Lines of '#' (set) and '.' (left alone), placed with their top-left at (x, y).
  void Stamp(int x, int y, const std::vector<std::string_view>& rows, std::uint8_t colour);
  // Replaces every pixel of one colour by another.
  void Recolour(std::uint8_t from, std::uint8_t to);

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(x);
  }

  int width_;
  int height_;
  std::vector<std::uint8_t> pixels_;
};

}  // namespace quirelle::res::tools
