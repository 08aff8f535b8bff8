// Looking up a dialog template's font, with Wine's "MS Sans Serif" added on first use.
#include "ui/framework/dialog_font.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

#include "ui/framework/dialog_units.h"

namespace quirelle::framework {
namespace {

constexpr int kDefaultDpi = 96;

void LoadWineFontOnce() {
  static const bool loaded = [] {
    if (!QFile::exists(QString::fromLatin1(kWineSansSerifFile))) {
      return false;
    }
    return QFontDatabase::addApplicationFont(QString::fromLatin1(kWineSansSerifFile)) >= 0;
  }();
  (void)loaded;
}

int LogicalDpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const int dpi = screen != nullptr ? static_cast<int>(screen->logicalDotsPerInchY() + 0.5) : 0;
  return dpi > 0 ? dpi : kDefaultDpi;
}

}  // namespace

bool FontFamilyAvailable(const QString& family) {
  LoadWineFontOnce();
  return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

QFont DialogFont(std::string_view family, int points) {
  const QString name = QString::fromUtf8(family.data(), static_cast<qsizetype>(family.size()));
  QFont font;
  if (!name.isEmpty() && FontFamilyAvailable(name)) {
    font = QFont(name);
  } else {
    font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
  }
  font.setPixelSize(MulDiv(points > 0 ? points : 8, LogicalDpi(), 72));
  return font;
}

}  // namespace quirelle::framework
