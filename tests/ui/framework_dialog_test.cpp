// The dialog base: OK and Cancel through Exit, Enter, Escape and the close box; commands;
// trackbar notifications; item access; modeless creation; message boxes; the file chooser.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <vector>

#include "tests/ui/fake_resources.h"
#include "tests/ui/test_template.h"
#include "ui/framework/data_exchange.h"
#include "ui/framework/dialog.h"
#include "ui/framework/file_chooser.h"
#include "ui/framework/slider_ctrl.h"
#include "ui/framework/spin_ctrl.h"
#include "ui/framework/win_app.h"

namespace quirelle::framework {
namespace {

using testing::kTestTemplate;

struct Scroll {
  bool vertical;
  unsigned code;
  unsigned thumb;
  CSliderCtrl* slider;
  bool operator==(const Scroll&) const = default;
};

class TestDialog : public CDialog {
 public:
  TestDialog() : CDialog(kTestTemplate) {
    MapCommand(testing::kTestPush, &TestDialog::OnPush);
    MapCommand(testing::kTestSpin, &TestDialog::OnSpin);
  }
  void EndSoon(std::function<void(TestDialog&)> action) {
    QTimer::singleShot(0, this, [this, action] { action(*this); });
  }

  int initCalls = 0;
  int okCalls = 0;
  int pushCalls = 0;
  std::vector<int> spinPositions;  // at each of the spin box's commands
  int sliderValue = -1;
  std::vector<Scroll> scrolls;

 protected:
  bool OnInitDialog() override {
    ++initCalls;
    return CDialog::OnInitDialog();
  }
  void DoDataExchange(CDataExchange& dx) override {
    DDX_Slider(dx, testing::kTestSlider, sliderValue);
  }
  void OnOK() override {
    ++okCalls;
    CDialog::OnOK();
  }
  void OnHScroll(unsigned code, unsigned thumb, CSliderCtrl* slider) override {
    scrolls.push_back({false, code, thumb, slider});
  }
  void OnVScroll(unsigned code, unsigned thumb, CSliderCtrl* slider) override {
    scrolls.push_back({true, code, thumb, slider});
  }

