// The player window on the virtual device, with a file chooser that answers for the user and a
// record of the problems the window would have shown in message boxes.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <array>
#include <deque>
#include <memory>
#include <optional>

#include "player/stream/virtual/virtual_device.h"
#include "tests/support/midi_image.h"
#include "ui/framework/file_chooser.h"
#include "ui/framework/resource_module.h"
#include "ui/framework/slider_ctrl.h"
#include "ui/framework/spin_ctrl.h"
#include "ui/player_dlg.h"
#include "ui/res/resource_ids.h"
#include "ui/res/resources.h"

namespace quirelle::testing {

class ScriptedChooser final : public framework::FileChooser {
 public:
  std::optional<QString> ChooseFileToOpen(QWidget*, const QString& folder) override {
    ++asked;
    askedIn = folder;
    if (answers.empty()) {
      return std::nullopt;
    }
    const QString answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<QString> answers;  // what the user chooses, in turn; none left: the user cancels
  int asked = 0;
  QString askedIn;  // the folder the last question opened in
};

class RecordingPlayerDlg final : public ui::CPlayerDlg {
 public:
  using CPlayerDlg::CPlayerDlg;
  std::vector<QString> problems;

 protected:
  void ReportLoadProblem(const QString& text) override { problems.push_back(text); }
};

// Buttons in the order Open, Rewind, Play, Pause, Stop.
using ButtonStates = std::array<bool, 5>;

// A song with a title holding a percent sign, voice names under channel prefixes, 4/4 at 480
// ticks per quarter and 120 beats a minute, and `bars` bars of four-part quarter notes.
Bytes RehearsalSong(int bars);

class PlayerDlgTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A real click on the button; fails the test when the button is disabled.
  void Click(int id);
  // Lets the device's callbacks finish and the window handle what they posted.
  void Deliver();
  void PlayFor(std::uint64_t micros);
  ButtonStates Buttons() const;
  QString Text(int id) const;
  framework::CSliderCtrl* Slider(int id) const;
  void Key(int id, int key, bool press);
  // Short messages the device received since the last call, as (channel, controller, value).
  std::vector<std::uint32_t> TakeShortMessages();
  // Chooses `path` in the file chooser and clicks Open.
  void OpenFile(const std::string& path);
  // A new window started as `quirelle PATH` is.
  void StartWith(const std::string& path);
  // Drags `path` from a file manager and drops it on the window.
  void Drop(const std::string& path);
  framework::CSpinCtrl* Spin(int id) const;
  bool Checked(int id) const;
  // Types `text` over a bar field's contents and presses Enter.
  void EnterBar(int id, const QString& text);
  // Right-clicks Open: the files its menu offers, or nothing when no menu shows.
  std::optional<std::vector<QString>> RecentFiles();
  // Right-clicks Open and clicks the menu's entry for `path`.
  void ChooseRecentFile(const std::string& path);

  stream::VirtualDriver driver;
  ScriptedChooser chooser;
  std::unique_ptr<RecordingPlayerDlg> dialog;
  std::string songPath;
  std::size_t seenMessages_ = 0;
};

}  // namespace quirelle::testing
