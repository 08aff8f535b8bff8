// The program's resource module: templates 100 and 102, bitmaps 135 to 154, icons 128 and 155
// and string-table entries 1 to 4, found by id.
#pragma once

#include <QString>

#include "ui/framework/resource_module.h"

namespace quirelle::res {

const framework::ResourceModule& Module();

// Where a bitmap or icon lies in the Qt resources (":/quirelle/bitmaps/135.bmp").
QString BitmapPath(int id);
QString IconPath(int id);

}  // namespace quirelle::res
