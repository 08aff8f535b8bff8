// Building a dialog from a template: dialog units from the font, control kinds, geometry, frame,
// visibility, enabling and tab order.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "tests/ui/test_template.h"
#include "ui/framework/bitmap_button.h"
#include "ui/framework/dialog.h"
#include "ui/framework/dialog_font.h"
#include "ui/framework/plain_check_box.h"
#include "ui/framework/slider_ctrl.h"
#include "ui/framework/spin_ctrl.h"

namespace quirelle::framework {
namespace {

using testing::kTestTemplate;

struct MulDivCase {
  int a, b, c, expected;
};

class MulDivTest : public ::testing::TestWithParam<MulDivCase> {};

TEST_P(MulDivTest, RoundsHalvesAwayFromZero) {
  const MulDivCase& m = GetParam();
  EXPECT_EQ(MulDiv(m.a, m.b, m.c), m.expected) << m.a << "*" << m.b << "/" << m.c;
}

INSTANTIATE_TEST_SUITE_P(Values, MulDivTest,
                         ::testing::Values(MulDivCase{35, 6, 4, 53}, MulDivCase{31, 13, 8, 50},
                                           MulDivCase{272, 6, 4, 408}, MulDivCase{205, 13, 8, 333},
                                           MulDivCase{3, 1, 2, 2}, MulDivCase{-3, 1, 2, -2},
                                           MulDivCase{1, 1, 3, 0}, MulDivCase{5, 1, 0, -1},
                                           MulDivCase{0x7FFFFFFF, 4, 1, -1}));

TEST(DialogUnits, BaseUnitsOfTheClassicDialogFont) {
  ASSERT_TRUE(FontFamilyAvailable(QStringLiteral("MS Sans Serif")))
      << "the dialog font comes from Wine's font file: install fonts-wine";
  const QFont font = DialogFont("MS Sans Serif", 8);
  EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("MS Sans Serif"));
  // 8-point MS Sans Serif: letters 6 pixels wide on average, lines 13 pixels high.
  const DialogUnits units = DialogUnits::FromFont(font);
  EXPECT_EQ(units.baseX(), 6);
  EXPECT_EQ(units.baseY(), 13);
}

TEST(DialogFont, UnknownFamilyFallsBackToTheSystemFontAtThePointSize) {
  const QFont font = DialogFont("No Such Font Family", 8);
  EXPECT_NE(font.family(), QStringLiteral("No Such Font Family"));
  EXPECT_GT(font.pixelSize(), 0);
}

class LoadedDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dialog_.Create()); }
  template <class T>
  T* Item(int id) {
    return dynamic_cast<T*>(dialog_.GetDlgItem(id));
  }

  CDialog dialog_{kTestTemplate};
};

TEST_F(LoadedDialogTest, EveryControlHasItsTemplateRectangleInDialogUnits) {
  ASSERT_EQ(dialog_.Units().baseX(), 6);
  ASSERT_EQ(dialog_.Units().baseY(), 13);
  // The template's rectangles worked out by hand: x and width × 6/4, y and height × 13/8, halves
  // rounded up; (10, 60, 35, 31) is 15, 97.5, 52.5, 50.375 pixels.
  const QRect expected[] = {
      {8, 8, 75, 13},     {15, 33, 117, 42}, {150, 33, 60, 13}, {15, 98, 53, 50},
      {225, 195, 56, 23}, {240, 16, 39, 99}, {8, 163, 75, 13},  {150, 195, 56, 23},
      {90, 98, 96, 23},   {90, 130, 90, 16}, {8, 228, 270, 49}, {90, 154, 90, 16},
      {210, 130, 60, 23},
  };
  ASSERT_EQ(std::size(expected), kTestTemplate.controls.size());
  const QObjectList children = dialog_.children();
  std::size_t index = 0;
  std::size_t n = 0;
  for (const ControlTemplate& control : kTestTemplate.controls) {
    // Controls are created in template order; find the index-th widget child.
    QWidget* widget = nullptr;
    while (index < static_cast<std::size_t>(children.size()) && widget == nullptr) {
      widget = qobject_cast<QWidget*>(children[static_cast<qsizetype>(index++)]);
    }
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->geometry(), expected[n++]) << "control " << control.id << " " << control.text;
  }
}

