#include "tests/ui/player_dlg_fixture.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QTest>
#include <QUrl>

namespace quirelle::testing {

Bytes RehearsalSong(int bars) {
  TrackData conductor;
  conductor.Text(0, 0x03, "Ave 100%s verum")
      .Meta(0, 0x20, {0})
      .Text(0, 0x04, "Soprano")
      .Meta(0, 0x20, {1})
      .Text(0, 0x04, "Alto")
      .Meta(0, 0x20, {2})
      .Text(0, 0x04, "Tenor")
      .Meta(0, 0x20, {3})
      .Text(0, 0x04, "Bass")
      .Meta(0, 0x58, {4, 2, 24, 8})
      .Tempo(0, 500000)
      .End();
  std::vector<TrackData> tracks{conductor};
  for (std::uint8_t voice = 0; voice < 4; ++voice) {
    TrackData track;
    const auto note = static_cast<std::uint8_t>(72 - 5 * voice);
    for (int i = 0; i < bars * 4; ++i) {
      track.Event(0, {static_cast<std::uint8_t>(0x90 | voice), note, 80});
      track.Event(480, {static_cast<std::uint8_t>(0x80 | voice), note, 0});
    }
    tracks.push_back(track.End());
  }
  return MidiImage(1, 480, tracks);
}

void PlayerDlgTest::SetUp() {
  framework::SetResourceModule(&res::Module());
  // Each test starts as a first run: no song remembered, no recent files.
  QSettings(QSettings::UserScope, ui::kSettingsName, ui::kSettingsName).clear();
  songPath = WriteTempFile(RehearsalSong(8), "ave.mid");
  dialog = std::make_unique<RecordingPlayerDlg>(driver, chooser, driver.clock());
  ASSERT_TRUE(dialog->Create());
}

void PlayerDlgTest::TearDown() {
  dialog.reset();
  framework::SetResourceModule(nullptr);
}

void PlayerDlgTest::Click(int id) {
  auto* button = qobject_cast<QAbstractButton*>(dialog->GetDlgItem(id));
  ASSERT_NE(button, nullptr) << id;
  ASSERT_TRUE(button->isEnabled()) << "button " << id << " is disabled";
  QTest::mouseClick(button, Qt::LeftButton);
}

void PlayerDlgTest::Deliver() {
  driver.WaitIdle();
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

void PlayerDlgTest::PlayFor(std::uint64_t micros) {
  // Small steps, so the window handles each returned buffer as it would in real time.
  for (std::uint64_t done = 0; done < micros; done += 20'000) {
    driver.Advance(20'000);
    Deliver();
  }
}

ButtonStates PlayerDlgTest::Buttons() const {
  ButtonStates states{};
  const int ids[] = {res::kIdcOpen, res::kIdcRewind, res::kIdcPlay, res::kIdcPause, res::kIdcStop};
  for (std::size_t i = 0; i < states.size(); ++i) {
    states[i] = dialog->GetDlgItem(ids[i])->isEnabled();
  }
  return states;
}

QString PlayerDlgTest::Text(int id) const {
  QWidget* widget = dialog->GetDlgItem(id);
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    return label->text();
  }
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    return edit->text();
  }
  return QStringLiteral("<no text control %1>").arg(id);
}

framework::CSliderCtrl* PlayerDlgTest::Slider(int id) const {
  return qobject_cast<framework::CSliderCtrl*>(dialog->GetDlgItem(id));
}

void PlayerDlgTest::Key(int id, int key, bool press) {
  QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, key, Qt::NoModifier);
  QCoreApplication::sendEvent(Slider(id), &event);
}

std::vector<std::uint32_t> PlayerDlgTest::TakeShortMessages() {
  std::vector<std::uint32_t> sent;
  const auto all = driver.Messages();
  for (std::size_t i = seenMessages_; i < all.size(); ++i) {
    if (all[i].kind == stream::RecordedMessage::Kind::kShortMsg) {
      sent.push_back(all[i].message);
    }
  }
  seenMessages_ = all.size();
  return sent;
}

void PlayerDlgTest::OpenFile(const std::string& path) {
  chooser.answers.push_back(QString::fromStdString(path));
  Click(res::kIdcOpen);
}

void PlayerDlgTest::StartWith(const std::string& path) {
  dialog = std::make_unique<RecordingPlayerDlg>(driver, chooser, driver.clock());
  dialog->OpenOnStart(path);
  ASSERT_TRUE(dialog->Create());
  Deliver();
}

void PlayerDlgTest::Drop(const std::string& path) {
  QMimeData data;
  // As a file manager sends it: the path's bytes percent-encoded, a name not UTF-8 too.
  data.setUrls(
      {QUrl::fromEncoded("file://" + QByteArray::fromStdString(path).toPercentEncoding("/"))});
  const QPoint middle = dialog->rect().center();
  QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(dialog.get(), &enter);
  ASSERT_TRUE(enter.isAccepted()) << "the window refuses the drag";
  QDropEvent drop(QPointF(middle), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(dialog.get(), &drop);
  Deliver();
}

framework::CSpinCtrl* PlayerDlgTest::Spin(int id) const {
  return qobject_cast<framework::CSpinCtrl*>(dialog->GetDlgItem(id));
}

bool PlayerDlgTest::Checked(int id) const {
  return qobject_cast<QCheckBox*>(dialog->GetDlgItem(id))->isChecked();
}

void PlayerDlgTest::EnterBar(int id, const QString& text) {
  framework::CSpinCtrl* spin = Spin(id);
  ASSERT_TRUE(spin->isEnabled()) << "bar field " << id << " is disabled";
  spin->setFocus();
  spin->selectAll();
  QTest::keyClick(spin, Qt::Key_Delete);
  QTest::keyClicks(spin, text);
  QTest::keyClick(spin, Qt::Key_Return);
  Deliver();
}

namespace {

QMenu* RightClickOpen(ui::CPlayerDlg& dialog) {
  QWidget* open = dialog.GetDlgItem(res::kIdcOpen);
  const QPoint middle = open->rect().center();
  QContextMenuEvent event(QContextMenuEvent::Mouse, middle, open->mapToGlobal(middle));
  QCoreApplication::sendEvent(open, &event);
  for (QMenu* menu : dialog.findChildren<QMenu*>()) {
    if (menu->isVisible()) {
      return menu;
    }
  }
  return nullptr;
}

}  // namespace

std::optional<std::vector<QString>> PlayerDlgTest::RecentFiles() {
  QMenu* menu = RightClickOpen(*dialog);
  if (menu == nullptr) {
    return std::nullopt;
  }
  std::vector<QString> files;
  for (const QAction* action : menu->actions()) {
    if (action->isEnabled()) {
      files.push_back(action->data().toString());
    }
  }
  menu->close();
  return files;
}

void PlayerDlgTest::ChooseRecentFile(const std::string& path) {
  QMenu* menu = RightClickOpen(*dialog);
  ASSERT_NE(menu, nullptr) << "Open offers no menu";
  for (QAction* action : menu->actions()) {
    if (action->data().toString() == QString::fromStdString(path)) {
      QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                        menu->actionGeometry(action).center());
      Deliver();
      return;
    }
  }
  menu->close();
  FAIL() << path << " is not on the menu";
}

}  // namespace quirelle::testing
