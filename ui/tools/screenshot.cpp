// quirelle-screenshot SONG.mid OUT.png: opens the player window, plays bars 2 to 4 of the song in
// a loop with a count-in on the virtual device in real time for a few seconds with the tempo and a
// voice changed, and saves a picture of the window as the X server shows it. The window's settings
// go to a temporary folder, so the user's are neither read nor changed. Run it under Xvfb
// (scripts/screenshot).
#include <QAbstractButton>
#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "player/stream/virtual/virtual_device.h"
#include "ui/framework/file_chooser.h"
#include "ui/framework/resource_module.h"
#include "ui/framework/slider_ctrl.h"
#include "ui/framework/spin_ctrl.h"
#include "ui/player_dlg.h"
#include "ui/res/resource_ids.h"
#include "ui/res/resources.h"

namespace {

using namespace quirelle;

class FixedFileChooser final : public framework::FileChooser {
 public:
  explicit FixedFileChooser(QString path) : path_(std::move(path)) {}
  std::optional<QString> ChooseFileToOpen(QWidget*, const QString&) override { return path_; }

 private:
  QString path_;
};

void Press(ui::CPlayerDlg& dialog, int id) {
  if (auto* button = qobject_cast<QAbstractButton*>(dialog.GetDlgItem(id))) {
    button->click();
  }
}

// As if the user had dragged the slider's thumb to `position` and let go.
void Drag(ui::CPlayerDlg& dialog, int id, int position) {
  if (auto* slider = qobject_cast<framework::CSliderCtrl*>(dialog.GetDlgItem(id))) {
    slider->SetPos(position);
    emit slider->Scrolled(framework::kTbThumbPosition, static_cast<unsigned>(position));
    emit slider->Scrolled(framework::kTbEndTrack, 0);
  }
}

// As if the user had typed `bar` into the field and pressed Enter.
void EnterBar(ui::CPlayerDlg& dialog, int id, int bar) {
  if (auto* spin = qobject_cast<framework::CSpinCtrl*>(dialog.GetDlgItem(id))) {
    spin->setValue(bar);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: quirelle-screenshot SONG.mid OUT.png\n");
    return 2;
  }
  QApplication app(argc, argv);
  const QTemporaryDir settings;
  if (!settings.isValid()) {
    std::fprintf(stderr, "quirelle-screenshot: no temporary folder for the settings\n");
    return 1;
  }
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  framework::SetResourceModule(&res::Module());
  stream::VirtualDriver driver(stream::VirtualDriver::Mode::kRealTime);
  FixedFileChooser chooser(QString::fromLocal8Bit(argv[1]));
  ui::CPlayerDlg dialog(driver, chooser, driver.clock());
  if (!dialog.Create()) {
    return 1;
  }
  Press(dialog, res::kIdcOpen);
  EnterBar(dialog, res::kIdcFromBar, 2);
  EnterBar(dialog, res::kIdcToBar, 4);
  Press(dialog, res::kIdcLoop);
  Press(dialog, res::kIdcCountIn);
  Press(dialog, res::kIdcPlay);
  Drag(dialog, res::kIdcTempo, 120);
  Drag(dialog, res::kIdcVolume1, 60);
  Drag(dialog, res::kIdcVolume3, 85);
  const QString out = QString::fromLocal8Bit(argv[2]);
  int status = 1;
  QTimer::singleShot(6000, &dialog, [&] {
    const QPixmap picture = dialog.screen()->grabWindow(dialog.winId());
    status = picture.save(out) ? 0 : 1;
    Press(dialog, res::kIdcStop);
    app.quit();
  });
  app.exec();
  framework::SetResourceModule(nullptr);
  return status;
}
