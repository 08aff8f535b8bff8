// The player window's sliders, texts, layout and About boxes.
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>

#include "tests/ui/player_dlg_fixture.h"
#include "tests/ui/player_pixels.h"
#include "ui/about_dialog.h"
#include "ui/midi_sample_app.h"

namespace quirelle::testing {
namespace {

constexpr std::uint32_t Volume(std::uint32_t channel, std::uint32_t value) {
  return (0xB0 | channel) | (7u << 8) | (value << 16);
}

TEST_F(PlayerDlgTest, TextsBeforeAndAfterTheFirstOpen) {
  for (int id : {res::kIdcVolumeText1, res::kIdcVolumeText2, res::kIdcVolumeText3,
                 res::kIdcVolumeText4, res::kIdcTempoText}) {
    EXPECT_EQ(Text(id), "0 %");
  }
  EXPECT_EQ(Text(res::kIdcPosition), "");
  for (int id : {res::kIdcName1, res::kIdcName2, res::kIdcName3, res::kIdcName4}) {
    EXPECT_EQ(Text(id), "");
  }
  OpenFile(songPath);
  EXPECT_EQ(Text(res::kIdcTitle), "Ave 100%s verum");  // a percent sign is shown as it is
  EXPECT_EQ(Text(res::kIdcName1), "Soprano");
  EXPECT_EQ(Text(res::kIdcName2), "Alto");
  EXPECT_EQ(Text(res::kIdcName3), "Tenor");
  EXPECT_EQ(Text(res::kIdcName4), "Bass");
  for (int id : {res::kIdcVolumeText1, res::kIdcVolumeText4, res::kIdcTempoText}) {
    EXPECT_EQ(Text(id), "100 %");
  }
}

TEST_F(PlayerDlgTest, TempoPageStepsTopAndBottom) {
  OpenFile(songPath);
  struct Step {
    int key;
    int tempo;
  };
  // The slider moves by its page (a fifth of 20..500) and the window adds 20, within 20..500.
  const Step steps[] = {{Qt::Key_PageDown, 216}, {Qt::Key_PageDown, 332}, {Qt::Key_PageDown, 448},
                        {Qt::Key_PageDown, 500}, {Qt::Key_PageUp, 384},   {Qt::Key_End, 500},
                        {Qt::Key_Home, 20},      {Qt::Key_PageUp, 20}};
  for (const Step& step : steps) {
    Key(res::kIdcTempo, step.key, true);
    Key(res::kIdcTempo, step.key, false);
    EXPECT_EQ(dialog->tempo(), step.tempo) << step.key;
    EXPECT_EQ(Slider(res::kIdcTempo)->GetPos(), step.tempo);
    EXPECT_EQ(Text(res::kIdcTempoText), QString::asprintf("%d %%", step.tempo));
    EXPECT_EQ(dialog->engine().tempoPercent(), static_cast<std::uint32_t>(step.tempo));
  }
}

TEST_F(PlayerDlgTest, VolumeKeysSendTheStepThenTheSlidersPosition) {
  OpenFile(songPath);
  Click(res::kIdcPlay);
  TakeShortMessages();
  // The song leaves its volumes at the default 100, so the controller goes out as the percentage.
  Key(res::kIdcVolume1, Qt::Key_Left, true);  // slider to 99, the window sends 79
  EXPECT_EQ(TakeShortMessages(), (std::vector<std::uint32_t>{Volume(0, 79)}));
  EXPECT_EQ(Text(res::kIdcVolumeText1), "79 %");
  Key(res::kIdcVolume1, Qt::Key_Left, false);  // the end of the action: the slider's own 99
  EXPECT_EQ(TakeShortMessages(), (std::vector<std::uint32_t>{Volume(0, 99)}));
  EXPECT_EQ(Text(res::kIdcVolumeText1), "99 %");
  EXPECT_EQ(Slider(res::kIdcVolume1)->GetPos(), 99);

  Key(res::kIdcVolume4, Qt::Key_PageUp, true);  // slider to 80, the window sends 60
  Key(res::kIdcVolume4, Qt::Key_PageUp, false);
  EXPECT_EQ(TakeShortMessages(), (std::vector<std::uint32_t>{Volume(3, 60), Volume(3, 80)}));
  EXPECT_EQ(dialog->volumes()[3], 80);
  Click(res::kIdcStop);
}

TEST_F(PlayerDlgTest, ReleasedThumbAtZeroGivesTwentyThenZero) {
  OpenFile(songPath);
  Click(res::kIdcPlay);
  framework::CSliderCtrl* slider = Slider(res::kIdcVolume3);
  const QPoint grab = slider->ThumbRect().center();
  QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, grab);
  QTest::mouseMove(slider, QPoint(grab.x() - 40, grab.y()));
  QTest::mouseMove(slider, QPoint(-200, grab.y()));
  TakeShortMessages();
  QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, QPoint(-200, grab.y()));
  EXPECT_EQ(TakeShortMessages(), (std::vector<std::uint32_t>{Volume(2, 20), Volume(2, 0)}));
  EXPECT_EQ(dialog->volumes()[2], 0);
  EXPECT_EQ(Text(res::kIdcVolumeText3), "0 %");
  Click(res::kIdcStop);
}

