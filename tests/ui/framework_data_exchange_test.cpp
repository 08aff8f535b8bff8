// Data exchange: refresh puts members into controls, read-back takes them out; controls bind
// once; missing or mismatched controls fail the exchange.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <string>

#include "tests/ui/test_template.h"
#include "ui/framework/data_exchange.h"
#include "ui/framework/plain_check_box.h"
#include "ui/framework/slider_ctrl.h"
#include "ui/framework/spin_ctrl.h"

namespace quirelle::framework {
namespace {

using namespace testing;

class ExchangeDialog : public CDialog {
 public:
  ExchangeDialog() : CDialog(kTestTemplate) {}

  QString label;
  std::string name;
  QString credits;
  int position = 0;
  int bar = 0;
  bool checked = false;
  int checkedInt = 0;
  CSliderCtrl* boundSlider = nullptr;
  QLineEdit* boundEdit = nullptr;
  int exchanges = 0;
  int extraId = 0;  // a further text exchange, for the failure cases
  CSliderCtrl* wronglyBound = nullptr;
  int wrongBindingId = 0;

 protected:
  void DoDataExchange(CDataExchange& dx) override {
    ++exchanges;
    DDX_Control(dx, kTestSlider, boundSlider);
    DDX_Control(dx, kTestEdit, boundEdit);
    DDX_Text(dx, kTestStatic, label);
    DDX_Text(dx, kTestEdit, name);
    DDX_Text(dx, kTestMultiLine, credits);
    DDX_Slider(dx, kTestSlider, position);
    DDX_Spin(dx, kTestSpin, bar);
    DDX_Check(dx, kTestCheck, checked);
    DDX_Check(dx, kTestHiddenCheck, checkedInt);
    if (extraId != 0) {
      QString ignored;
      DDX_Text(dx, extraId, ignored);
    }
    if (wrongBindingId != 0) {
      DDX_Control(dx, wrongBindingId, wronglyBound);
    }
  }
};

class DataExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dialog_.Create()); }
  QString Text(int id) { return dialog_.GetDlgItemText(id); }
  CSliderCtrl& Slider() { return *dynamic_cast<CSliderCtrl*>(dialog_.GetDlgItem(kTestSlider)); }
  CSpinCtrl& Spin() { return *dynamic_cast<CSpinCtrl*>(dialog_.GetDlgItem(kTestSpin)); }
  PlainCheckBox& Check(int id) { return *dynamic_cast<PlainCheckBox*>(dialog_.GetDlgItem(id)); }

  ExchangeDialog dialog_;
};

TEST_F(DataExchangeTest, InitialisationRefreshesAndBindsControls) {
  EXPECT_EQ(dialog_.exchanges, 1);
  EXPECT_EQ(dialog_.boundSlider, dialog_.GetDlgItem(kTestSlider));
  EXPECT_EQ(dialog_.boundEdit, dialog_.GetDlgItem(kTestEdit));
  EXPECT_EQ(Text(kTestStatic), QString()) << "the template's \"Static\" is replaced";
}

TEST_F(DataExchangeTest, RefreshWritesMembersIntoControls) {
  dialog_.label = QStringLiteral("100 %");
  dialog_.name = "Alto \xC3\xA9";  // UTF-8
  dialog_.credits = QStringLiteral("one\ntwo");
  dialog_.position = 42;
  Spin().SetRange(0, 20);
  dialog_.bar = 17;
  dialog_.checked = true;
  dialog_.checkedInt = 5;
  ASSERT_TRUE(dialog_.UpdateData(false));
  EXPECT_EQ(Spin().GetPos(), 17);
  EXPECT_EQ(Text(kTestStatic), QStringLiteral("100 %"));
  EXPECT_EQ(Text(kTestEdit), QString::fromUtf8("Alto \xC3\xA9"));
  EXPECT_EQ(Text(kTestMultiLine), QStringLiteral("one\ntwo"));
  EXPECT_EQ(Slider().GetPos(), 42);
  EXPECT_TRUE(Check(kTestCheck).isChecked());
  EXPECT_TRUE(Check(kTestHiddenCheck).isChecked());
}

TEST_F(DataExchangeTest, ReadBackTakesControlsIntoMembers) {
  dialog_.SetDlgItemText(kTestStatic, QStringLiteral("Bar:3 "));
  dialog_.SetDlgItemText(kTestEdit, QStringLiteral("Tenor"));
  Slider().SetPos(77);
  Spin().SetRange(0, 20);
  Spin().SetPos(3);
  Check(kTestCheck).setChecked(true);
  ASSERT_TRUE(dialog_.UpdateData(true));
  EXPECT_EQ(dialog_.bar, 3);
  EXPECT_EQ(dialog_.label, QStringLiteral("Bar:3 "));
  EXPECT_EQ(dialog_.name, "Tenor");
  EXPECT_EQ(dialog_.position, 77);
  EXPECT_TRUE(dialog_.checked);
  EXPECT_EQ(dialog_.checkedInt, 0);
}

TEST_F(DataExchangeTest, TextsAreShownAsTheyAre) {
  dialog_.label = QStringLiteral("Rock & Roll %s 100%% <b>");
  ASSERT_TRUE(dialog_.UpdateData(false));
  auto* label = qobject_cast<QLabel*>(dialog_.GetDlgItem(kTestStatic));
  EXPECT_EQ(label->text(), dialog_.label);
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
}

TEST_F(DataExchangeTest, LongEditTextShowsItsStart) {
  dialog_.name = std::string(200, 'x') + "end";
  ASSERT_TRUE(dialog_.UpdateData(false));
  EXPECT_EQ(dialog_.boundEdit->cursorPosition(), 0);
}

TEST_F(DataExchangeTest, MissingControlFailsTheExchangeButDoesTheRest) {
  dialog_.extraId = 4242;
  dialog_.position = 12;
  EXPECT_FALSE(dialog_.UpdateData(false));
  EXPECT_EQ(Slider().GetPos(), 12);
}

TEST_F(DataExchangeTest, BindingToTheWrongKindFails) {
  dialog_.wrongBindingId = kTestStatic;
  EXPECT_FALSE(dialog_.UpdateData(false));
  EXPECT_EQ(dialog_.wronglyBound, nullptr);
}

}  // namespace
}  // namespace quirelle::framework
