// Dialog units: a horizontal unit is a quarter of the dialog font's average character width, a
// vertical unit an eighth of its character height, converted to pixels with rounding.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace quirelle::framework {

// a * b / c with a 64-bit intermediate, rounded half away from zero; -1 when c is 0 or the
// result does not fit.
int MulDiv(int a, int b, int c);

class DialogUnits {
 public:
  // Base units from the font: average width of "A".."Z" "a".."z" rounded, and the line height.
  static DialogUnits FromFont(const QFont& font);
  DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

  int baseX() const { return baseX_; }
  int baseY() const { return baseY_; }
  int ToPixelsX(int units) const { return MulDiv(units, baseX_, 4); }
  int ToPixelsY(int units) const { return MulDiv(units, baseY_, 8); }
  QRect ToPixels(int x, int y, int w, int h) const;
  QSize ToPixels(int w, int h) const { return {ToPixelsX(w), ToPixelsY(h)}; }

 private:
  int baseX_;
  int baseY_;
};

}  // namespace quirelle::framework
