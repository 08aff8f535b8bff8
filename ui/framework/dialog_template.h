// Dialog templates as data: the dialog's size, font, caption and styles, and its controls in
// template order (which is also the tab order), all positions in dialog units.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace quirelle::framework {

enum class ControlKind { kStatic, kButton, kEdit, kTrackbar, kSpin };

// Style bits of controls and dialogs. Each bit means one thing whatever the kind, so a template
// row reads as the list of its notable styles.
namespace style {
// Any control.
inline constexpr std::uint32_t kHidden = 1u << 0;      // created invisible
inline constexpr std::uint32_t kDisabled = 1u << 1;    // created disabled
inline constexpr std::uint32_t kTabStop = 1u << 2;     // reached with Tab
inline constexpr std::uint32_t kGroup = 1u << 3;       // starts a group
inline constexpr std::uint32_t kBorder = 1u << 4;      // thin frame
inline constexpr std::uint32_t kClientEdge = 1u << 5;  // sunken 2-pixel edge
// Buttons.
inline constexpr std::uint32_t kDefaultButton = 1u << 6;  // pressed by Enter
inline constexpr std::uint32_t kCheckBox = 1u << 7;       // plain check box: a click only reports
inline constexpr std::uint32_t kOwnerDraw = 1u << 8;      // bitmap button
// Statics.
inline constexpr std::uint32_t kNoPrefix = 1u << 9;  // ampersands shown as they are
inline constexpr std::uint32_t kIcon = 1u << 10;     // shows the icon named by `resource`
// Edits.
inline constexpr std::uint32_t kMultiLine = 1u << 11;
inline constexpr std::uint32_t kReadOnly = 1u << 12;
inline constexpr std::uint32_t kVScroll = 1u << 13;
inline constexpr std::uint32_t kAutoVScroll = 1u << 14;
inline constexpr std::uint32_t kAutoHScroll = 1u << 15;
inline constexpr std::uint32_t kNoBorder = 1u << 16;
// Trackbars.
inline constexpr std::uint32_t kVertical = 1u << 17;   // minimum at the top
inline constexpr std::uint32_t kTicksBoth = 1u << 18;  // tick marks on both sides
// Dialogs. Pop-up, modal frame and application window are what every top-level Qt dialog
// is; they are recorded for completeness.
inline constexpr std::uint32_t kPopup = 1u << 20;
inline constexpr std::uint32_t kVisible = 1u << 21;  // shown as soon as it is created
inline constexpr std::uint32_t kCaption = 1u << 22;
inline constexpr std::uint32_t kSysMenu = 1u << 23;  // close box
inline constexpr std::uint32_t kModalFrame = 1u << 24;
inline constexpr std::uint32_t kAppWindow = 1u << 25;  // own entry on the task bar
}  // namespace style

inline constexpr int kNoId = -1;  // statics that nothing addresses

struct ControlTemplate {
  int id = kNoId;
  ControlKind kind = ControlKind::kStatic;
  std::string_view text;  // UTF-8; a spin box's word for its lowest value
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  std::uint32_t styles = 0;
  int resource = 0;  // icon id of a kIcon static
};

struct DialogTemplate {
  int id = 0;
  std::string_view caption;
  std::string_view fontName;
  int fontPoints = 8;
  int w = 0;
  int h = 0;
  std::uint32_t styles = 0;
  std::span<const ControlTemplate> controls;
};

constexpr bool HasStyle(std::uint32_t styles, std::uint32_t bit) {
  return (styles & bit) != 0;
}

}  // namespace quirelle::framework
