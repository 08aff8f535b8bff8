// Drawing the button faces and icons. Each transport button has one picture drawn in four
// colourings: up (black on magenta), down (black on dark magenta), disabled (grey on light
// grey) and focused, which repeats one of the others or, for Rewind, is black on light grey.
// Open writes its word in white on every face.
#include "ui/res/tools/pictures.h"

#include <functional>

#include "ui/res/resource_ids.h"

namespace quirelle::res::tools {
namespace {

using Picture = std::function<void(IndexedImage&, std::uint8_t ink)>;

void DrawSelect(IndexedImage& image, std::uint8_t ink) {
  // Bold letters 9 pixels high (x-height 6), 38 pixels wide with 1-pixel gaps.
  const std::vector<std::string_view> s{".####.", "##..##", "##....", "##....", ".####.",
                                        "....##", "....##", "##..##", ".####."};
  const std::vector<std::string_view> e{"......", "......", "......", ".####.", "##..##",
                                        "######", "##....", "##..##", ".####."};
  const std::vector<std::string_view> l{"###.", ".##.", ".##.", ".##.", ".##.",
                                        ".##.", ".##.", ".##.", "####"};
  const std::vector<std::string_view> c{"......", "......", "......", ".####.", "##..##",
                                        "##....", "##....", "##..##", ".####."};
  const std::vector<std::string_view> t{".....", ".##..", ".##..", "#####", ".##..",
                                        ".##..", ".##..", ".##..", "..###"};
  const int top = 19;
  int x = 5;
  for (const auto* glyph : {&s, &e, &l, &e, &c, &t}) {
    image.Stamp(x, top, *glyph, ink);
    x += static_cast<int>(glyph->front().size()) + 1;
  }
}

void DrawPlay(IndexedImage& image, std::uint8_t ink) {
  image.FillTriangle({17, 12}, {35, 24}, {17, 36}, ink);
}

void DrawPause(IndexedImage& image, std::uint8_t ink) {
  image.FillRect(15, 12, 20, 35, ink);
  image.FillRect(27, 12, 32, 35, ink);
}

void DrawStop(IndexedImage& image, std::uint8_t ink) {
  image.FillEllipse({24, 24}, 11, 11, ink);
}

void DrawRewind(IndexedImage& image, std::uint8_t ink) {
  image.FillRect(13, 12, 16, 35, ink);
  image.FillTriangle({35, 12}, {35, 36}, {17, 24}, ink);
}

IndexedImage Face(const Picture& picture, std::uint8_t ink, std::uint8_t paper) {
  IndexedImage image(kFaceSize, kFaceSize, paper);
  picture(image, ink);
  return image;
}

struct Colouring {
  std::uint8_t ink;
  std::uint8_t paper;
};

constexpr Colouring kUp{kBlack, kMagenta};
constexpr Colouring kDown{kBlack, kDarkMagenta};
constexpr Colouring kDisabled{kGrey, kLightGrey};
constexpr Colouring kBlackOnGrey{kBlack, kLightGrey};

// Open's word is white whatever the face.
Colouring ForOpen(Colouring colouring) {
  return {kWhite, colouring.paper};
}

void AddButton(std::vector<FacePicture>& faces, int firstId, const Picture& picture,
               const std::array<Colouring, 4>& colourings) {
  for (int i = 0; i < 4; ++i) {
    const Colouring& colouring = colourings[static_cast<std::size_t>(i)];
    faces.push_back({firstId + i, Face(picture, colouring.ink, colouring.paper)});
  }
}

IndexedImage PianoKeys32() {
  IndexedImage image(32, 32, kTransparent);
  image.FillRect(0, 5, 31, 26, kWhite);
  image.DrawFrame(0, 5, 31, 26, kBlack);
  for (int x : {6, 12, 18, 24}) {  // five white keys, C to G
    image.DrawVLine(x, 5, 26, kBlack);
  }
  image.DrawHLine(1, 30, 25, kLightGrey);  // shadow under the white keys
  for (int x : {6, 12, 24}) {              // C sharp, D sharp, F sharp
    image.FillRect(x - 2, 7, x + 2, 18, kBlack);
  }
  image.FillRect(0, 5, 31, 6, kDarkRed);  // felt strip
  return image;
}

IndexedImage PianoKeys16() {
  IndexedImage image(16, 16, kTransparent);
  image.FillRect(0, 2, 15, 13, kWhite);
  image.DrawFrame(0, 2, 15, 13, kBlack);
  for (int x : {4, 8, 12}) {
    image.DrawVLine(x, 2, 13, kBlack);
  }
  for (int x : {4, 8}) {
    image.FillRect(x - 1, 3, x + 1, 8, kBlack);
  }
  image.FillRect(14, 3, 15, 8, kBlack);
  image.DrawHLine(0, 15, 2, kDarkRed);
  return image;
}

void DrawNote(IndexedImage& image, int headX, int headY, int stemTop) {
  image.FillEllipse({headX + 0.5, headY + 0.5}, 2.0, 1.5, kBlack);
  image.DrawVLine(headX + 2, stemTop, headY, kBlack);
}

IndexedImage SheetMusic32() {
  IndexedImage image(32, 32, kTransparent);
  // The page, its top-right corner folded down.
  image.FillRect(5, 1, 26, 30, kWhite);
  image.FillTriangle({21, 1}, {27, 1}, {27, 7}, kTransparent);
  image.DrawHLine(5, 21, 1, kBlack);
  image.DrawHLine(5, 26, 30, kBlack);
  image.DrawVLine(5, 1, 30, kBlack);
  image.DrawVLine(26, 7, 30, kBlack);
  for (int i = 0; i <= 5; ++i) {
    image.Set(21 + i, 1 + i, kBlack);
  }
  image.FillTriangle({21.5, 1.5}, {21.5, 7}, {26, 7}, kLightGrey);
  image.DrawVLine(21, 1, 7, kBlack);
  image.DrawHLine(21, 26, 7, kBlack);
  // Two staves with notes.
  for (int staff : {9, 20}) {
    for (int line = 0; line < 5; ++line) {
      image.DrawHLine(8, 23, staff + 2 * line, kGrey);
    }
  }
  DrawNote(image, 10, 15, 8);
  DrawNote(image, 16, 12, 5);
  image.DrawHLine(12, 18, 5, kBlack);  // beam
  image.DrawHLine(12, 18, 6, kBlack);
  image.DrawVLine(12, 5, 15, kBlack);
  DrawNote(image, 11, 26, 19);
  DrawNote(image, 18, 23, 16);
  return image;
}

}  // namespace

std::vector<FacePicture> ButtonFaces() {
  std::vector<FacePicture> faces;
  faces.reserve(kLastFace - kFirstFace + 1);
  AddButton(faces, kIdbOpenUp, DrawSelect,
            {ForOpen(kUp), ForOpen(kDown), ForOpen(kUp), ForOpen(kDisabled)});
  AddButton(faces, kIdbPlayUp, DrawPlay, {kUp, kDown, kDisabled, kDisabled});
  AddButton(faces, kIdbPauseUp, DrawPause, {kUp, kDown, kUp, kDisabled});
  AddButton(faces, kIdbStopUp, DrawStop, {kUp, kDown, kDisabled, kDisabled});
  AddButton(faces, kIdbRewindUp, DrawRewind, {kUp, kDown, kBlackOnGrey, kDisabled});
  return faces;
}

std::vector<IconPicture> Icons() {
  return {{kIdiProgram, {PianoKeys32(), PianoKeys16()}}, {kIdiSheetMusic, {SheetMusic32()}}};
}

}  // namespace quirelle::res::tools
