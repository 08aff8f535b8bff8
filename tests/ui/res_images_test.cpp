// The button faces and icons: committed files match the drawing program, faces are 48 × 48
// with 16 colours, and their colourings are the ones each button is meant to have.
#include <gtest/gtest.h>

#include <QFile>
#include <QIcon>
#include <QImage>
#include <set>

#include "ui/res/resource_ids.h"
#include "ui/res/resources.h"
#include "ui/res/tools/image_files.h"
#include "ui/res/tools/pictures.h"

namespace quirelle::res {
namespace {

using tools::Bytes;

Bytes ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return {};
  }
  const QByteArray data = file.readAll();
  return Bytes(data.begin(), data.end());
}

std::uint32_t Le(const Bytes& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) {
    value = value << 8 | bytes.at(at + static_cast<std::size_t>(i));
  }
  return value;
}

QString SourcePath(const QString& relative) {
  return QStringLiteral(QUIRELLE_UI_RES_DIR "/") + relative;
}

TEST(Faces, CommittedFilesAreWhatTheDrawingProgramWrites) {
  const auto faces = tools::ButtonFaces();
  ASSERT_EQ(faces.size(), 20u);
  for (const auto& face : faces) {
    const QString name = QStringLiteral("bitmaps/%1.bmp").arg(face.id);
    EXPECT_EQ(ReadFile(SourcePath(name)), tools::EncodeBmp4(face.image))
        << name.toStdString() << ": run the quirelle_regenerate_res target";
  }
  for (const auto& icon : tools::Icons()) {
    const QString name = QStringLiteral("icons/%1.ico").arg(icon.id);
    EXPECT_EQ(ReadFile(SourcePath(name)), tools::EncodeIco4(icon.images)) << name.toStdString();
  }
}

TEST(Faces, AreFortyEightSquareFourBitBitmaps) {
  for (int id = kFirstFace; id <= kLastFace; ++id) {
    const Bytes bmp = ReadFile(BitmapPath(id));
    ASSERT_GE(bmp.size(), 54u) << id;
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(Le(bmp, 2, 4), bmp.size());
    EXPECT_EQ(Le(bmp, 18, 4), 48u);  // width
    EXPECT_EQ(Le(bmp, 22, 4), 48u);  // height
    EXPECT_EQ(Le(bmp, 28, 2), 4u) << "16 colours";
    EXPECT_EQ(Le(bmp, 30, 4), 0u) << "uncompressed";
    const QImage image = Module().LoadBitmap(id);
    ASSERT_FALSE(image.isNull()) << id;
    EXPECT_EQ(image.size(), QSize(48, 48));
    EXPECT_EQ(image.colorCount(), 16);
  }
}

// The colours a face uses, as RGB.
std::set<QRgb> ColoursOf(int id) {
  const QImage image = Module().LoadBitmap(id).convertToFormat(QImage::Format_RGB32);
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      colours.insert(image.pixel(x, y) & 0xFFFFFF);
    }
  }
  return colours;
}

constexpr QRgb kBlack = 0x000000;
constexpr QRgb kWhite = 0xFFFFFF;
constexpr QRgb kMagenta = 0xFF00FF;
constexpr QRgb kDarkMagenta = 0x800080;
constexpr QRgb kGrey = 0x808080;
constexpr QRgb kLightGrey = 0xC0C0C0;

struct FaceColours {
  int id;
  QRgb ink;
  QRgb paper;
};

class FaceColoursTest : public ::testing::TestWithParam<FaceColours> {};

TEST_P(FaceColoursTest, InkOnPaper) {
  const FaceColours& f = GetParam();
  EXPECT_EQ(ColoursOf(f.id), (std::set<QRgb>{f.ink, f.paper})) << f.id;
  // The paper shows in the corner, the picture in the middle.
  const QImage image = Module().LoadBitmap(f.id);
  EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, f.paper);
}

