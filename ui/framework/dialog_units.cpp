// Dialog-unit conversion with the base units taken from the dialog's font.
#include "ui/framework/dialog_units.h"

#include <QFontMetrics>
#include <cstdint>
#include <limits>

namespace quirelle::framework {

int MulDiv(int a, int b, int c) {
  if (c == 0) {
    return -1;
  }
  const std::int64_t product = static_cast<std::int64_t>(a) * b;
  const std::int64_t divisor = c < 0 ? -static_cast<std::int64_t>(c) : c;
  const std::int64_t magnitude = (product < 0 ? -product : product) + divisor / 2;
  const std::int64_t quotient = magnitude / divisor;
  const std::int64_t result = (product < 0) != (c < 0) ? -quotient : quotient;
  if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min()) {
    return -1;
  }
  return static_cast<int>(result);
}

DialogUnits DialogUnits::FromFont(const QFont& font) {
  const QFontMetrics metrics(font);
  static const QString kLetters =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const int width = metrics.horizontalAdvance(kLetters);
  const int baseX = (width / 26 + 1) / 2;
  const int baseY = metrics.height();
  return DialogUnits(baseX > 0 ? baseX : 1, baseY > 0 ? baseY : 1);
}

QRect DialogUnits::ToPixels(int x, int y, int w, int h) const {
  return {ToPixelsX(x), ToPixelsY(y), ToPixelsX(w), ToPixelsY(h)};
}

}  // namespace quirelle::framework
