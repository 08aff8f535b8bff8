#include "ui/app_title.h"

namespace quirelle::ui {

const QString g_strAppTitle = QStringLiteral("Quirelle");

}  // namespace quirelle::ui
