// The application object: one per program, constructed before the program runs. Run makes the
// Qt application, installs the resource module and calls InitInstance; a true result enters
// the event loop, a false one ends the program at once.
#pragma once

#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "ui/framework/resource_module.h"

namespace quirelle::framework {

class CWinApp {
 public:
  // `resources` (may be null) must outlive the application object.
  explicit CWinApp(const ResourceModule* resources = nullptr, QString name = {});
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual bool InitInstance() = 0;
  // Uses the Qt application that exists, else makes one for the run. The exit code.
  int Run(int& argc, char** argv);

  QWidget* MainWindow() const { return mainWindow_; }
  // Not owned; the owner of modeless dialogs created without one.
  void SetMainWindow(QWidget* window) { mainWindow_ = window; }
  const QString& name() const { return name_; }
  // The command line of Run as the system gave it, bytes and all (Qt turns a file name that is
  // not UTF-8 into other text), without the options Qt took for itself.
  const std::vector<std::string>& arguments() const { return arguments_; }

 private:
  int RunInstance();

  const ResourceModule* resources_;
  QString name_;
  QWidget* mainWindow_ = nullptr;
  std::vector<std::string> arguments_;
};

// The one application object, or nullptr.
CWinApp* AfxGetApp();
// Its main window, or nullptr.
QWidget* AfxGetMainWnd();

}  // namespace quirelle::framework
