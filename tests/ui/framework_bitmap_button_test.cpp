// The bitmap button's choice of face and its unscaled, clipped drawing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>

#include "tests/ui/fake_resources.h"
#include "ui/framework/bitmap_button.h"

namespace quirelle::framework {
namespace {

using testing::ColourForId;
using testing::FakeResources;
using testing::ScopedResources;

struct FaceCase {
  bool down, focused, enabled;
  std::array<bool, 4> loaded;
  Face expected;
};

class SelectFaceTest : public ::testing::TestWithParam<FaceCase> {};

TEST_P(SelectFaceTest, DownBeatsFocusedBeatsDisabledBeatsUp) {
  const FaceCase& c = GetParam();
  EXPECT_EQ(SelectFace(c.down, c.focused, c.enabled, c.loaded), c.expected);
}

constexpr std::array<bool, 4> kAll{true, true, true, true};
constexpr std::array<bool, 4> kUpOnly{true, false, false, false};
constexpr std::array<bool, 4> kNoFocused{true, true, false, true};

INSTANTIATE_TEST_SUITE_P(
    States, SelectFaceTest,
    ::testing::Values(FaceCase{false, false, true, kAll, Face::kUp},
                      FaceCase{true, false, true, kAll, Face::kDown},
                      FaceCase{true, true, true, kAll, Face::kDown},
                      FaceCase{true, true, false, kAll, Face::kDown},
                      FaceCase{false, true, true, kAll, Face::kFocused},
                      FaceCase{false, true, false, kAll, Face::kFocused},
                      FaceCase{false, false, false, kAll, Face::kDisabled},
                      // A face that is not loaded gives way to the next in precedence.
                      FaceCase{true, true, false, kUpOnly, Face::kUp},
                      FaceCase{false, true, false, kNoFocused, Face::kDisabled},
                      FaceCase{false, true, true, kNoFocused, Face::kUp}));

class BitmapButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    button_.resize(53, 50);
    button_.SetClientEdge(true);
    button_.LoadBitmaps(11, 12, 13, 14);
  }
  QColor PixelAt(int x, int y) { return button_.grab().toImage().pixelColor(x, y); }

  FakeResources resources_;
  ScopedResources scoped_{resources_};
  CBitmapButton button_;
};

TEST_F(BitmapButtonTest, FailsWhenTheUpFaceIsMissingButKeepsTheOthers) {
  resources_.missingBitmap = 21;
  EXPECT_FALSE(button_.LoadBitmaps(21, 22, 0, 24));
  EXPECT_TRUE(button_.FaceImage(Face::kUp).isNull());
  EXPECT_FALSE(button_.FaceImage(Face::kDown).isNull());
  EXPECT_TRUE(button_.FaceImage(Face::kFocused).isNull());
}

TEST_F(BitmapButtonTest, DrawsTheFaceUnscaledAtTheClientTopLeftClippedToTheClient) {
  // Client area: inside a 2-pixel edge, 49 × 46; the 48 × 48 face loses its last two rows.
  EXPECT_EQ(button_.ClientRect(), QRect(2, 2, 49, 46));
  const QColor up = ColourForId(11);
  EXPECT_EQ(PixelAt(2, 2), up);
  EXPECT_EQ(PixelAt(49, 47), up);
  EXPECT_NE(PixelAt(50, 20), up) << "the face is not stretched to the client width";
  EXPECT_NE(PixelAt(1, 1), up) << "the edge is not painted over";
  EXPECT_NE(PixelAt(20, 48), up) << "the face is clipped to the client area";
}

TEST_F(BitmapButtonTest, ShowsDownAndDisabledFaces) {
  button_.setDown(true);
  EXPECT_EQ(PixelAt(10, 10), ColourForId(12));
  button_.setDown(false);
  button_.setEnabled(false);
  EXPECT_EQ(PixelAt(10, 10), ColourForId(14));
  button_.setEnabled(true);
  EXPECT_EQ(PixelAt(10, 10), ColourForId(11));
}

TEST_F(BitmapButtonTest, ShowsTheFocusedFaceWhileItHasTheFocus) {
  QWidget window;
  auto button = std::make_unique<CBitmapButton>(&window);  // goes before its parent
  button->resize(48, 48);
  button->LoadBitmaps(11, 12, 13, 14);
  window.show();
  QApplication::setActiveWindow(&window);
  button->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&button] { return button->hasFocus(); }));
  EXPECT_EQ(button->CurrentFace(), Face::kFocused);
  EXPECT_EQ(button->grab().toImage().pixelColor(10, 10), ColourForId(13));
  button->setDown(true);
  EXPECT_EQ(button->grab().toImage().pixelColor(10, 10), ColourForId(12)) << "down beats focused";
}

}  // namespace
}  // namespace quirelle::framework
