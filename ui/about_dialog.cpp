#include "ui/about_dialog.h"

#include "ui/framework/data_exchange.h"
#include "ui/res/resource_ids.h"

namespace quirelle::ui {

CAboutDialog::CAboutDialog(QWidget* parent) : framework::CDialog(res::kIddAbout, parent) {}

void CAboutDialog::DoDataExchange(framework::CDataExchange& dx) {
  framework::DDX_Control(dx, res::kIdcCredits, m_editCredits);
}

}  // namespace quirelle::ui
