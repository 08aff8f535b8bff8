// The player window's buttons and transport state, driven by real clicks and the engine's
// posted messages.
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <functional>

#include "tests/ui/player_dlg_fixture.h"

namespace quirelle::testing {
namespace {

using ui::StateLoaded;
using ui::StatePaused;
using ui::StatePlaying;
using ui::StateRewound;
using ui::StateStopped;

constexpr std::uint64_t kSecond = 1'000'000;
constexpr ButtonStates kOnlyOpen{true, false, false, false, false};
constexpr ButtonStates kLoaded{false, false, true, false, false};
constexpr ButtonStates kPlaying{false, false, false, true, true};
constexpr ButtonStates kPausedNow{false, true, false, true, true};
constexpr ButtonStates kRewound{false, false, true, false, true};

TEST_F(PlayerDlgTest, ButtonsFollowOpenPlayPauseStop) {
  EXPECT_EQ(Buttons(), kOnlyOpen);
  EXPECT_EQ(dialog->windowTitle(), "Quirelle");

  Click(res::kIdcOpen);  // the user cancels the file dialog
  EXPECT_EQ(chooser.asked, 1);
  EXPECT_EQ(Buttons(), kOnlyOpen);
  EXPECT_EQ(dialog->state(), StateLoaded);

  OpenFile(songPath);
  EXPECT_EQ(Buttons(), kLoaded);
  EXPECT_EQ(dialog->windowTitle(), "Quirelle playing: ave.mid");
  EXPECT_EQ(Text(res::kIdcPosition), "0");

  Click(res::kIdcPlay);
  EXPECT_EQ(dialog->state(), StatePlaying);
  EXPECT_EQ(Buttons(), kPlaying);
  EXPECT_TRUE(dialog->engine().playing());
  PlayFor(kSecond);
  EXPECT_EQ(Text(res::kIdcPosition), "Bar:1 ");
  PlayFor(3 * kSecond);
  EXPECT_EQ(Text(res::kIdcPosition), "Bar:3 ");

  Click(res::kIdcPause);
  EXPECT_EQ(Buttons(), kPausedNow);
  EXPECT_TRUE(dialog->engine().paused());
  Click(res::kIdcPause);
  EXPECT_EQ(Buttons(), kPlaying);
  EXPECT_FALSE(dialog->engine().paused());
  EXPECT_EQ(dialog->state(), StatePaused);

  Click(res::kIdcStop);
  EXPECT_EQ(dialog->state(), StateStopped);
  EXPECT_EQ(Buttons(), kOnlyOpen);
  EXPECT_EQ(dialog->windowTitle(), "Quirelle");
  EXPECT_EQ(Text(res::kIdcTitle), "");
  for (int id : {res::kIdcName1, res::kIdcName2, res::kIdcName3, res::kIdcName4}) {
    EXPECT_EQ(Text(id), " ");
  }
  Deliver();  // the device's close, reported after the stop
  EXPECT_EQ(Buttons(), kOnlyOpen);

  Click(res::kIdcOpen);
  EXPECT_EQ(chooser.asked, 3) << "after Stop, Open asks for a file again";
  EXPECT_EQ(chooser.askedIn, QFileInfo(QString::fromStdString(songPath)).absolutePath())
      << "in the last song's folder";
}

TEST_F(PlayerDlgTest, EndOfTheSongReloadsItFromItsStart) {
  OpenFile(songPath);
  Click(res::kIdcPlay);
  PlayFor(18 * kSecond);
  EXPECT_EQ(dialog->state(), StateRewound);
  EXPECT_EQ(Buttons(), kRewound);
  EXPECT_EQ(chooser.asked, 1);
  EXPECT_EQ(dialog->windowTitle(), "Quirelle playing: ave.mid");
  EXPECT_FALSE(dialog->engine().playing());
  Click(res::kIdcPlay);  // and it plays again from its start
  EXPECT_TRUE(dialog->engine().playing());
  Click(res::kIdcStop);
}

TEST_F(PlayerDlgTest, PausedTwiceTheEndOfTheSongChangesNothing) {
  OpenFile(songPath);
  Click(res::kIdcPlay);
  Click(res::kIdcPause);
  Click(res::kIdcPause);
  PlayFor(18 * kSecond);
  EXPECT_FALSE(dialog->engine().playing());
  EXPECT_EQ(Buttons(), kPlaying);
  Click(res::kIdcStop);
  EXPECT_EQ(Buttons(), kOnlyOpen);
}

TEST_F(PlayerDlgTest, RewindWhilePausedReloadsAndKeepsTheSettings) {
  OpenFile(songPath);
  Click(res::kIdcPlay);
  Key(res::kIdcVolume2, Qt::Key_PageUp, true);
  Key(res::kIdcVolume2, Qt::Key_PageUp, false);
  const int volume = dialog->volumes()[1];
  EXPECT_EQ(volume, 80);
  PlayFor(kSecond);
  Click(res::kIdcPause);
  Click(res::kIdcRewind);
  EXPECT_EQ(dialog->state(), StateRewound);
  EXPECT_EQ(Buttons(), kRewound);
  Deliver();
  EXPECT_EQ(Buttons(), kRewound);
  EXPECT_EQ(dialog->volumes()[1], volume);
  EXPECT_EQ(dialog->tempo(), 100);
  EXPECT_EQ(chooser.asked, 1);
}

TEST_F(PlayerDlgTest, FilesThatCannotBePlayedAreReportedAndLeaveOnlyOpen) {
  const std::string notMidi = WriteTempFile({'h', 'e', 'l', 'l', 'o'}, "notes.mid");
  TrackData note;
  note.Event(0, {0x90, 60, 80}).Event(480, {0x80, 60, 0}).End();
  const std::string noTicks = WriteTempFile(MidiImage(1, 0, {note}), "no-ticks.mid");
  const std::string oddRate = WriteTempFile(MidiImage(1, 0xE904, {note}), "23-fps.mid");
  struct Case {
    std::string path;
    const char* words;
  };
  const Case cases[] = {
      {notMidi, "not a Standard MIDI File"},
      {noTicks, "time division is 0 ticks per quarter note"},
      {oddRate, "(23 frames per second, 4 ticks per frame) cannot be played"},
      {songPath + ".missing", "cannot be opened"},
      {std::filesystem::path(songPath).parent_path().string(), "cannot be opened"},
  };
  // The same report whether the file was chosen, given on the command line or dropped.
  const std::function<void(const std::string&)> ways[] = {
      [this](const std::string& path) { OpenFile(path); },
      [this](const std::string& path) { StartWith(path); },
      [this](const std::string& path) { Drop(path); },
  };
  for (const auto& openIt : ways) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.path);
      dialog->problems.clear();
      openIt(c.path);
      ASSERT_EQ(dialog->problems.size(), 1u);
      EXPECT_TRUE(dialog->problems[0].contains(QString::fromStdString(c.path)));
      EXPECT_TRUE(dialog->problems[0].contains(c.words)) << dialog->problems[0].toStdString();
      EXPECT_EQ(Buttons(), kOnlyOpen);
      EXPECT_EQ(dialog->windowTitle(), "Quirelle");
    }
  }
  // Open asks again, and a good file then plays.
  OpenFile(songPath);
  EXPECT_EQ(Buttons(), kLoaded);
}

