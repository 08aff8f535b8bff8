// The About box: the version line, where to look for updates, and the credits.
#pragma once

#include <QPlainTextEdit>

#include "ui/framework/dialog.h"

namespace quirelle::ui {

class CAboutDialog : public framework::CDialog {
  Q_OBJECT

 public:
  explicit CAboutDialog(QWidget* parent = nullptr);
  QPlainTextEdit* credits() const { return m_editCredits; }

 protected:
  void DoDataExchange(framework::CDataExchange& dx) override;

 private:
  QPlainTextEdit* m_editCredits = nullptr;
};

}  // namespace quirelle::ui