 private:
  void OnPush() { ++pushCalls; }
  void OnSpin() {
    spinPositions.push_back(dynamic_cast<CSpinCtrl*>(GetDlgItem(testing::kTestSpin))->GetPos());
  }
};

void PressKey(QWidget* target, int key) {
  QTest::keyClick(target, static_cast<Qt::Key>(key));
}

TEST(Dialog, ExitButtonIsOkAndReadsTheControlsBack) {
  TestDialog dialog;
  dialog.sliderValue = 30;
  dialog.EndSoon([](TestDialog& d) {
    EXPECT_TRUE(d.isVisible());
    d.GetDlgItem(testing::kTestSlider)->setProperty("value", 64);
    qobject_cast<QPushButton*>(d.GetDlgItem(kIdOk))->click();
  });
  EXPECT_EQ(dialog.DoModal(), kIdOk);
  EXPECT_EQ(dialog.initCalls, 1);
  EXPECT_EQ(dialog.okCalls, 1);
  EXPECT_EQ(dialog.sliderValue, 64);
}

TEST(Dialog, InitialisationRefreshesTheControlsAndFocusesTheFirstTabStop) {
  TestDialog dialog;
  dialog.sliderValue = 30;
  dialog.EndSoon([](TestDialog& d) {
    EXPECT_EQ(d.GetDlgItem(testing::kTestSlider)->property("value").toInt(), 30);
    EXPECT_EQ(d.focusWidget(), d.GetDlgItem(testing::kTestSlider));
    d.EndDialog(42);
  });
  EXPECT_EQ(dialog.DoModal(), 42);
}

TEST(Dialog, EnterPressesTheDefaultButtonEvenFromATrackbar) {
  TestDialog dialog;
  dialog.EndSoon(
      [](TestDialog& d) { PressKey(d.GetDlgItem(testing::kTestSlider), Qt::Key_Return); });
  EXPECT_EQ(dialog.DoModal(), kIdOk);
  EXPECT_EQ(dialog.okCalls, 1);
}

TEST(Dialog, EscapeCancelsWithoutReadingBack) {
  TestDialog dialog;
  dialog.sliderValue = 30;
  dialog.EndSoon([](TestDialog& d) {
    d.GetDlgItem(testing::kTestSlider)->setProperty("value", 64);
    PressKey(d.GetDlgItem(testing::kTestSlider), Qt::Key_Escape);
  });
  EXPECT_EQ(dialog.DoModal(), kIdCancel);
  EXPECT_EQ(dialog.okCalls, 0);
  EXPECT_EQ(dialog.sliderValue, 30);
}

TEST(Dialog, CloseBoxCancels) {
  TestDialog dialog;
  dialog.EndSoon([](TestDialog& d) { d.close(); });
  EXPECT_EQ(dialog.DoModal(), kIdCancel);
  EXPECT_EQ(dialog.okCalls, 0);
}

TEST(Dialog, ButtonsRunTheirMappedCommands) {
  TestDialog dialog;
  ASSERT_TRUE(dialog.Create());
  qobject_cast<QAbstractButton*>(dialog.GetDlgItem(testing::kTestPush))->click();
  qobject_cast<QAbstractButton*>(dialog.GetDlgItem(testing::kTestPush))->click();
  EXPECT_EQ(dialog.pushCalls, 2);
  EXPECT_EQ(dialog.okCalls, 0);
}

TEST(Dialog, SpinBoxReportsWhatTheUserEntersAndKeepsEnterToItself) {
  TestDialog dialog;
  dialog.EndSoon([](TestDialog& d) {
    auto* spin = dynamic_cast<CSpinCtrl*>(d.GetDlgItem(testing::kTestSpin));
    spin->SetRange(0, 20);  // the program's changes are silent
    spin->SetPos(5);
    spin->setFocus();
    spin->selectAll();
    QTest::keyClicks(spin, "17");  // one report, when Enter completes the number
    PressKey(spin, Qt::Key_Return);
    PressKey(spin, Qt::Key_Up);
    spin->selectAll();
    PressKey(spin, Qt::Key_Delete);  // an empty field is the lowest value, shown as its word
    PressKey(spin, Qt::Key_Enter);
    EXPECT_EQ(spin->text(), QStringLiteral("none"));
    d.EndDialog(42);
  });
  EXPECT_EQ(dialog.DoModal(), 42);
  EXPECT_EQ(dialog.spinPositions, (std::vector<int>{17, 18, 0}));
  EXPECT_EQ(dialog.okCalls, 0) << "Enter in the spin box pressed the default button";
}

TEST(Dialog, TrackbarsReportToHScrollOrVScrollWithThemselves) {
  TestDialog dialog;
  ASSERT_TRUE(dialog.Create());
  auto* horizontal = dynamic_cast<CSliderCtrl*>(dialog.GetDlgItem(testing::kTestSlider));
  auto* vertical = dynamic_cast<CSliderCtrl*>(dialog.GetDlgItem(testing::kTestVertical));
  ASSERT_NE(horizontal, nullptr);
  ASSERT_NE(vertical, nullptr);
  vertical->SetPos(50);
  PressKey(horizontal, Qt::Key_End);
  PressKey(vertical, Qt::Key_PageUp);
  const std::vector<Scroll> expected{{false, kTbBottom, 0, horizontal},
                                     {false, kTbEndTrack, 0, horizontal},
                                     {true, kTbPageUp, 0, vertical},
                                     {true, kTbEndTrack, 0, vertical}};
  EXPECT_EQ(dialog.scrolls, expected);
}

TEST(Dialog, ItemTextsEnablingAndTitle) {
  TestDialog dialog;
  ASSERT_TRUE(dialog.Create());
  dialog.SetDlgItemText(testing::kTestStatic, QStringLiteral("Bar:12 "));
  EXPECT_EQ(dialog.GetDlgItemText(testing::kTestStatic), QStringLiteral("Bar:12 "));
  dialog.SetDlgItemText(testing::kTestEdit, QStringLiteral("Soprano"));
  EXPECT_EQ(dialog.GetDlgItemText(testing::kTestEdit), QStringLiteral("Soprano"));
  dialog.EnableDlgItem(testing::kTestPush, false);
  EXPECT_FALSE(dialog.GetDlgItem(testing::kTestPush)->isEnabled());
  dialog.EnableDlgItem(testing::kTestPush, true);
  EXPECT_TRUE(dialog.GetDlgItem(testing::kTestPush)->isEnabled());
  dialog.SetWindowText(QStringLiteral("Quirelle playing: song"));
  EXPECT_EQ(dialog.GetWindowText(), QStringLiteral("Quirelle playing: song"));
  EXPECT_EQ(dialog.GetDlgItemText(4242), QString());
}

TEST(Dialog, MissingTemplateFails) {
  CDialog dialog(12345);
  EXPECT_EQ(dialog.DoModal(), kDoModalFailed);
  EXPECT_FALSE(dialog.Create());
  EXPECT_FALSE(dialog.MessageWindow().Alive());
}

TEST(Dialog, TemplateByIdFromTheResourceModule) {
  testing::FakeResources resources;
  resources.templates[900] = &kTestTemplate;
  testing::ScopedResources scoped(resources);
  CDialog dialog(900);
  ASSERT_TRUE(dialog.Create());
  EXPECT_NE(dialog.GetDlgItem(testing::kTestSlider), nullptr);
}

class TestApp : public CWinApp {
 public:
  using CWinApp::CWinApp;
  bool InitInstance() override {
    ++initCalls;
    moduleDuringInit = &CurrentResourceModule();
    return false;
  }
  int initCalls = 0;
  const ResourceModule* moduleDuringInit = nullptr;
};

TEST(WinApp, RunCallsInitInstanceWithItsModuleAndEndsWhenItReturnsFalse) {
  testing::FakeResources resources;
  TestApp app(&resources, QStringLiteral("Quirelle"));
  EXPECT_EQ(AfxGetApp(), &app);
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name, nullptr};
  EXPECT_EQ(app.Run(argc, argv), 0);
  EXPECT_EQ(app.initCalls, 1);
  EXPECT_EQ(app.moduleDuringInit, &resources);
  SetResourceModule(nullptr);
}

TEST(WinApp, ModelessDialogsWithoutOwnerAreOwnedByTheMainWindow) {
  TestApp app;
  QWidget mainWindow;
  app.SetMainWindow(&mainWindow);
  auto dialog = std::make_unique<TestDialog>();  // goes before its owner
  ASSERT_TRUE(dialog->Create());
  EXPECT_EQ(dialog->parentWidget(), &mainWindow);
  EXPECT_TRUE(dialog->isWindow());
  EXPECT_EQ(dialog->initCalls, 1);
  EXPECT_FALSE(dialog->isVisible()) << "shown by the caller, as the template is not visible";
}

void AnswerNextModal(std::function<void(QWidget*)> answer) {
  QTimer::singleShot(0, [answer] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    answer(modal);
  });
}

