#include "ui/midi_sample_app.h"

#include <QDBusConnection>
#include <QGuiApplication>
#include <QTimer>
#include <memory>
#include <new>

#include "ui/about_dialog.h"
#include "ui/app_title.h"
#include "ui/framework/file_chooser.h"
#include "ui/framework/message_box.h"
#include "ui/framework/resource_module.h"
#include "ui/media_player_bus.h"
#include "ui/player_dlg.h"
#include "ui/res/resource_ids.h"
#include "ui/res/resources.h"

namespace quirelle::ui {

CMidiSampleApp::CMidiSampleApp() : framework::CWinApp(&res::Module(), g_strAppTitle) {}

bool CMidiSampleApp::InitInstance() {
  // The desktop entry's name: Wayland compositors take the window's icon and name from it.
  QGuiApplication::setDesktopFileName(QStringLiteral("quirelle"));
  const std::unique_ptr<stream::StreamDriver> driver = stream::MakeDefaultDriver();
  driver->PrepareInBackground();  // the first Play then need not wait for the SoundFont
  framework::QtFileChooser chooser;
  CPlayerDlg dialog(*driver, chooser);
  // `quirelle FILE.mid`, as a file manager's "Open with" runs it.
  const std::vector<std::string>& arguments = this->arguments();
  if (arguments.size() > 1 && !arguments[1].empty()) {
    dialog.OpenOnStart(arguments[1]);
  }
  // On the media-player bus once the window is built, that is, once its modal loop runs.
  std::unique_ptr<MediaPlayerBus> mediaBus;
  QTimer::singleShot(0, &dialog, [&] {
    mediaBus = MediaPlayerBus::Register(dialog, QDBusConnection::sessionBus());
  });
  SetMainWindow(&dialog);
  dialog.DoModal();
  mediaBus.reset();
  SetMainWindow(nullptr);
  return false;
}

void CMidiSampleApp::ShowAbout() {
  std::unique_ptr<CAboutDialog> box;
  try {
    box = std::make_unique<CAboutDialog>();
  } catch (const std::bad_alloc&) {
    framework::AfxMessageBox(QStringLiteral("Error Creating Dialog Object"));
    return;
  }
  if (!box->Create()) {
    framework::AfxMessageBox(QStringLiteral("Error creating Dialog"));
    return;
  }
  QString credits;
  for (int id : {res::kIdsCredits1, res::kIdsCredits2, res::kIdsCredits3, res::kIdsCredits4}) {
    credits += framework::CurrentResourceModule().LoadString(id).value_or(QString());
  }
  box->credits()->setPlainText(credits);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->show();
  box.release();  // owned by the player window from here, and freed when closed
}

}  // namespace quirelle::ui