TEST_F(LoadedDialogTest, FrameIsFixedSizeWithCaptionAndCloseBoxOnly) {
  const QSize client(300, 293);  // 200 × 180 dialog units: 300 × 292.5 pixels
  EXPECT_EQ(dialog_.size(), client);
  EXPECT_EQ(dialog_.minimumSize(), client);
  EXPECT_EQ(dialog_.maximumSize(), client);
  EXPECT_EQ(dialog_.windowTitle(), QStringLiteral("Test dialog"));
  const Qt::WindowFlags flags = dialog_.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(flags & Qt::WindowTitleHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(dialog_.isVisible()) << "the template does not say visible";
}

TEST_F(LoadedDialogTest, ControlKindsFollowTheTemplate) {
  auto* label = Item<QLabel>(testing::kTestStatic);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), QStringLiteral("Static"));
  EXPECT_EQ(dialog_.GetDlgItem(kNoId), dialog_.children().front()) << "the first -1 control";
  EXPECT_EQ(dialog_.GetDlgItem(4242), nullptr);

  auto* slider = Item<CSliderCtrl>(testing::kTestSlider);
  ASSERT_NE(slider, nullptr);
  EXPECT_FALSE(slider->IsVertical());
  EXPECT_EQ(slider->tickPosition(), QSlider::TicksBothSides);
  auto* vertical = Item<CSliderCtrl>(testing::kTestVertical);
  ASSERT_NE(vertical, nullptr);
  EXPECT_TRUE(vertical->IsVertical());

  auto* exit = Item<QPushButton>(1);
  ASSERT_NE(exit, nullptr);
  EXPECT_TRUE(exit->isDefault());
  auto* push = Item<QPushButton>(testing::kTestPush);
  ASSERT_NE(push, nullptr);
  EXPECT_FALSE(push->isDefault());
  EXPECT_NE(Item<CBitmapButton>(testing::kTestBitmap), nullptr);

  auto* edit = Item<QLineEdit>(testing::kTestEdit);
  ASSERT_NE(edit, nullptr);
  EXPECT_FALSE(edit->isEnabled());
  EXPECT_FALSE(edit->hasFrame());
  auto* multi = Item<QPlainTextEdit>(testing::kTestMultiLine);
  ASSERT_NE(multi, nullptr);
  EXPECT_TRUE(multi->isReadOnly());
  EXPECT_EQ(multi->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

  auto* hidden = Item<PlainCheckBox>(testing::kTestHiddenCheck);
  ASSERT_NE(hidden, nullptr);
  EXPECT_TRUE(hidden->isHidden());
  EXPECT_FALSE(hidden->isEnabled());

  auto* spin = Item<CSpinCtrl>(testing::kTestSpin);
  ASSERT_NE(spin, nullptr);
  EXPECT_EQ(spin->specialValueText(), QStringLiteral("none")) << "the word for its lowest value";
  EXPECT_EQ(spin->text(), QStringLiteral("none"));
}

TEST_F(LoadedDialogTest, PlainCheckBoxDoesNotCheckItselfWhenClicked) {
  auto* check = Item<PlainCheckBox>(testing::kTestCheck);
  ASSERT_NE(check, nullptr);
  check->click();
  EXPECT_FALSE(check->isChecked());
  check->setChecked(true);
  check->click();
  EXPECT_TRUE(check->isChecked());
}

TEST_F(LoadedDialogTest, TabOrderIsTemplateOrderOverTabStops) {
  std::vector<QWidget*> expected;
  for (int id : {testing::kTestSlider, testing::kTestBitmap, 1, testing::kTestVertical,
                 testing::kTestPush, testing::kTestCheck, testing::kTestMultiLine,
                 testing::kTestHiddenCheck, testing::kTestSpin}) {
    expected.push_back(dialog_.GetDlgItem(id));
  }
  std::vector<QWidget*> chain;
  QWidget* widget = expected.front();
  do {
    // A spin box's own line edit takes the focus for it.
    if ((widget->focusPolicy() & Qt::TabFocus) != 0 && widget->parentWidget() == &dialog_) {
      chain.push_back(widget);
    }
    widget = widget->nextInFocusChain();
  } while (widget != expected.front() && chain.size() < 50);
  EXPECT_EQ(chain, expected);
}

}  // namespace
}  // namespace quirelle::framework