TEST(MessageBox, OkBoxShowsTextAndCaption) {
  TestDialog dialog;
  ASSERT_TRUE(dialog.Create());
  dialog.SetWindowText(QStringLiteral("Quirelle"));
  QString text;
  QString caption;
  AnswerNextModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    text = box->text();
    caption = box->windowTitle();
    box->button(QMessageBox::Ok)->click();
  });
  EXPECT_EQ(dialog.MessageBox(QStringLiteral("Error creating Dialog")), kIdOk);
  EXPECT_EQ(text, QStringLiteral("Error creating Dialog"));
  EXPECT_EQ(caption, QStringLiteral("Quirelle"));
}

const QString kMidiFilter = QStringLiteral("MIDI files (*.mid *.midi *.kar)");

TEST(FileChooser, OffersMidiFilesFirstThenAllFiles) {
  const QtFileChooser chooser;
  EXPECT_EQ(chooser.NameFilters(), (QStringList{kMidiFilter, QStringLiteral("All files (*)")}));
}

// The dialog opens in the folder given and shows .mid, .midi and .kar files in any letter case;
// it gives the chosen full path, or nothing on cancel.
TEST(FileChooser, OpensInTheFolderGivenAndGivesTheChosenFullPathOrNothingOnCancel) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  for (const char* name : {"a.mid", "b.MID", "c.Midi", "d.kar", "e.KaR", "f.txt", "g.mid.txt",
                           "h.mi", "i.midx", "song.mid"}) {
    QFile file(folder.filePath(QString::fromLatin1(name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  const QString path = folder.filePath(QStringLiteral("song.mid"));
  QtFileChooser chooser;
  QString initialFilter;
  QString openedIn;
  QDir::Filters matching;
  AnswerNextModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    initialFilter = dialog->selectedNameFilter();
    openedIn = dialog->directory().absolutePath();
    matching = dialog->filter();
    dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog hides it
  });
  EXPECT_EQ(chooser.ChooseFileToOpen(nullptr, folder.path()), std::optional<QString>(path));
  EXPECT_EQ(initialFilter, kMidiFilter);
  EXPECT_EQ(openedIn, QDir(folder.path()).absolutePath());
  const QStringList shown =
      QDir(folder.path())
          .entryList(MidiFileFilters().front().patterns,
                     QDir::Files | (matching & QDir::CaseSensitive), QDir::Name);
  EXPECT_EQ(shown, (QStringList{"a.mid", "b.MID", "c.Midi", "d.kar", "e.KaR", "song.mid"}));
  AnswerNextModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
  EXPECT_EQ(chooser.ChooseFileToOpen(nullptr, {}), std::nullopt);
}

}  // namespace
}  // namespace quirelle::framework
