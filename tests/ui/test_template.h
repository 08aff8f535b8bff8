// A dialog template with one control of each kind, for the framework's tests.
#pragma once

#include "ui/framework/dialog_template.h"

namespace quirelle::framework::testing {

inline constexpr int kTestStatic = 2001;
inline constexpr int kTestSlider = 2002;
inline constexpr int kTestPush = 2003;
inline constexpr int kTestBitmap = 2004;
inline constexpr int kTestEdit = 2005;
inline constexpr int kTestVertical = 2006;
inline constexpr int kTestCheck = 2007;
inline constexpr int kTestMultiLine = 2008;
inline constexpr int kTestHiddenCheck = 2009;
inline constexpr int kTestSpin = 2010;

using namespace style;

inline constexpr ControlTemplate kTestControls[] = {
    {kNoId, ControlKind::kStatic, "First label", 5, 5, 50, 8, 0},
    {kTestSlider, ControlKind::kTrackbar, "Slider1", 10, 20, 78, 26, kTicksBoth | kTabStop},
    {kTestStatic, ControlKind::kStatic, "Static", 100, 20, 40, 8, 0},
    {kTestBitmap, ControlKind::kButton, "Bitmap", 10, 60, 35, 31,
     kOwnerDraw | kClientEdge | kTabStop},
    {1, ControlKind::kButton, "Exit", 150, 120, 37, 14, kDefaultButton | kTabStop},
    {kTestVertical, ControlKind::kTrackbar, "Slider1", 160, 10, 26, 61,
     kVertical | kTicksBoth | kBorder | kTabStop},
    {kNoId, ControlKind::kStatic, "Second label", 5, 100, 50, 8, 0},
    {kTestPush, ControlKind::kButton, "Push", 100, 120, 37, 14, kTabStop},
    {kTestEdit, ControlKind::kEdit, "", 60, 60, 64, 14, kDisabled | kNoBorder | kAutoHScroll},
    {kTestCheck, ControlKind::kButton, "check", 60, 80, 60, 10, kCheckBox | kTabStop},
    {kTestMultiLine, ControlKind::kEdit, "", 5, 140, 180, 30,
     kMultiLine | kReadOnly | kBorder | kVScroll | kTabStop},
    {kTestHiddenCheck, ControlKind::kButton, "hidden", 60, 95, 60, 10,
     kCheckBox | kHidden | kDisabled | kTabStop},
    {kTestSpin, ControlKind::kSpin, "none", 140, 80, 40, 14, kTabStop},
};

inline constexpr DialogTemplate kTestTemplate{900,
                                              "Test dialog",
                                              "MS Sans Serif",
                                              8,
                                              200,
                                              180,
                                              kPopup | kCaption | kSysMenu | kModalFrame,
                                              kTestControls};

}  // namespace quirelle::framework::testing
