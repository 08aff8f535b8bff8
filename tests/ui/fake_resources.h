// A resource module for tests: solid 48 × 48 bitmaps whose colour encodes their id, and
// templates the test registers.
#pragma once

#include <QColor>
#include <map>

#include "ui/framework/resource_module.h"

namespace quirelle::framework::testing {

inline QColor ColourForId(int id) {
  return QColor::fromRgb(id & 0xFF, (id * 7) & 0xFF, 0x40);
}

class FakeResources final : public ResourceModule {
 public:
  std::map<int, const DialogTemplate*> templates;
  int missingBitmap = -1;

  const DialogTemplate* FindTemplate(int id) const override {
    const auto it = templates.find(id);
    return it != templates.end() ? it->second : nullptr;
  }
  QImage LoadBitmap(int id) const override {
    if (id == missingBitmap) {
      return {};
    }
    QImage image(48, 48, QImage::Format_RGB32);
    image.fill(ColourForId(id));
    return image;
  }
  QIcon LoadIcon(int) const override { return {}; }
  std::optional<QString> LoadString(int id) const override {
    return id == 1 ? std::optional<QString>(QStringLiteral("one")) : std::nullopt;
  }
};

// Installs a module for the life of the object.
class ScopedResources {
 public:
  explicit ScopedResources(const ResourceModule& module) { SetResourceModule(&module); }
  ~ScopedResources() { SetResourceModule(nullptr); }
  ScopedResources(const ScopedResources&) = delete;
  ScopedResources& operator=(const ScopedResources&) = delete;
};

}  // namespace quirelle::framework::testing
