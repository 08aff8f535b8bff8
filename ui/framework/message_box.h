// Message boxes with the usual button and icon flags and result codes.
#pragma once

#include <QString>
#include <QWidget>

namespace quirelle::framework {

// Buttons (low four bits).
inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbOkCancel = 0x1;
inline constexpr unsigned kMbYesNoCancel = 0x3;
inline constexpr unsigned kMbYesNo = 0x4;
// Icons.
inline constexpr unsigned kMbIconError = 0x10;
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr unsigned kMbIconWarning = 0x30;
inline constexpr unsigned kMbIconInformation = 0x40;

// Results; also the dialog results of OK and Cancel.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// Runs a modal message box; the id of the button pressed (Escape or the close box give
// kIdCancel, or the only button's id when there is no Cancel).
int MessageBox(QWidget* parent, const QString& text, const QString& caption, unsigned type);
// Owned by the application's main window, captioned with the application's name.
int AfxMessageBox(const QString& text, unsigned type = kMbOk);

}  // namespace quirelle::framework