TEST_F(PlayerDlgTest, FileGivenOnTheCommandLineOpensReadyToPlay) {
  StartWith(songPath);
  EXPECT_EQ(Buttons(), kLoaded);
  EXPECT_EQ(dialog->windowTitle(), "Quirelle playing: ave.mid");
  EXPECT_EQ(Text(res::kIdcName1), "Soprano");
  EXPECT_EQ(chooser.asked, 0);
}

TEST_F(PlayerDlgTest, DroppedFileReplacesThePlayingSongAtTheSlidersTempo) {
  OpenFile(songPath);
  Click(res::kIdcPlay);
  Key(res::kIdcTempo, Qt::Key_PageDown, true);  // 120 %, for this song only
  Key(res::kIdcTempo, Qt::Key_PageDown, false);
  PlayFor(kSecond);
  TrackData untitled;
  untitled.Event(0, {0x90, 60, 80}).Event(480, {0x80, 60, 0}).End();
  Drop(WriteTempFile(MidiImage(1, 480, {untitled}), "Morning Hymn.mid"));
  EXPECT_FALSE(dialog->engine().playing());
  EXPECT_EQ(Buttons(), kLoaded);
  EXPECT_EQ(dialog->tempo(), 100);
  EXPECT_EQ(Text(res::kIdcTitle), "Morning Hymn") << "a song without a title shows its file name";
  EXPECT_EQ(dialog->windowTitle(), "Quirelle playing: Morning Hymn.mid");
  Click(res::kIdcPlay);
  PlayFor(kSecond);
  // Its first buffers were filled at the load: the note ends after a quarter at 120 beats a
  // minute, not at the last song's 120 %.
  const auto messages = driver.Messages();
  const auto noteOff = std::find_if(messages.rbegin(), messages.rend(), [](const auto& m) {
    return m.kind == stream::RecordedMessage::Kind::kEvent && (m.message & 0xF0) == 0x80;
  });
  ASSERT_NE(noteOff, messages.rend());
  EXPECT_EQ(noteOff->micros, 500'000u);
}

TEST_F(PlayerDlgTest, SpacePlaysPausesAndResumesAndHomeRewinds) {
  OpenFile(songPath);
  dialog->show();  // the keys work in the active window, whichever control has the focus
  dialog->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
  Slider(res::kIdcTempo)->setFocus();
  QTest::keyClick(dialog.get(), Qt::Key_Space);
  EXPECT_EQ(dialog->state(), StatePlaying);
  EXPECT_EQ(Buttons(), kPlaying);
  QTest::keyClick(dialog.get(), Qt::Key_Home);
  EXPECT_EQ(dialog->state(), StatePlaying) << "Rewind is disabled while playing";
  QTest::keyClick(dialog.get(), Qt::Key_Space);
  EXPECT_TRUE(dialog->engine().paused());
  EXPECT_EQ(Buttons(), kPausedNow);
  QTest::keyClick(dialog.get(), Qt::Key_Space);
  EXPECT_FALSE(dialog->engine().paused());
  QTest::keyClick(dialog.get(), Qt::Key_Space);
  QTest::keyClick(dialog.get(), Qt::Key_Home);
  EXPECT_EQ(dialog->state(), StateRewound);
  EXPECT_EQ(Buttons(), kRewound);
  Deliver();
  // In a bar field too, which keeps its bar.
  framework::CSpinCtrl* bar = Spin(res::kIdcFromBar);
  bar->setFocus();
  QTest::keyClick(bar, Qt::Key_Space);
  EXPECT_EQ(dialog->state(), StatePlaying);
  QTest::keyClick(bar, Qt::Key_Space);
  QTest::keyClick(bar, Qt::Key_Home);
  EXPECT_EQ(dialog->state(), StateRewound);
  EXPECT_EQ(bar->text(), "Start");
  Deliver();
}

TEST_F(PlayerDlgTest, RealFileShowsTheBarsOfItsScore) {
  // 4/4 from its start, a quarter of 714285 µs: bar 2 begins at about 2.86 s.
  OpenFile(std::string(QUIRELLE_CORPUS_DIR) + "/abc2midi/satb1_old_hundredth.mid");
  Click(res::kIdcPlay);
  PlayFor(2 * kSecond);  // the device gives back its first buffers about every 1.4 s
  EXPECT_EQ(Text(res::kIdcPosition), "Bar:1 ");
  PlayFor(kSecond + kSecond / 2);
  EXPECT_EQ(Text(res::kIdcPosition), "Bar:2 ");
  Click(res::kIdcStop);
  Deliver();
}

TEST_F(PlayerDlgTest, NoMidiOutputIsReportedWithTheDevicesReason) {
  driver.FailOperation(stream::StreamOperation::kOpen, stream::MMSYSERR_NODRIVER);
  OpenFile(songPath);
  ASSERT_EQ(dialog->problems.size(), 1u);
  EXPECT_TRUE(dialog->problems[0].contains(QString::fromStdString(driver.LastErrorText())))
      << dialog->problems[0].toStdString();
  EXPECT_EQ(Buttons(), kOnlyOpen);
}

TEST_F(PlayerDlgTest, RewindOfAFileThatWentAwayIsReported) {
  const std::string path = WriteTempFile(RehearsalSong(8), "gone.mid");
  OpenFile(path);
  Click(res::kIdcPlay);
  Click(res::kIdcPause);
  std::filesystem::remove(path);
  Click(res::kIdcRewind);
  ASSERT_EQ(dialog->problems.size(), 1u);
  EXPECT_EQ(Buttons(), kOnlyOpen);
  Deliver();  // the close of the stop inside Rewind
  EXPECT_EQ(Buttons(), kOnlyOpen);
}

}  // namespace
}  // namespace quirelle::testing
