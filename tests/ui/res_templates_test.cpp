// The player and About templates, the string table and the module's lookups by id.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <string>

#include "tests/ui/player_pixels.h"
#include "ui/framework/dialog.h"
#include "ui/res/resource_ids.h"
#include "ui/res/resources.h"
#include "ui/res/templates.h"

namespace quirelle::res {
namespace {

using framework::ControlKind;
using framework::ControlTemplate;
using framework::DialogTemplate;
using framework::HasStyle;
namespace style = framework::style;

const ControlTemplate* Find(const DialogTemplate& t, int id) {
  for (const ControlTemplate& c : t.controls) {
    if (c.id == id) {
      return &c;
    }
  }
  return nullptr;
}

struct Row {
  int index;  // template order
  int id;
  ControlKind kind;
  const char* text;
  int x, y, w, h;
  std::uint32_t styles;
};

class PlayerRowTest : public ::testing::TestWithParam<Row> {};

TEST_P(PlayerRowTest, MatchesTheLayout) {
  const Row& r = GetParam();
  const DialogTemplate& t = PlayerTemplate();
  ASSERT_LT(static_cast<std::size_t>(r.index), t.controls.size());
  const ControlTemplate& c = t.controls[static_cast<std::size_t>(r.index)];
  EXPECT_EQ(c.id, r.id);
  EXPECT_EQ(c.kind, r.kind);
  EXPECT_EQ(c.text, r.text);
  EXPECT_EQ((std::array{c.x, c.y, c.w, c.h}), (std::array{r.x, r.y, r.w, r.h}));
  EXPECT_EQ(c.styles, r.styles);
}

using namespace style;
constexpr auto kTrack = ControlKind::kTrackbar;
constexpr auto kButton = ControlKind::kButton;
constexpr auto kEdit = ControlKind::kEdit;
constexpr auto kStatic = ControlKind::kStatic;
constexpr auto kSpin = ControlKind::kSpin;
constexpr std::uint32_t kBitmapButton = kOwnerDraw | kClientEdge | kTabStop;

INSTANTIATE_TEST_SUITE_P(
    Rows, PlayerRowTest,
    ::testing::Values(
        Row{0, kIdcVolume1, kTrack, "Slider1", 32, 25, 78, 26, kTicksBoth | kTabStop},
        Row{1, kIdcPlay, kButton, "Play", 103, 179, 35, 31, kBitmapButton},
        Row{4, kIdOk, kButton, "Exit", 228, 196, 37, 14, kDefaultButton | kTabStop},
        Row{5, kIdcTempo, kTrack, "Slider1", 239, 25, 26, 61,
            kVertical | kTicksBoth | kBorder | kTabStop},
        Row{10, -1, kStatic, "Current Position:", 122, 6, 52, 8, 0},
        Row{12, kIdcAutoReplay, kButton, "auto replay at end", 151, 78, 73, 10,
            kCheckBox | kHidden | kDisabled | kTabStop},
        Row{13, kIdcOpen, kButton, "\"Open\"", 16, 179, 35, 31, kBitmapButton},
        Row{16, kIdcVolume4, kTrack, "Slider1", 32, 125, 78, 26, kTicksBoth | kTabStop},
        Row{20, kIdcRewind, kButton, "Rewind", 67, 179, 35, 31, kBitmapButton},
        Row{21, kIdcAbout, kButton, "About...", 228, 179, 37, 14, kTabStop},
        Row{24, kIdcName1, kEdit, "", 111, 33, 64, 14, kDisabled | kNoBorder | kAutoHScroll},
        Row{25, kIdcName4, kEdit, "", 111, 130, 67, 14, kDisabled | kNoBorder | kAutoHScroll},
        Row{26, kIdcTitle, kStatic, "Static", 17, 154, 242, 8, 0},
        Row{27, -1, kStatic, "From bar:", 10, 221, 32, 8, 0},
        Row{28, kIdcFromBar, kSpin, "Start", 44, 218, 40, 14, kDisabled | kTabStop},
        Row{30, kIdcToBar, kSpin, "End", 122, 218, 40, 14, kDisabled | kTabStop},
        Row{31, kIdcLoop, kButton, "Loop", 176, 219, 34, 12, kCheckBox | kDisabled | kTabStop},
        Row{32, kIdcCountIn, kButton, "Count-in", 214, 219, 46, 12,
            kCheckBox | kDisabled | kTabStop},
        Row{34, kIdcPickup, kSpin, "None", 44, 236, 40, 14, kDisabled | kTabStop},
        Row{36, kIdcWords, kStatic, "", 17, 165, 242, 10, 0},
        Row{38, kIdcKey, kSpin, "", 44, 254, 40, 14, kDisabled | kTabStop},
        Row{40, kIdcSpeedUp, kSpin, "Off", 130, 254, 36, 14, kDisabled | kTabStop},
        Row{42, kIdcStartingNotes, kButton, "Notes", 214, 255, 46, 12,
            kCheckBox | kDisabled | kTabStop},
        Row{43, kIdcMute1, kButton, "M", 180, 34, 24, 12, kCheckBox | kDisabled | kTabStop},
        Row{50, kIdcSolo1 + 3, kButton, "S", 206, 131, 24, 12, kCheckBox | kDisabled | kTabStop}));

TEST(PlayerTemplate, DialogAndControlOrder) {
  const DialogTemplate& t = PlayerTemplate();
  EXPECT_EQ(t.id, kIddPlayer);
  EXPECT_EQ((std::array{t.w, t.h}), (std::array{272, 274}));
  EXPECT_EQ(t.fontName, "MS Sans Serif");
  EXPECT_EQ(t.fontPoints, 8);
  EXPECT_EQ(t.caption, "Sonamir MIDI");
  EXPECT_TRUE(HasStyle(t.styles, kVisible));
  EXPECT_TRUE(HasStyle(t.styles, kSysMenu));
  std::vector<int> ids;
  for (const ControlTemplate& c : t.controls) {
    ids.push_back(c.id);
  }
  const std::vector<int> expected{1000, 1001, 1002, 1003, 1,    1004, -1,   -1,   1006, 1005, -1,
                                  1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014, 1015, 1016, 1018,
                                  1031, 1032, 1033, 1034, 1037, -1,   1040, -1,   1041, 1042, 1043,
                                  -1,   1044, 1057, 1056, -1,   1045, -1,   1046, -1,   1047, 1048,
                                  1052, 1049, 1053, 1050, 1054, 1051, 1055};
  EXPECT_EQ(ids, expected);
}

TEST(AboutTemplate, DialogAndControls) {
  const DialogTemplate& t = AboutTemplate();
  EXPECT_EQ(t.id, kIddAbout);
  EXPECT_EQ((std::array{t.w, t.h}), (std::array{217, 165}));
  EXPECT_EQ(t.caption, "About Quirelle");
  EXPECT_FALSE(HasStyle(t.styles, kVisible)) << "shown by its owner";
  ASSERT_EQ(t.controls.size(), 7u);
  const ControlTemplate& icon = t.controls[0];
  EXPECT_TRUE(HasStyle(icon.styles, kIcon));
  EXPECT_EQ(icon.resource, kIdiSheetMusic);
  EXPECT_EQ((std::array{icon.x, icon.y, icon.w, icon.h}), (std::array{11, 17, 20, 20}));
  const ControlTemplate& version = t.controls[1];
  EXPECT_EQ(version.text, "Quirelle" + std::string(11, ' ') + "Version 1.0.0.2");
  EXPECT_TRUE(HasStyle(version.styles, kNoPrefix));
  const ControlTemplate& ok = t.controls[2];
  EXPECT_EQ(ok.id, kIdOk);
  EXPECT_EQ(ok.text, "OK");
  EXPECT_TRUE(HasStyle(ok.styles, kDefaultButton));
  const ControlTemplate* credits = Find(t, kIdcCredits);
  ASSERT_NE(credits, nullptr);
  EXPECT_EQ(credits->kind, ControlKind::kEdit);
  EXPECT_EQ((std::array{credits->x, credits->y, credits->w, credits->h}),
            (std::array{7, 119, 203, 38}));
  for (auto bit : {kMultiLine, kReadOnly, kBorder, kVScroll, kAutoVScroll, kTabStop}) {
    EXPECT_TRUE(HasStyle(credits->styles, bit)) << bit;
  }
  const ControlTemplate* contact = Find(t, kIdcContact);
  ASSERT_NE(contact, nullptr);
  EXPECT_NE(contact->text.find('\n'), std::string_view::npos) << "two lines";
}

TEST(AboutTemplate, AddressesAreMadeUp) {
  const QRegularExpression address(QStringLiteral(R"(([\w.-]+@[\w.-]+|https?://[\w./-]+))"));
  for (const ControlTemplate& c : AboutTemplate().controls) {
    const QString text = QString::fromUtf8(c.text.data(), static_cast<qsizetype>(c.text.size()));
    auto matches = address.globalMatch(text);
    while (matches.hasNext()) {
      const QString found = matches.next().captured(0);
      EXPECT_TRUE(found.contains(QStringLiteral("quirelle.example"))) << found.toStdString();
    }
  }
  EXPECT_EQ(Find(AboutTemplate(), kIdcUpdatesAddress)->text, "https://quirelle.example/updates");
}

TEST(StringTable, CreditsEntriesOneToThreeEndInBlanksFourDoesNot) {
  for (int id : {kIdsCredits1, kIdsCredits2, kIdsCredits3, kIdsCredits4}) {
    const auto text = Module().LoadString(id);
    ASSERT_TRUE(text.has_value()) << id;
    EXPECT_FALSE(text->trimmed().isEmpty());
    if (id == kIdsCredits4) {
      EXPECT_FALSE(text->endsWith(u' '));
    } else {
      EXPECT_TRUE(text->endsWith(QStringLiteral("     "))) << id;
    }
  }
  EXPECT_FALSE(Module().LoadString(5).has_value());
  EXPECT_FALSE(Module().LoadString(0).has_value());
}

TEST(Module, FindsBothTemplatesByIdAndNothingElse) {
  EXPECT_EQ(Module().FindTemplate(kIddPlayer), &PlayerTemplate());
  EXPECT_EQ(Module().FindTemplate(kIddAbout), &AboutTemplate());
  EXPECT_EQ(Module().FindTemplate(101), nullptr);
}

TEST(PlayerTemplate, LoadedControlsSitAtTheirTemplateRectangles) {
  framework::SetResourceModule(&Module());
  framework::CDialog dialog(kIddPlayer);
  ASSERT_TRUE(dialog.Create());
  ASSERT_EQ(dialog.Units().baseX(), 6) << "the dialog font is MS Sans Serif (fonts-wine)";
  ASSERT_EQ(dialog.Units().baseY(), 13);
  for (const ControlTemplate& c : PlayerTemplate().controls) {
    EXPECT_TRUE(c.id == -1 || dialog.GetDlgItem(c.id) != nullptr) << c.id;
  }
  for (const testing::PlacedControl& placed : testing::kPlayerPixels) {
    const QWidget* widget = dialog.GetDlgItem(placed.id);
    ASSERT_NE(widget, nullptr) << placed.id;
    EXPECT_EQ(widget->geometry(), placed.pixels) << placed.id;
  }
  EXPECT_EQ(dialog.size(), testing::kPlayerDialogPixels);
  EXPECT_TRUE(dialog.isVisible()) << "the template says visible";
  framework::SetResourceModule(nullptr);
}

}  // namespace
}  // namespace quirelle::res
