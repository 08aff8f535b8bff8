// Writes the button faces (bitmaps/<id>.bmp) and icons (icons/<id>.ico) into a folder; run it
// with ui/res to regenerate the committed files.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "ui/res/tools/image_files.h"
#include "ui/res/tools/pictures.h"

namespace {

using quirelle::res::tools::Bytes;

bool WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "make_resources: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_resources OUTPUT_DIR\n");
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path root(argv[1]);
  std::error_code error;
  fs::create_directories(root / "bitmaps", error);
  fs::create_directories(root / "icons", error);
  bool ok = true;
  for (const auto& face : quirelle::res::tools::ButtonFaces()) {
    ok &= WriteFile(root / "bitmaps" / (std::to_string(face.id) + ".bmp"),
                    quirelle::res::tools::EncodeBmp4(face.image));
  }
  for (const auto& icon : quirelle::res::tools::Icons()) {
    ok &= WriteFile(root / "icons" / (std::to_string(icon.id) + ".ico"),
                    quirelle::res::tools::EncodeIco4(icon.images));
  }
  return ok ? 0 : 1;
}
