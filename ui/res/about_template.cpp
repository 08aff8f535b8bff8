// Template 100, the About box: 217 × 165 dialog units, created hidden and shown by its owner.
#include "ui/res/resource_ids.h"
#include "ui/res/templates.h"

namespace quirelle::res {
namespace {

using framework::ControlKind;
using framework::ControlTemplate;
using framework::kNoId;
using namespace framework::style;

constexpr ControlTemplate kControls[] = {
    {kNoId, ControlKind::kStatic, "", 11, 17, 20, 20, kIcon, kIdiSheetMusic},
    // Eleven blanks before "Version".
    {kNoId, ControlKind::kStatic, "Quirelle           Version 1.0.0.2", 40, 14, 119, 8, kNoPrefix},
    {kIdOk, ControlKind::kButton, "OK", 178, 7, 32, 14, kDefaultButton | kGroup | kTabStop},
    {kIdcUpdatesLabel, ControlKind::kStatic, "Look for updates at:", 16, 68, 146, 8, 0},
    {kIdcUpdatesAddress, ControlKind::kStatic, "https://quirelle.example/updates", 30, 77, 174, 8,
     0},
    {kIdcContact, ControlKind::kStatic,
     "Please send comments, suggestions and error\nreports to feedback@quirelle.example", 16, 89,
     167, 18, 0},
    {kIdcCredits, ControlKind::kEdit, "", 7, 119, 203, 38,
     kMultiLine | kReadOnly | kBorder | kVScroll | kAutoVScroll | kTabStop},
};

constexpr framework::DialogTemplate kTemplate{kIddAbout,
                                              "About Quirelle",
                                              "MS Sans Serif",
                                              8,
                                              217,
                                              165,
                                              kPopup | kCaption | kSysMenu | kModalFrame,
                                              kControls};

}  // namespace

const framework::DialogTemplate& AboutTemplate() {
  return kTemplate;
}

}  // namespace quirelle::res
