// Template 102, the player dialog: 272 × 274 dialog units. Template order is the tab order. The
// practice row (from bar, to bar, loop, count-in) lies below the transport buttons, the pickup
// below it, and the second practice row (key, speed up, starting notes) below that. The words
// line stands under the title. Each voice row has its mute and solo boxes between the name and
// the tempo slider.
#include "ui/res/resource_ids.h"
#include "ui/res/templates.h"

namespace quirelle::res {
namespace {

using framework::ControlKind;
using framework::ControlTemplate;
using framework::kNoId;
using namespace framework::style;

constexpr auto kStatic = ControlKind::kStatic;
constexpr auto kButton = ControlKind::kButton;
constexpr auto kEdit = ControlKind::kEdit;
constexpr auto kTrackbar = ControlKind::kTrackbar;
constexpr auto kSpin = ControlKind::kSpin;

constexpr std::uint32_t kVolumeSlider = kTicksBoth | kTabStop;
constexpr std::uint32_t kTransportButton = kOwnerDraw | kClientEdge | kTabStop;
constexpr std::uint32_t kNameEdit = kDisabled | kNoBorder | kAutoHScroll;
// Enabled once a song is loaded.
constexpr std::uint32_t kBarSpin = kDisabled | kTabStop;
constexpr std::uint32_t kPracticeCheck = kCheckBox | kDisabled | kTabStop;

constexpr ControlTemplate kControls[] = {
    {kIdcVolume1, kTrackbar, "Slider1", 32, 25, 78, 26, kVolumeSlider},
    {kIdcPlay, kButton, "Play", 103, 179, 35, 31, kTransportButton},
    {kIdcPause, kButton, "Pause", 139, 179, 35, 31, kTransportButton},
    {kIdcStop, kButton, "Stop", 175, 179, 35, 31, kTransportButton},
    {kIdOk, kButton, "Exit", 228, 196, 37, 14, kDefaultButton | kTabStop},
    {kIdcTempo, kTrackbar, "Slider1", 239, 25, 26, 61, kVertical | kTicksBoth | kBorder | kTabStop},
    {kNoId, kStatic, "Volume:", 10, 14, 26, 8, 0},
    {kNoId, kStatic, "Tempo:", 236, 6, 25, 8, 0},
    {kIdcTempoText, kStatic, "Static", 239, 17, 19, 8, 0},
    {kIdcVolumeText1, kStatic, "Static", 10, 34, 19, 8, 0},
    {kNoId, kStatic, "Current Position:", 122, 6, 52, 8, 0},
    {kIdcPosition, kStatic, "Static", 121, 17, 109, 8, 0},
    {kIdcAutoReplay, kButton, "auto replay at end", 151, 78, 73, 10,
     kCheckBox | kHidden | kDisabled | kTabStop},
    {kIdcOpen, kButton, "\"Open\"", 16, 179, 35, 31, kTransportButton},
    {kIdcVolume2, kTrackbar, "Slider1", 32, 58, 78, 26, kVolumeSlider},
    {kIdcVolume3, kTrackbar, "Slider1", 32, 91, 78, 26, kVolumeSlider},
    {kIdcVolume4, kTrackbar, "Slider1", 32, 125, 78, 26, kVolumeSlider},
    {kIdcVolumeText2, kStatic, "Static", 10, 68, 19, 8, 0},
    {kIdcVolumeText3, kStatic, "Static", 10, 102, 19, 8, 0},
    {kIdcVolumeText4, kStatic, "Static", 10, 134, 19, 8, 0},
    {kIdcRewind, kButton, "Rewind", 67, 179, 35, 31, kTransportButton},
    {kIdcAbout, kButton, "About...", 228, 179, 37, 14, kTabStop},
    {kIdcName2, kEdit, "", 111, 64, 64, 14, kNameEdit},
    {kIdcName3, kEdit, "", 111, 97, 66, 14, kNameEdit},
    {kIdcName1, kEdit, "", 111, 33, 64, 14, kNameEdit},
    {kIdcName4, kEdit, "", 111, 130, 67, 14, kNameEdit},
    {kIdcTitle, kStatic, "Static", 17, 154, 242, 8, 0},
    {kNoId, kStatic, "From bar:", 10, 221, 32, 8, 0},
    {kIdcFromBar, kSpin, "Start", 44, 218, 40, 14, kBarSpin},
    {kNoId, kStatic, "To bar:", 94, 221, 26, 8, 0},
    {kIdcToBar, kSpin, "End", 122, 218, 40, 14, kBarSpin},
    {kIdcLoop, kButton, "Loop", 176, 219, 34, 12, kPracticeCheck},
    {kIdcCountIn, kButton, "Count-in", 214, 219, 46, 12, kPracticeCheck},
    {kNoId, kStatic, "Pickup:", 10, 239, 32, 8, 0},
    {kIdcPickup, kSpin, "None", 44, 236, 40, 14, kBarSpin},
    {kIdcPickupUnit, kStatic, "beats before bar 1, where the file has none", 94, 239, 166, 8, 0},
    {kIdcWords, kStatic, "", 17, 165, 242, 10, 0},
    {kNoId, kStatic, "Key:", 10, 257, 32, 8, 0},
    {kIdcKey, kSpin, "", 44, 254, 40, 14, kBarSpin},
    {kNoId, kStatic, "Speed up:", 94, 257, 34, 8, 0},
    {kIdcSpeedUp, kSpin, "Off", 130, 254, 36, 14, kBarSpin},
    {kNoId, kStatic, "% per repeat", 168, 257, 44, 8, 0},
    {kIdcStartingNotes, kButton, "Notes", 214, 255, 46, 12, kPracticeCheck},
    {kIdcMute1, kButton, "M", 180, 34, 24, 12, kPracticeCheck},
    {kIdcSolo1, kButton, "S", 206, 34, 24, 12, kPracticeCheck},
    {kIdcMute1 + 1, kButton, "M", 180, 65, 24, 12, kPracticeCheck},
    {kIdcSolo1 + 1, kButton, "S", 206, 65, 24, 12, kPracticeCheck},
    {kIdcMute1 + 2, kButton, "M", 180, 98, 24, 12, kPracticeCheck},
    {kIdcSolo1 + 2, kButton, "S", 206, 98, 24, 12, kPracticeCheck},
    {kIdcMute1 + 3, kButton, "M", 180, 131, 24, 12, kPracticeCheck},
    {kIdcSolo1 + 3, kButton, "S", 206, 131, 24, 12, kPracticeCheck},
};

constexpr framework::DialogTemplate kTemplate{
    kIddPlayer,
    "Sonamir MIDI",
    "MS Sans Serif",
    8,
    272,
    274,
    kPopup | kVisible | kCaption | kSysMenu | kModalFrame | kAppWindow,
    kControls};

}  // namespace

const framework::DialogTemplate& PlayerTemplate() {
  return kTemplate;
}

}  // namespace quirelle::res
