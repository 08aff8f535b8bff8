// The dialog templates of the player (102) and the About box (100).
#pragma once

#include "ui/framework/dialog_template.h"

namespace quirelle::res {

const framework::DialogTemplate& PlayerTemplate();
const framework::DialogTemplate& AboutTemplate();

}  // namespace quirelle::res