INSTANTIATE_TEST_SUITE_P(Faces, FaceColoursTest,
                         ::testing::Values(FaceColours{kIdbOpenUp, kWhite, kMagenta},
                                           FaceColours{kIdbOpenDown, kWhite, kDarkMagenta},
                                           FaceColours{kIdbOpenDisabled, kWhite, kLightGrey},
                                           FaceColours{kIdbPlayUp, kBlack, kMagenta},
                                           FaceColours{kIdbPlayDown, kBlack, kDarkMagenta},
                                           FaceColours{kIdbPlayDisabled, kGrey, kLightGrey},
                                           FaceColours{kIdbPauseUp, kBlack, kMagenta},
                                           FaceColours{kIdbPauseDisabled, kGrey, kLightGrey},
                                           FaceColours{kIdbStopDown, kBlack, kDarkMagenta},
                                           FaceColours{kIdbStopDisabled, kGrey, kLightGrey},
                                           FaceColours{kIdbRewindUp, kBlack, kMagenta},
                                           FaceColours{kIdbRewindFocused, kBlack, kLightGrey},
                                           FaceColours{kIdbRewindDisabled, kGrey, kLightGrey}));

TEST(Faces, FocusedFacesRepeatTheirButtonsOtherFaces) {
  auto same = [](int a, int b) { return Module().LoadBitmap(a) == Module().LoadBitmap(b); };
  EXPECT_TRUE(same(kIdbOpenFocused, kIdbOpenUp));
  EXPECT_TRUE(same(kIdbPauseFocused, kIdbPauseUp));
  EXPECT_TRUE(same(kIdbPlayFocused, kIdbPlayDisabled));
  EXPECT_TRUE(same(kIdbStopFocused, kIdbStopDisabled));
  EXPECT_FALSE(same(kIdbRewindFocused, kIdbRewindUp));
  EXPECT_FALSE(same(kIdbRewindFocused, kIdbRewindDisabled));
  EXPECT_FALSE(same(kIdbPlayUp, kIdbStopUp)) << "each button has its own picture";
}

TEST(Faces, PicturesSitInTheMiddle) {
  // Play's triangle points right: its left column is taller than its right one.
  const QImage play = Module().LoadBitmap(kIdbPlayUp);
  auto inkRows = [&play](int x) {
    int rows = 0;
    for (int y = 0; y < 48; ++y) {
      rows += (play.pixel(x, y) & 0xFFFFFF) == kBlack ? 1 : 0;
    }
    return rows;
  };
  EXPECT_GT(inkRows(18), inkRows(32));
  EXPECT_GT(inkRows(32), 0);
  EXPECT_EQ(play.pixel(24, 24) & 0xFFFFFF, kBlack);
  const QImage stop = Module().LoadBitmap(kIdbStopUp);
  EXPECT_EQ(stop.pixel(24, 24) & 0xFFFFFF, kBlack);
  EXPECT_EQ(stop.pixel(14, 14) & 0xFFFFFF, kMagenta) << "a circle, not a square";
}

TEST(Icons, ProgramIconHasBothSizesAndSheetMusicOne) {
  const QIcon program = Module().LoadIcon(kIdiProgram);
  ASSERT_FALSE(program.isNull());
  const QList<QSize> sizes = program.availableSizes();
  EXPECT_TRUE(sizes.contains(QSize(32, 32)));
  EXPECT_TRUE(sizes.contains(QSize(16, 16)));
  const QIcon sheet = Module().LoadIcon(kIdiSheetMusic);
  ASSERT_FALSE(sheet.isNull());
  EXPECT_EQ(sheet.availableSizes(), QList<QSize>{QSize(32, 32)});
  // Transparent outside the drawing, opaque inside.
  const QImage image = sheet.pixmap(32, 32).toImage();
  EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(image.pixel(15, 28)), 255);
  EXPECT_TRUE(Module().LoadIcon(999).isNull());
  EXPECT_TRUE(Module().LoadBitmap(999).isNull());
}

}  // namespace
}  // namespace quirelle::res
