// The practice rows (a passage of bars, looped or counted in; the key, the voices muted or
// soloed), what the window remembers of each song, and the recent files on Open's context menu.
#include <filesystem>

#include "tests/ui/player_dlg_fixture.h"

namespace quirelle::testing {
namespace {

using player::Passage;

constexpr ButtonStates kOnlyOpen{true, false, false, false, false};
constexpr ButtonStates kLoaded{false, false, true, false, false};
constexpr int kPracticeRow[] = {res::kIdcFromBar, res::kIdcToBar, res::kIdcLoop, res::kIdcCountIn};

// Five bars of 4/4 at 84 beats a minute: 2.86 s a bar.
std::string Hymn() {
  return std::string(QUIRELLE_CORPUS_DIR) + "/abc2midi/satb1_old_hundredth.mid";
}

TEST_F(PlayerDlgTest, BarFieldsTakeTheSongsBarsAndPlayStartsAtFromBar) {
  for (int id : kPracticeRow) {
    EXPECT_FALSE(dialog->GetDlgItem(id)->isEnabled()) << id;
  }
  OpenFile(Hymn());
  for (int id : kPracticeRow) {
    EXPECT_TRUE(dialog->GetDlgItem(id)->isEnabled()) << id;
  }
  for (int id : {res::kIdcFromBar, res::kIdcToBar}) {
    EXPECT_EQ(Spin(id)->GetRangeMax(), 5) << "the hymn's last bar";
  }
  struct Step {
    int field;
    const char* typed;
    const char* from;
    const char* to;
  };
  // An empty field is the song's start or end; a start past the end takes the end along, and
  // an end before the start the start.
  const Step steps[] = {{res::kIdcToBar, "3", "Start", "3"},  {res::kIdcFromBar, "4", "4", "4"},
                        {res::kIdcToBar, "2", "2", "2"},      {res::kIdcFromBar, "", "Start", "2"},
                        {res::kIdcToBar, "", "Start", "End"}, {res::kIdcToBar, "3", "Start", "3"},
                        {res::kIdcFromBar, "2", "2", "3"}};
  for (const Step& step : steps) {
    EnterBar(step.field, QString::fromLatin1(step.typed));
    EXPECT_EQ(Spin(res::kIdcFromBar)->text(), step.from) << step.typed;
    EXPECT_EQ(Spin(res::kIdcToBar)->text(), step.to) << step.typed;
  }
  // Loaded again at once, ready to play from bar 2.
  const smf::MidiFile& file = dialog->engine().file();
  EXPECT_EQ(dialog->engine().passage(), (Passage{*file.BarStartTick(2), *file.BarStartTick(4)}));
  EXPECT_EQ(Buttons(), kLoaded);
  Click(res::kIdcPlay);
  PlayFor(1'500'000);
  EXPECT_EQ(Text(res::kIdcPosition), "Bar:2 ");
  Click(res::kIdcStop);
  for (int id : kPracticeRow) {
    EXPECT_FALSE(dialog->GetDlgItem(id)->isEnabled()) << "no song after Stop";
  }
  EXPECT_EQ(Spin(res::kIdcFromBar)->text(), "Start");
  Deliver();
  // A song timed in frames has no bars to choose or count in; it still loops.
  OpenFile(std::string(QUIRELLE_CORPUS_DIR) + "/openjdk-tests/MidiSMPTE_bug4291250.mid");
  EXPECT_EQ(Buttons(), kLoaded);
  const bool enabled[] = {false, false, true, false};
  for (std::size_t i = 0; i < std::size(kPracticeRow); ++i) {
    EXPECT_EQ(dialog->GetDlgItem(kPracticeRow[i])->isEnabled(), enabled[i]) << kPracticeRow[i];
  }
}

TEST_F(PlayerDlgTest, LoopPlaysBarsTwoToThreeOverAndOver) {
  OpenFile(Hymn());
  EnterBar(res::kIdcFromBar, QStringLiteral("2"));
  EnterBar(res::kIdcToBar, QStringLiteral("3"));
  Click(res::kIdcLoop);
  EXPECT_TRUE(Checked(res::kIdcLoop));
  EXPECT_EQ(dialog->engine().passage().plays, Passage::kForever);
  std::vector<std::string> shown{Text(res::kIdcPosition).toStdString()};  // each new text
  Click(res::kIdcPlay);
  for (int step = 0; step < 550; ++step) {  // 11 s: the two bars twice, at 2.86 s a bar
    PlayFor(20'000);
    if (shown.back() != Text(res::kIdcPosition).toStdString()) {
      shown.push_back(Text(res::kIdcPosition).toStdString());
    }
  }
  const std::vector<std::string> twice{"0", "Bar:2 ", "Bar:3 ", "Bar:2 ", "Bar:3 "};
  EXPECT_EQ(shown, twice);
  EXPECT_TRUE(dialog->engine().playing()) << "a loop plays until stopped";
  Click(res::kIdcStop);
  Deliver();
}

TEST_F(PlayerDlgTest, EachSongComesBackAsItWasLeft) {
  OpenFile(songPath);
  EnterBar(res::kIdcFromBar, QStringLiteral("3"));
  EnterBar(res::kIdcToBar, QStringLiteral("6"));
  Click(res::kIdcLoop);
  Click(res::kIdcCountIn);
  Click(res::kIdcPlay);
  Key(res::kIdcTempo, Qt::Key_PageDown, true);
  Key(res::kIdcTempo, Qt::Key_PageDown, false);
  Key(res::kIdcVolume2, Qt::Key_PageUp, true);
  Key(res::kIdcVolume2, Qt::Key_PageUp, false);
  const int tempo = dialog->tempo();
  ASSERT_NE(tempo, 100);
  ASSERT_EQ(dialog->volumes()[1], 80);

  Drop(WriteTempFile(RehearsalSong(4), "other.mid"));  // another song: the defaults
  EXPECT_EQ(Spin(res::kIdcFromBar)->text(), "Start");
  EXPECT_EQ(Spin(res::kIdcToBar)->text(), "End");
  EXPECT_FALSE(Checked(res::kIdcLoop));
  EXPECT_FALSE(Checked(res::kIdcCountIn));
  EXPECT_EQ(dialog->tempo(), 100);
  EXPECT_EQ(dialog->volumes()[1], 100);

  StartWith(songPath);  // the next run
  EXPECT_EQ(Spin(res::kIdcFromBar)->text(), "3");
  EXPECT_EQ(Spin(res::kIdcToBar)->text(), "6");
  EXPECT_TRUE(Checked(res::kIdcLoop));
  EXPECT_TRUE(Checked(res::kIdcCountIn));
  EXPECT_EQ(dialog->tempo(), tempo);
  EXPECT_EQ(Slider(res::kIdcTempo)->GetPos(), tempo);
  EXPECT_EQ(dialog->volumes()[1], 80);
  EXPECT_EQ(Slider(res::kIdcVolume2)->GetPos(), 80);
  EXPECT_EQ(dialog->engine().tempoPercent(), static_cast<std::uint32_t>(tempo));
  const smf::MidiFile& file = dialog->engine().file();
  EXPECT_EQ(dialog->engine().passage(),
            (Passage{*file.BarStartTick(3), *file.BarStartTick(7), Passage::kForever, true}));
}

// A chorale exported by music21, which writes no trace of its one-beat pickup (0.5 s here): the
// pickup given shows as bar 0, then bar 1 follows, and the song comes back with it. MuseScore's
// export of the same chorale writes its pickup, so none is given there.
TEST_F(PlayerDlgTest, PickupGivenIsBarZeroAndComesBackWithTheSong) {
  const std::string exports = std::string(QUIRELLE_CORPUS_DIR) + "/choir-exports/";
  const std::string music21 = exports + "music21/bach_bwv256.mid";
  OpenFile(music21);
  EXPECT_EQ(Spin(res::kIdcPickup)->GetRangeMax(), 3) << "up to a beat less than a 4/4 bar";
  EnterBar(res::kIdcPickup, QStringLiteral("1"));
  Click(res::kIdcPlay);
  PlayFor(250'000);
  EXPECT_EQ(Text(res::kIdcPosition), "Bar:0 ");
  PlayFor(500'000);
  EXPECT_EQ(Text(res::kIdcPosition), "Bar:1 ");
  Click(res::kIdcStop);
  Deliver();

  OpenFile(exports + "musescore3/bach_bwv256.mid");
  EXPECT_FALSE(Spin(res::kIdcPickup)->isEnabled()) << "the file writes its own";
  Click(res::kIdcPlay);
  PlayFor(250'000);
  EXPECT_EQ(Text(res::kIdcPosition), "Bar:0 ");
  Click(res::kIdcStop);
  Deliver();

  StartWith(music21);
  EXPECT_EQ(Spin(res::kIdcPickup)->text(), "1");
  EXPECT_EQ(dialog->engine().file().BarStartTick(1), 10080u);
}

// Key +2 and the alto muted: the soprano's first note (72 written) sounds at 74 and the alto at
// volume 0; the song comes back with the row and the boxes.
TEST_F(PlayerDlgTest, KeyAndMuteActOnWhatPlaysAndComeBackWithTheSong) {
  OpenFile(songPath);
  EnterBar(res::kIdcKey, QStringLiteral("2"));
  EXPECT_EQ(Spin(res::kIdcKey)->text(), "+2");
  Click(res::kIdcMute1 + 1);
  EXPECT_EQ(dialog->GetDlgItem(res::kIdcMute1 + 1)->accessibleName(), "Mute Alto");
  EXPECT_EQ(dialog->GetDlgItem(res::kIdcSolo1 + 3)->accessibleName(), "Solo Bass");
  Click(res::kIdcPlay);
  PlayFor(1'000'000);
  std::optional<std::uint32_t> firstSoprano;
  std::array<int, 4> volume{-1, -1, -1, -1};  // the last volume each voice was sent
  for (const auto& m : driver.Messages()) {
    const std::uint32_t channel = m.message & 0x0F;
    if ((m.message & 0xF0) == 0x90 && channel == 0 && !firstSoprano) {
      firstSoprano = m.message >> 8 & 0x7F;
    }
    if ((m.message & 0xFFF0) == 0x07B0 && channel < 4) {
      volume[channel] = static_cast<int>(m.message >> 16);
    }
  }
  EXPECT_EQ(firstSoprano, 74u);
  EXPECT_EQ(volume, (std::array<int, 4>{100, 0, 100, 100}));
  Click(res::kIdcStop);
  Deliver();

  StartWith(songPath);
  EXPECT_EQ(Spin(res::kIdcKey)->text(), "+2");
  EXPECT_TRUE(Checked(res::kIdcMute1 + 1));
  for (int channel : {0, 2, 3}) {
    EXPECT_FALSE(Checked(res::kIdcMute1 + channel)) << channel;
  }
  for (int channel = 0; channel < 4; ++channel) {
    EXPECT_FALSE(Checked(res::kIdcSolo1 + channel)) << channel;
  }
  EnterBar(res::kIdcKey, QString());
  EXPECT_EQ(Spin(res::kIdcKey)->text(), "0") << "an emptied key is the written one";
}

TEST_F(PlayerDlgTest, OpenOffersTheEightLatestFilesAndDropsOneThatWentAway) {
  EXPECT_EQ(RecentFiles(), std::vector<QString>{}) << "a first run has none";
  std::vector<std::string> paths;
  for (int i = 0; i < 9; ++i) {
    paths.push_back(WriteTempFile(RehearsalSong(1), "song" + std::to_string(i) + ".mid"));
    Drop(paths.back());
  }
  EXPECT_EQ(RecentFiles(), std::nullopt) << "Open is disabled while a song is loaded";
  Click(res::kIdcPlay);
  Click(res::kIdcStop);
  Deliver();
  auto latest = [&](std::initializer_list<int> order) {
    std::vector<QString> files;
    for (int i : order) {
      files.push_back(QString::fromStdString(paths[static_cast<std::size_t>(i)]));
    }
    return files;
  };
  EXPECT_EQ(RecentFiles(), latest({8, 7, 6, 5, 4, 3, 2, 1}));

  ChooseRecentFile(paths[5]);
  EXPECT_EQ(Buttons(), kLoaded);
  EXPECT_EQ(dialog->windowTitle(), "Quirelle playing: song5.mid");
  Click(res::kIdcPlay);
  Click(res::kIdcStop);
  Deliver();
  EXPECT_EQ(RecentFiles(), latest({5, 8, 7, 6, 4, 3, 2, 1}));

  std::filesystem::remove(paths[7]);
  ChooseRecentFile(paths[7]);
  ASSERT_EQ(dialog->problems.size(), 1u);
  EXPECT_TRUE(dialog->problems[0].contains("cannot be opened"))
      << dialog->problems[0].toStdString();
  EXPECT_EQ(Buttons(), kOnlyOpen);
  EXPECT_EQ(RecentFiles(), latest({5, 8, 6, 4, 3, 2, 1}));
}

}  // namespace
}  // namespace quirelle::testing
