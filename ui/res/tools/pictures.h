// The pictures of the resources: the twenty 48 × 48 button faces and the two icons.
#pragma once

#include <vector>

#include "ui/res/tools/indexed_image.h"

namespace quirelle::res::tools {

inline constexpr int kFaceSize = 48;

struct FacePicture {
  int id;
  IndexedImage image;
};

struct IconPicture {
  int id;
  std::vector<IndexedImage> images;  // largest first
};

// Ids 135 to 154 in order.
std::vector<FacePicture> ButtonFaces();
// Icons 128 (piano keys, 32 × 32 and 16 × 16) and 155 (sheet music, 32 × 32).
std::vector<IconPicture> Icons();

}  // namespace quirelle::res::tools
