// The program's title: the window title, and the head of the title while a song is loaded.
#pragma once

#include <QString>

namespace quirelle::ui {

extern const QString g_strAppTitle;

}  // namespace quirelle::ui
