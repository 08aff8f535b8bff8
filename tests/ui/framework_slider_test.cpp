// The trackbar's notification codes for keys, the mouse and the wheel, and its geometry.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWheelEvent>
#include <vector>

#include "ui/framework/slider_ctrl.h"

namespace quirelle::framework {
namespace {

struct Report {
  unsigned code;
  unsigned thumb;
  int positionWhenReported;
  bool operator==(const Report&) const = default;
};

class SliderTest : public ::testing::Test {
 protected:
  void Make(Qt::Orientation orientation, QSize size) {
    slider_ = std::make_unique<CSliderCtrl>(orientation);
    slider_->resize(size);
    slider_->setTickPosition(QSlider::TicksBothSides);
    slider_->show();
    QObject::connect(slider_.get(), &CSliderCtrl::Scrolled, [this](unsigned code, unsigned thumb) {
      reports_.push_back({code, thumb, slider_->GetPos()});
    });
  }
  std::vector<unsigned> Codes() const {
    std::vector<unsigned> codes;
    for (const Report& r : reports_) {
      codes.push_back(r.code);
    }
    return codes;
  }
  void SendKey(QEvent::Type type, int key, bool autoRepeat) {
    QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(slider_.get(), &event);
  }

  std::unique_ptr<CSliderCtrl> slider_;
  std::vector<Report> reports_;
};

TEST_F(SliderTest, DefaultRangeLineAndPageSizes) {
  Make(Qt::Horizontal, {117, 42});
  EXPECT_EQ(slider_->GetRangeMin(), 0);
  EXPECT_EQ(slider_->GetRangeMax(), 100);
  EXPECT_EQ(slider_->GetLineSize(), 1);
  EXPECT_EQ(slider_->GetPageSize(), 20);
  slider_->SetRange(20, 500);
  EXPECT_EQ(slider_->GetPageSize(), 96);
  slider_->SetPos(10);
  EXPECT_EQ(slider_->GetPos(), 20) << "the position is clamped to the range";
  slider_->SetPos(900);
  EXPECT_EQ(slider_->GetPos(), 500);
}

struct KeyCase {
  int key;
  int start;
  std::vector<unsigned> codes;
  int end;
};

void PrintTo(const KeyCase& c, std::ostream* out) {
  *out << "key " << c.key << " from " << c.start;
}

class SliderKeyTest : public SliderTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(SliderKeyTest, MovesFirstThenReportsAndEndsWithEndTrack) {
  const KeyCase& c = GetParam();
  Make(Qt::Horizontal, {117, 42});
  slider_->SetPos(c.start);
  QTest::keyClick(slider_.get(), static_cast<Qt::Key>(c.key));
  EXPECT_EQ(Codes(), c.codes);
  EXPECT_EQ(slider_->GetPos(), c.end);
  if (c.codes.size() == 2) {
    EXPECT_EQ(reports_[0].positionWhenReported, c.end) << "the slider moves before it reports";
    EXPECT_EQ(reports_[0].thumb, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, SliderKeyTest,
    ::testing::Values(KeyCase{Qt::Key_Right, 50, {kTbLineDown, kTbEndTrack}, 51},
                      KeyCase{Qt::Key_Down, 50, {kTbLineDown, kTbEndTrack}, 51},
                      KeyCase{Qt::Key_Left, 50, {kTbLineUp, kTbEndTrack}, 49},
                      KeyCase{Qt::Key_Up, 50, {kTbLineUp, kTbEndTrack}, 49},
                      KeyCase{Qt::Key_PageDown, 50, {kTbPageDown, kTbEndTrack}, 70},
                      KeyCase{Qt::Key_PageUp, 50, {kTbPageUp, kTbEndTrack}, 30},
                      KeyCase{Qt::Key_PageDown, 95, {kTbPageDown, kTbEndTrack}, 100},
                      KeyCase{Qt::Key_PageUp, 5, {kTbPageUp, kTbEndTrack}, 0},
                      KeyCase{Qt::Key_Home, 50, {kTbTop, kTbEndTrack}, 0},
                      KeyCase{Qt::Key_End, 50, {kTbBottom, kTbEndTrack}, 100},
                      // Already at that end: nothing moves, only the end of the action.
                      KeyCase{Qt::Key_Left, 0, {kTbEndTrack}, 0},
                      KeyCase{Qt::Key_End, 100, {kTbEndTrack}, 100}));

TEST_F(SliderTest, HeldKeyRepeatsLineStepsAndEndsOnceOnRelease) {
  Make(Qt::Horizontal, {117, 42});
  slider_->SetPos(10);
  SendKey(QEvent::KeyPress, Qt::Key_Right, false);
  for (int i = 0; i < 3; ++i) {
    SendKey(QEvent::KeyRelease, Qt::Key_Right, true);
    SendKey(QEvent::KeyPress, Qt::Key_Right, true);
  }
  SendKey(QEvent::KeyRelease, Qt::Key_Right, false);
  EXPECT_EQ(Codes(), (std::vector<unsigned>{kTbLineDown, kTbLineDown, kTbLineDown, kTbLineDown,
                                            kTbEndTrack}));
  EXPECT_EQ(slider_->GetPos(), 14);
}

TEST_F(SliderTest, OtherKeysAreLeftToTheDialog) {
  Make(Qt::Horizontal, {117, 42});
  for (int key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Space}) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(slider_.get(), &event);
    EXPECT_FALSE(event.isAccepted()) << key;
  }
  EXPECT_TRUE(reports_.empty());
}

TEST_F(SliderTest, DraggedThumbTracksThenGivesPositionThenEndTrack) {
  Make(Qt::Horizontal, {117, 42});
  slider_->SetPos(20);
  const QPoint grab = slider_->ThumbRect().center();
  QTest::mousePress(slider_.get(), Qt::LeftButton, {}, grab);
  EXPECT_TRUE(reports_.empty()) << "taking the thumb reports nothing";
  QTest::mouseMove(slider_.get(), grab + QPoint(15, 0));
  QTest::mouseMove(slider_.get(), grab + QPoint(40, 3));
  QTest::mouseRelease(slider_.get(), Qt::LeftButton, {}, grab + QPoint(40, 3));
  ASSERT_EQ(reports_.size(), 4u);
  EXPECT_EQ(reports_[0].code, kTbThumbTrack);
  EXPECT_EQ(reports_[1].code, kTbThumbTrack);
  EXPECT_GT(reports_[1].thumb, reports_[0].thumb);
  EXPECT_GT(reports_[0].thumb, 20u);
  EXPECT_EQ(static_cast<int>(reports_[1].thumb), reports_[1].positionWhenReported);
  EXPECT_EQ((reports_[2]), (Report{kTbThumbPosition, reports_[1].thumb, slider_->GetPos()}));
  EXPECT_EQ((reports_[3]), (Report{kTbEndTrack, 0, slider_->GetPos()}));
  // The thumb follows the pointer: back where it was taken, the position is the start again.
  reports_.clear();
  const QPoint again = slider_->ThumbRect().center();
  QTest::mousePress(slider_.get(), Qt::LeftButton, {}, again);
  QTest::mouseMove(slider_.get(), again - QPoint(40, 0));
  QTest::mouseRelease(slider_.get(), Qt::LeftButton, {}, again - QPoint(40, 0));
  EXPECT_EQ(slider_->GetPos(), 20);
}

TEST_F(SliderTest, ThumbClickedWithoutMovingGivesPositionThenEndTrack) {
  Make(Qt::Horizontal, {117, 42});
  slider_->SetPos(0);
  QTest::mouseClick(slider_.get(), Qt::LeftButton, {}, slider_->ThumbRect().center());
  EXPECT_EQ((reports_), (std::vector<Report>{{kTbThumbPosition, 0, 0}, {kTbEndTrack, 0, 0}}));
}

TEST_F(SliderTest, ClickBesideTheThumbPagesTowardsIt) {
  Make(Qt::Horizontal, {117, 42});
  slider_->SetPos(50);
  const QRect thumb = slider_->ThumbRect();
  QTest::mouseClick(slider_.get(), Qt::LeftButton, {}, {slider_->width() - 3, thumb.center().y()});
  EXPECT_EQ(Codes(), (std::vector<unsigned>{kTbPageDown, kTbEndTrack}));
  EXPECT_EQ(slider_->GetPos(), 70);
  reports_.clear();
  QTest::mouseClick(slider_.get(), Qt::LeftButton, {}, {2, thumb.center().y()});
  EXPECT_EQ(Codes(), (std::vector<unsigned>{kTbPageUp, kTbEndTrack}));
  EXPECT_EQ(slider_->GetPos(), 50);
}

TEST_F(SliderTest, HeldClickKeepsPagingUntilTheThumbReachesThePointer) {
  Make(Qt::Horizontal, {117, 42});
  slider_->SetPos(0);
  const QPoint target(slider_->width() - 3, slider_->ThumbRect().center().y());
  QTest::mousePress(slider_.get(), Qt::LeftButton, {}, target);
  QTRY_VERIFY_WITH_TIMEOUT(slider_->GetPos() == 100, 10000);
  QTest::qWait(300);  // no further steps once there
  QTest::mouseRelease(slider_.get(), Qt::LeftButton, {}, target);
  const std::vector<unsigned> expected{kTbPageDown, kTbPageDown, kTbPageDown,
                                       kTbPageDown, kTbPageDown, kTbEndTrack};
  EXPECT_EQ(Codes(), expected);
}

TEST_F(SliderTest, WheelStepsByLinesAndEndsWithEndTrack) {
  Make(Qt::Horizontal, {117, 42});
  slider_->SetPos(50);
  const QPointF at = slider_->rect().center();
  QWheelEvent away(at, slider_->mapToGlobal(at), {}, {0, 240}, Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
  QApplication::sendEvent(slider_.get(), &away);
  EXPECT_EQ(Codes(), (std::vector<unsigned>{kTbLineUp, kTbLineUp, kTbEndTrack}));
  EXPECT_EQ(slider_->GetPos(), 48);
}

TEST_F(SliderTest, ActionWhoseReleaseWentElsewhereEndsAtTheNextPressOrWhenHidden) {
  Make(Qt::Horizontal, {117, 42});
  slider_->SetPos(20);
  const QPoint grab = slider_->ThumbRect().center();
  QTest::mousePress(slider_.get(), Qt::LeftButton, {}, grab);
  QTest::mouseMove(slider_.get(), grab + QPoint(20, 0));
  QTest::mousePress(slider_.get(), Qt::LeftButton, {}, {2, grab.y()});  // no release came
  EXPECT_EQ(Codes(),
            (std::vector<unsigned>{kTbThumbTrack, kTbThumbPosition, kTbEndTrack, kTbPageUp}));
  reports_.clear();
  slider_->hide();
  EXPECT_EQ(Codes(), (std::vector<unsigned>{kTbEndTrack}));
  const int position = slider_->GetPos();
  QTest::qWait(700);  // the paging has stopped
  EXPECT_EQ(slider_->GetPos(), position);
}

TEST_F(SliderTest, VerticalHasItsMinimumAtTheTop) {
  Make(Qt::Vertical, {39, 99});
  slider_->SetRange(20, 500);
  slider_->SetPos(20);
  const int topAtMinimum = slider_->ThumbRect().top();
  slider_->SetPos(500);
  const int topAtMaximum = slider_->ThumbRect().top();
  EXPECT_LT(topAtMinimum, topAtMaximum);
  // Up moves towards the top, which is the minimum.
  QTest::keyClick(slider_.get(), Qt::Key_Up);
  EXPECT_EQ(Codes(), (std::vector<unsigned>{kTbLineUp, kTbEndTrack}));
  EXPECT_EQ(slider_->GetPos(), 499);
  // A click above the thumb pages up.
  reports_.clear();
  QTest::mouseClick(slider_.get(), Qt::LeftButton, {}, {slider_->ThumbRect().center().x(), 3});
  EXPECT_EQ(Codes(), (std::vector<unsigned>{kTbPageUp, kTbEndTrack}));
  EXPECT_EQ(slider_->GetPos(), 499 - 96);
}

TEST_F(SliderTest, VerticalDragDownwardsIncreasesThePosition) {
  Make(Qt::Vertical, {39, 99});
  slider_->SetPos(0);
  const QPoint grab = slider_->ThumbRect().center();
  QTest::mousePress(slider_.get(), Qt::LeftButton, {}, grab);
  QTest::mouseMove(slider_.get(), grab + QPoint(0, 30));
  QTest::mouseRelease(slider_.get(), Qt::LeftButton, {}, grab + QPoint(0, 30));
  ASSERT_EQ(Codes(), (std::vector<unsigned>{kTbThumbTrack, kTbThumbPosition, kTbEndTrack}));
  EXPECT_GT(slider_->GetPos(), 0);
}

}  // namespace
}  // namespace quirelle::framework
