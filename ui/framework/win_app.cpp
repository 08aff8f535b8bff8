// The application object's registration and start-up.
#include "ui/framework/win_app.h"

#include <QApplication>
#include <utility>

namespace quirelle::framework {
namespace {

CWinApp* theApp = nullptr;

}  // namespace

CWinApp::CWinApp(const ResourceModule* resources, QString name)
    : resources_(resources), name_(std::move(name)) {
  theApp = this;
}

CWinApp::~CWinApp() {
  if (theApp == this) {
    theApp = nullptr;
  }
}

int CWinApp::Run(int& argc, char** argv) {
  if (QCoreApplication::instance() != nullptr) {
    arguments_.assign(argv, argv + argc);
    return RunInstance();
  }
  QApplication application(argc, argv);  // takes its own options out of argv
  arguments_.assign(argv, argv + argc);
  return RunInstance();
}

int CWinApp::RunInstance() {
  if (!name_.isEmpty()) {
    QCoreApplication::setApplicationName(name_);
  }
  if (resources_ != nullptr) {
    SetResourceModule(resources_);
  }
  const int code = InitInstance() ? QCoreApplication::exec() : 0;
  mainWindow_ = nullptr;
  return code;
}

CWinApp* AfxGetApp() {
  return theApp;
}

QWidget* AfxGetMainWnd() {
  return theApp != nullptr ? theApp->MainWindow() : nullptr;
}

}  // namespace quirelle::framework
