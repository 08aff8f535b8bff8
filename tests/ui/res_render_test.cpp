// Renders the player and About dialogs with the real resources. With QUIRELLE_SNAPSHOT_DIR set,
// the pictures are written there as player.png and about.png for a person to look at.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>
#include <vector>

#include "ui/framework/bitmap_button.h"
#include "ui/framework/dialog.h"
#include "ui/framework/slider_ctrl.h"
#include "ui/framework/spin_ctrl.h"
#include "ui/res/resource_ids.h"
#include "ui/res/resources.h"
#include "ui/res/templates.h"

namespace quirelle::res {
namespace {

using framework::CBitmapButton;

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override { framework::SetResourceModule(&Module()); }
  void TearDown() override { framework::SetResourceModule(nullptr); }

  static void Save(const QImage& image, const char* name) {
    const QString folder = qEnvironmentVariable("QUIRELLE_SNAPSHOT_DIR");
    if (!folder.isEmpty()) {
      ASSERT_TRUE(image.save(QDir(folder).filePath(QString::fromLatin1(name))));
    }
  }
};

TEST_F(RenderTest, PlayerDialogShowsTheButtonFacesInTheirPlaces) {
  framework::CDialog dialog(kIddPlayer);
  ASSERT_TRUE(dialog.Create());
  struct Button {
    int id;
    int firstFace;
  };
  const Button buttons[] = {{kIdcOpen, kIdbOpenUp},
                            {kIdcRewind, kIdbRewindUp},
                            {kIdcPlay, kIdbPlayUp},
                            {kIdcPause, kIdbPauseUp},
                            {kIdcStop, kIdbStopUp}};
  for (const Button& b : buttons) {
    auto* button = dynamic_cast<CBitmapButton*>(dialog.GetDlgItem(b.id));
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(
        button->LoadBitmaps(b.firstFace, b.firstFace + 1, b.firstFace + 2, b.firstFace + 3));
  }
  for (int id : {kIdcRewind, kIdcPlay, kIdcPause, kIdcStop}) {
    dialog.EnableDlgItem(id, false);
  }
  for (int id : {kIdcVolume1, kIdcVolume2, kIdcVolume3, kIdcVolume4}) {
    dynamic_cast<framework::CSliderCtrl*>(dialog.GetDlgItem(id))->SetPos(100);
  }
  auto* tempo = dynamic_cast<framework::CSliderCtrl*>(dialog.GetDlgItem(kIdcTempo));
  tempo->SetRange(20, 500);
  tempo->SetPos(100);
  dialog.SetWindowText(QStringLiteral("Quirelle playing: song.mid"));
  for (int id :
       {kIdcVolumeText1, kIdcVolumeText2, kIdcVolumeText3, kIdcVolumeText4, kIdcTempoText}) {
    dialog.SetDlgItemText(id, QStringLiteral("100 %"));
  }
  dialog.SetDlgItemText(kIdcPosition, QStringLiteral("Bar:12 "));
  dialog.SetDlgItemText(kIdcTitle, QStringLiteral("A Song With A Rather Long Title"));
  dialog.SetDlgItemText(kIdcName1, QStringLiteral("Soprano"));
  dialog.SetDlgItemText(kIdcName2, QStringLiteral("Alto"));
  dialog.SetDlgItemText(kIdcName3, QStringLiteral("Tenor"));
  dialog.SetDlgItemText(kIdcName4, QStringLiteral("Bass"));
  const QImage image = dialog.grab().toImage();
  Save(image, "player.png");
  // The face's top-left pixel sits two pixels inside each button's sunken edge.
  for (const Button& b : buttons) {
    const QPoint corner = dialog.GetDlgItem(b.id)->geometry().topLeft() + QPoint(2, 2);
    const int shown = b.id == kIdcOpen ? b.firstFace : b.firstFace + 3;  // up or disabled
    EXPECT_EQ(image.pixel(corner), Module().LoadBitmap(shown).pixel(0, 0)) << b.id;
  }
}

TEST_F(RenderTest, AboutBoxShowsIconVersionAndCredits) {
  framework::CDialog dialog(kIddAbout);
  ASSERT_TRUE(dialog.Create());
  QString credits;
  for (int id : {kIdsCredits1, kIdsCredits2, kIdsCredits3, kIdsCredits4}) {
    credits += Module().LoadString(id).value_or(QString());
  }
  dialog.SetDlgItemText(kIdcCredits, credits);
  dialog.show();
  const QImage image = dialog.grab().toImage();
  Save(image, "about.png");
  // The sheet-music icon: opaque page pixels near the middle of its 32 × 32 square.
  const QWidget* icon = dialog.GetDlgItem(framework::kNoId);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->size(), QSize(32, 32));
  EXPECT_EQ(image.pixel(icon->geometry().topLeft() + QPoint(7, 3)) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(RenderTest, EachCreditsEntryStartsOnANewLine) {
  framework::CDialog dialog(kIddAbout);
  ASSERT_TRUE(dialog.Create());
  QString credits;
  std::vector<int> starts;
  for (int id : {kIdsCredits1, kIdsCredits2, kIdsCredits3, kIdsCredits4}) {
    starts.push_back(static_cast<int>(credits.size()));
    credits += Module().LoadString(id).value_or(QString());
  }
  dialog.SetDlgItemText(kIdcCredits, credits);
  dialog.show();
  auto* edit = qobject_cast<QPlainTextEdit*>(dialog.GetDlgItem(kIdcCredits));
  ASSERT_NE(edit, nullptr);
  const QTextBlock block = edit->document()->firstBlock();
  ASSERT_TRUE(block.isValid());
  const QTextLayout* layout = block.layout();
  ASSERT_NE(layout, nullptr);
  ASSERT_GT(layout->lineCount(), 4);
  std::vector<int> lineStarts;
  for (int i = 0; i < layout->lineCount(); ++i) {
    lineStarts.push_back(layout->lineAt(i).textStart());
  }
  for (int start : starts) {
    EXPECT_NE(std::find(lineStarts.begin(), lineStarts.end(), start), lineStarts.end())
        << "entry at " << start;
  }
}

// The longest text each static shows must fit on its lines without wrapping or clipping.
TEST_F(RenderTest, StaticTextsFitTheirControls) {
  struct Case {
    int templateId;
    int id;
    const char* widest;  // empty: the template's own text
  };
  const Case cases[] = {
      {kIddPlayer, kIdcTempoText, "500 %"},     {kIddPlayer, kIdcVolumeText1, "100 %"},
      {kIddPlayer, kIdcPosition, "Bar:99999 "}, {kIddAbout, kIdcUpdatesLabel, ""},
      {kIddAbout, kIdcUpdatesAddress, ""},      {kIddAbout, kIdcContact, ""}};
  for (const Case& c : cases) {
    framework::CDialog dialog(c.templateId);
    ASSERT_TRUE(dialog.Create());
    const QWidget* widget = dialog.GetDlgItem(c.id);
    ASSERT_NE(widget, nullptr);
    const QString text =
        *c.widest != 0 ? QString::fromLatin1(c.widest) : dialog.GetDlgItemText(c.id);
    const QFontMetrics metrics(widget->font());
    const QStringList lines = text.split(u'\n');
    for (const QString& line : lines) {
      EXPECT_LE(metrics.horizontalAdvance(line), widget->width())
          << c.id << ": " << line.toStdString();
    }
    EXPECT_LE(metrics.height() * lines.size(), widget->height()) << c.id;
  }
  // The bar fields hold "Start", "End" and bar 999.
  framework::CDialog player(kIddPlayer);
  ASSERT_TRUE(player.Create());
  for (int id : {kIdcFromBar, kIdcToBar}) {
    auto* spin = dynamic_cast<framework::CSpinCtrl*>(player.GetDlgItem(id));
    ASSERT_NE(spin, nullptr);
    spin->SetRange(0, 999);
    EXPECT_LE(spin->sizeHint().width(), spin->width()) << id;
    EXPECT_LE(spin->sizeHint().height(), spin->height()) << id;
  }
  // The fixed labels of both templates, and the check boxes shown with their marks.
  for (const auto* t : {&PlayerTemplate(), &AboutTemplate()}) {
    framework::CDialog dialog(*t);
    ASSERT_TRUE(dialog.Create());
    for (const QObject* child : dialog.children()) {
      const auto* check = qobject_cast<const QCheckBox*>(child);
      if (check != nullptr && !check->isHidden()) {
        EXPECT_LE(check->sizeHint().width(), check->width()) << check->text().toStdString();
        EXPECT_LE(check->sizeHint().height(), check->height()) << check->text().toStdString();
      }
      const auto* label = qobject_cast<const QLabel*>(child);
      if (label == nullptr || label->text().isEmpty() || label->text().contains(u'\n')) {
        continue;
      }
      EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->width())
          << label->text().toStdString();
    }
  }
}

}  // namespace
}  // namespace quirelle::res
