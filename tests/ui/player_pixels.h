// Where the player dialog's controls land on the screen with the 8-point MS Sans Serif dialog font
// (base units 6 × 13), worked out by hand from the template: x and width × 6/4, y and height ×
// 13/8, halves rounded up. Play at (103, 179, 35, 31) units is 154.5, 290.875, 52.5, 50.375.
#pragma once

#include <QRect>
#include <QSize>

#include "ui/res/resource_ids.h"

namespace quirelle::testing {

struct PlacedControl {
  int id;
  QRect pixels;
};

inline const QSize kPlayerDialogPixels{408, 445};  // 272 × 274 units: 408 × 445.25
inline const PlacedControl kPlayerPixels[] = {
    {res::kIdcPlay, {155, 291, 53, 50}},
    {res::kIdOk, {342, 319, 56, 23}},
    {res::kIdcTempo, {359, 41, 39, 99}},
    {res::kIdcAutoReplay, {227, 127, 110, 16}},
    {res::kIdcVolume3, {48, 148, 117, 42}},
    {res::kIdcTitle, {26, 250, 363, 13}},
    {res::kIdcName4, {167, 211, 101, 23}},
    {res::kIdcVolumeText4, {15, 218, 29, 13}},
    {res::kIdcFromBar, {66, 354, 60, 23}},
    {res::kIdcToBar, {183, 354, 60, 23}},
    {res::kIdcLoop, {264, 356, 51, 20}},
    {res::kIdcCountIn, {321, 356, 69, 20}},
    {res::kIdcPickup, {66, 384, 60, 23}},
    {res::kIdcWords, {26, 268, 363, 16}},
    {res::kIdcKey, {66, 413, 60, 23}},
    {res::kIdcSpeedUp, {195, 413, 54, 23}},
    {res::kIdcStartingNotes, {321, 414, 69, 20}},
    {res::kIdcMute1, {270, 55, 36, 20}},
    {res::kIdcSolo1 + 3, {309, 213, 36, 20}},
};

}  // namespace quirelle::testing
