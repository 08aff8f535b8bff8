// The resource module over the compiled-in Qt resources and the C++ tables.
#include "ui/res/resources.h"

#include <QFile>

#include "ui/res/resource_ids.h"
#include "ui/res/string_table.h"
#include "ui/res/templates.h"

// The resources live in a static library: name them once so the linker keeps them and Qt
// registers them.
static void InitQuirelleResources() {
  Q_INIT_RESOURCE(quirelle_res);
}

namespace quirelle::res {
namespace {

class ProgramModule final : public framework::ResourceModule {
 public:
  ProgramModule() { InitQuirelleResources(); }

  const framework::DialogTemplate* FindTemplate(int id) const override {
    if (id == kIddPlayer) {
      return &PlayerTemplate();
    }
    return id == kIddAbout ? &AboutTemplate() : nullptr;
  }

  QImage LoadBitmap(int id) const override {
    const QString path = BitmapPath(id);
    return QFile::exists(path) ? QImage(path) : QImage();
  }

  QIcon LoadIcon(int id) const override {
    const QString path = IconPath(id);
    return QFile::exists(path) ? QIcon(path) : QIcon();
  }

  std::optional<QString> LoadString(int id) const override {
    const auto text = FindString(id);
    if (!text) {
      return std::nullopt;
    }
    return QString::fromUtf8(text->data(), static_cast<qsizetype>(text->size()));
  }
};

}  // namespace

QString BitmapPath(int id) {
  return QStringLiteral(":/quirelle/bitmaps/%1.bmp").arg(id);
}

QString IconPath(int id) {
  return QStringLiteral(":/quirelle/icons/%1.ico").arg(id);
}

const framework::ResourceModule& Module() {
  static const ProgramModule module;
  return module;
}

}  // namespace quirelle::res
