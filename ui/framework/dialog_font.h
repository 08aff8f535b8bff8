// The font a dialog template names, in its point size. "MS Sans Serif" comes from Wine's font
// file when it is installed; otherwise, and for names the system lacks, the system's sans-serif.
#pragma once

#include <QFont>
#include <string_view>

namespace quirelle::framework {

inline constexpr const char* kWineSansSerifFile = "/usr/share/wine/fonts/ms_sans_serif.ttf";

// Needs a QGuiApplication. The pixel size is the point size at the screen's logical resolution,
// rounded, so the font has the same height as the one the template was laid out with.
QFont DialogFont(std::string_view family, int points);

// True when the family is known to the font database (after loading Wine's file if needed).
bool FontFamilyAvailable(const QString& family);

}  // namespace quirelle::framework