TEST_F(PlayerDlgTest, VolumesWaitForPlayAndGoOutOnce) {
  OpenFile(songPath);
  Key(res::kIdcVolume2, Qt::Key_Right, true);  // at 100 already: nothing moves
  Key(res::kIdcVolume2, Qt::Key_Left, true);
  Key(res::kIdcVolume2, Qt::Key_Left, false);
  EXPECT_TRUE(TakeShortMessages().empty());  // not playing: kept in the window
  EXPECT_EQ(dialog->volumes()[1], 99);
  Click(res::kIdcPlay);
  EXPECT_EQ(TakeShortMessages(), (std::vector<std::uint32_t>{Volume(0, 100), Volume(1, 99),
                                                             Volume(2, 100), Volume(3, 100)}));
  PlayFor(1'000'000);
  EXPECT_TRUE(TakeShortMessages().empty());  // the engine keeps them as the song plays
  Click(res::kIdcStop);
}

TEST_F(PlayerDlgTest, ControlsSitWhereTheTemplatePutsThem) {
  // The notes view takes the rest of the window, right of the controls.
  EXPECT_EQ(dialog->height(), kPlayerDialogPixels.height());
  EXPECT_EQ(dialog->notesView().geometry(),
            QRect(kPlayerDialogPixels.width(), 0, dialog->width() - kPlayerDialogPixels.width(),
                  dialog->height()));
  EXPECT_GT(dialog->notesView().width(), kPlayerDialogPixels.width());
  for (const PlacedControl& placed : kPlayerPixels) {
    QWidget* widget = dialog->GetDlgItem(placed.id);
    ASSERT_NE(widget, nullptr) << placed.id;
    EXPECT_EQ(widget->geometry(), placed.pixels) << placed.id;
  }
}

TEST_F(PlayerDlgTest, EachAboutPressOpensOneMoreAboutBox) {
  ui::CMidiSampleApp app;
  app.SetMainWindow(dialog.get());
  for (int i = 0; i < 3; ++i) {
    Click(res::kIdcAbout);
  }
  const auto boxes = dialog->findChildren<ui::CAboutDialog*>();
  ASSERT_EQ(boxes.size(), 3);
  QString credits;
  for (int id = res::kIdsCredits1; id <= res::kIdsCredits4; ++id) {
    credits += *res::Module().LoadString(id);
  }
  for (ui::CAboutDialog* box : boxes) {
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowTitle(), "About Quirelle");
    EXPECT_EQ(box->credits()->toPlainText(), credits);
    EXPECT_NE(box->GetDlgItem(res::kIdOk), nullptr);
    bool versionLine = false;
    for (auto* label : box->findChildren<QLabel*>()) {
      versionLine = versionLine || label->text() == "Quirelle           Version 1.0.0.2";
    }
    EXPECT_TRUE(versionLine);
  }
  app.SetMainWindow(nullptr);
}

}  // namespace
}  // namespace quirelle::testing

namespace quirelle::testing {
namespace {

TEST_F(PlayerDlgTest, BarDisplayKeepsItsTextWhenThePositionCannotBeRead) {
  OpenFile(songPath);
  Click(res::kIdcPlay);
  PlayFor(4'100'000);
  ASSERT_EQ(Text(res::kIdcPosition), "Bar:3 ");
  driver.FailOperation(stream::StreamOperation::kPosition, stream::MMSYSERR_ERROR);
  PlayFor(2'000'000);
  EXPECT_EQ(Text(res::kIdcPosition), "Bar:3 ");
  driver.ClearFailures();
  PlayFor(1'000'000);  // one more buffer back, at about 7 s: bar 4
  EXPECT_EQ(Text(res::kIdcPosition), "Bar:4 ");
  Click(res::kIdcStop);
  Deliver();
}

TEST_F(PlayerDlgTest, AboutBoxGoesWithThePlayerWindow) {
  ui::CMidiSampleApp app;
  app.SetMainWindow(dialog.get());
  Click(res::kIdcAbout);
  const auto boxes = dialog->findChildren<ui::CAboutDialog*>();
  ASSERT_EQ(boxes.size(), 1);
  QPointer<ui::CAboutDialog> box = boxes.front();
  app.SetMainWindow(nullptr);
  dialog.reset();
  EXPECT_TRUE(box.isNull());
}

}  // namespace
}  // namespace quirelle::testing
