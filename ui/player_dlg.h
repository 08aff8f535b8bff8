// The player window: transport buttons, a volume slider per voice, the tempo slider, the bar
// number, the song's title and the voice names, and the practice row (from bar, to bar, loop,
// count-in). It owns the engine and follows its messages, remembers each song's settings and
// offers the recently opened files on the Open button's context menu. Under the title, the words
// of the voice followed.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "platform/readable_file.h"
#include "player/notifying_player.h"
#include "player/passage.h"
#include "player/stream/midi_stream.h"
#include "sing/live_pitch.h"
#include "ui/framework/bitmap_button.h"
#include "ui/framework/dialog.h"
#include "ui/framework/file_chooser.h"
#include "ui/framework/slider_ctrl.h"
#include "ui/framework/spin_ctrl.h"
#include "ui/notes_view.h"
#include "ui/player_messages.h"
#include "ui/song_memory.h"
#include "ui/sung_line.h"
#include "ui/voice_rows.h"

namespace quirelle::ui {

// The dialog's transport state.
inline constexpr int StateLoaded = 0;
inline constexpr int StateRewound = 1;
inline constexpr int StatePlaying = 2;
inline constexpr int StatePaused = 3;
inline constexpr int StateStopped = 4;
// Stopped to go on from a bar of the notes view: the device's close starts the music again.
inline constexpr int StateSeeking = 5;
// Playing the mic delay's calibration clicks: their end loads the song again.
inline constexpr int StateCalibrating = 6;

class CPlayerDlg : public framework::CDialog {
  Q_OBJECT

 public:
  // The engine opens its device through `driver`; `chooser` asks the user for a file. Both
  // must outlive the dialog. `waitClock` measures the engine's wait when it stops.
  CPlayerDlg(stream::StreamDriver& driver, framework::FileChooser& chooser,
             const platform::Clock& waitClock = platform::SteadyClock::Instance(),
             QWidget* parent = nullptr);
  ~CPlayerDlg() override;

  int state() const { return m_nState; }
  const int* volumes() const { return m_nVolume; }
  int tempo() const { return m_nTempo; }
  const std::string& fileName() const { return m_strFileName; }
  player::CNotifyingPlayer& engine() { return m_player; }
  NotesView& notesView() { return *m_viewNotes; }

  // Opens `path` once the window is up, as the command line asks.
  void OpenOnStart(const std::string& path) { m_strStartFile = path; }
  // Opens `path` ready to play, with the settings a newly chosen file gets; a song that plays
  // is stopped first. A file that cannot be played is reported as from the file chooser.
  void OpenGivenFile(const std::string& path);

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(framework::CDataExchange& dx) override;
  void OnHScroll(unsigned code, unsigned thumbPosition, framework::CSliderCtrl* slider) override;
  void OnVScroll(unsigned code, unsigned thumbPosition, framework::CSliderCtrl* slider) override;
  // Tells the user why a file cannot be played, or that the settings cannot be saved; a message
  // box here.
  virtual void ReportLoadProblem(const QString& text);
  // A file dropped on the window opens.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void OnPlay();
  void OnStop();
  void OnPause();
  void OnAutoReplay();
  void OnOpenFile();
  void OnRewind();
  void OnAbout();
  void OnFromBar();
  void OnToBar();
  void OnLoop();
  void OnCountIn();
  void OnPickup();
  void OnKey();
  void OnSpeedUp();
  void OnStartingNotes();
  void OnMute(int channel);
  void OnSolo(int channel);
  std::intptr_t OnPositionChanged(std::uintptr_t wParam, std::intptr_t lParam);
  std::intptr_t OnPlayedOff(std::uintptr_t wParam, std::intptr_t lParam);

  // Space and Home work the transport buttons, as in media players.
  void AddTransportKeys();
  void PressIfEnabled(QAbstractButton* button);
  // Takes `path` as the held file with the settings of a newly chosen one.
  void TakeNewFile(const std::string& path);
  // Open's work; false when the file could not be read or played (the user has been told).
  bool OpenAndLoad();
  // Reads and loads the held file; what went wrong, for the user, or empty.
  QString LoadHeldFile();
  void ShowSongInControls(const QString& fileTitle);
  void LeaveOnlyOpenEnabled();
  void SetButtons(bool open, bool rewind, bool play, bool pause, bool stop);
  void SendVolumes();
  // The channel each voice row controls (the first four: channels 1 to 4), and whether it is
  // accompaniment.
  std::vector<std::uint8_t> RowChannels() const;
  bool Accompanies(std::size_t row) const;
  // The rows past the fourth for the song held, and the window's height for them.
  void ShowMoreRows();
  void PlaceMoreRows();
  framework::CSliderCtrl* VolumeSlider(int channel) const;

  // The practice row (player_dlg_practice.cpp).
  // The passage the window's bars, loop and count-in ask for, in the ticks of the song the
  // engine holds; the whole song for bars it does not have.
  player::Passage PracticePassage() const;
  // Fits the bar fields to the loaded song's bars and enables the row for it.
  void RangeBarFields();
  // No song: the row empty and disabled.
  void ClearPracticeRow();
  // A field or box the user changed: into the engine, at once or at the next load.
  void PracticeChanged();
  // The second row and the voices' mute and solo boxes: the engine takes them at once, playing
  // or not, and at every load.
  void SendPracticeTools();
  void PracticeToolChanged();
  // "Mute Soprano", "Solo Soprano", ... from the names the voice rows show.
  void NameVoiceToggles();

  // The words line (player_dlg_words.cpp).
  // The words of the voice followed: the one clicked, else the first with words; null for none.
  const smf::Words* FollowedWords() const;
  // The words around the song's `tick` while playing; without one, the passage's first line.
  void ShowWords(std::optional<std::uint32_t> tick);
  // The words line's timer, and a click on a voice's name (voice 1 to 4) following its words.
  void SetUpWordsLine();
  void FollowVoice(int voice);

  // The notes view (player_dlg_notes.cpp), right of the controls; the window becomes resizable.
  void SetUpNotesView();
  void PlaceNotesView();
  // The view's picture of the song held, as the window's settings are now; empty for none.
  void ShowNotes();
  // The voice the notes view and the words line follow, as an index of the voice map.
  std::size_t FollowedVoiceIndex() const;
  // The view keeps still (paused, stopped, waiting) at the heard position or the passage start.
  void MoveNotes(bool moving);
  // Each voice row's name carries its voice's colour.
  void MarkVoiceColours();
  void ChooseBars(int from, int to);
  void PlayFromBar(int bar);

  // Singing (player_dlg_sing.cpp): the Sing row under the practice rows, the microphone, the
  // followed voice judged as it is sung.
  void SetUpSingRow();
  void OnSing(bool on);
  // The microphone's news, the pitches sung and the notes passed, a few times a frame.
  void ListenToSinger();
  // The song, voice or key sung against changed: the pass starts over.
  void ResetSungLine();
  // The pass has ended (a loop's restart, the song's end): its line, shown.
  void ShowSungSummary();
  // The calibration of the mic delay: four clicks played, the singer's "ta" on each heard, the
  // delay measured stored; then the song is loaded again as it was.
  void OnCalibrate();
  void HearCalibration();
  void FinishCalibration();
  // The voice row of the followed voice, or -1.
  int FollowedRow() const;
  bool Singing() const { return m_sing != nullptr; }

  // Remembering (player_dlg_memory.cpp).
  SongSettings CurrentSettings() const;
  void RememberSong();
  // Tells the user, once a run, when the settings could not be saved.
  void ReportSettingsProblem();
  void AddRecentFilesMenu();
  void ShowRecentFiles(const QPoint& globalPosition);

  // In the order their construction and destruction need.
  int m_nVolume[kVoiceRowsMost] = {};  // by voice row
  int m_nState = StateLoaded;
  QLineEdit* m_editName4 = nullptr;
  QLineEdit* m_editName3 = nullptr;
  QLineEdit* m_editName1 = nullptr;
  QLineEdit* m_editName2 = nullptr;
  QPushButton* m_btnAbout = nullptr;
  framework::CBitmapButton* m_btnRewind = nullptr;
  framework::CBitmapButton* m_btnPlay = nullptr;
  framework::CBitmapButton* m_btnPause = nullptr;
  framework::CBitmapButton* m_btnStop = nullptr;
  framework::CBitmapButton* m_btnOpen = nullptr;
  framework::CSliderCtrl* m_sliderVolume4 = nullptr;
  framework::CSliderCtrl* m_sliderVolume3 = nullptr;
  framework::CSliderCtrl* m_sliderVolume2 = nullptr;
  framework::CSliderCtrl* m_sliderVolume1 = nullptr;
  framework::CSliderCtrl* m_sliderTempo = nullptr;
  QString m_strPosition;
  int m_nTempo = 0;
  QString m_strTempo;
  bool m_bAutoReplay = false;
  QString m_strVolume1;
  QString m_strVolume2;
  QString m_strVolume3;
  QString m_strVolume4;
  QString m_strTitle;
  int m_nFromBar = 0;  // 0: from the song's start
  int m_nToBar = 0;    // 0: to the song's end
  int m_nPickup = 0;   // beats before bar 1 the file does not write; 0: none
  // 1 to 16: the channel of the voice whose words are shown; 0: the first with words.
  int m_nWordsVoice = 0;
  bool m_bLoop = false;
  bool m_bCountIn = false;
  framework::CSpinCtrl* m_spinFromBar = nullptr;
  framework::CSpinCtrl* m_spinToBar = nullptr;
  framework::CSpinCtrl* m_spinPickup = nullptr;
  int m_nKey = 0;      // semitones
  int m_nSpeedUp = 0;  // points of the written tempo faster each repeat; 0: off
  bool m_bStartingNotes = false;
  bool m_bMute[kVoiceRowsMost] = {};
  bool m_bSolo[kVoiceRowsMost] = {};
  framework::CSpinCtrl* m_spinKey = nullptr;
  framework::CSpinCtrl* m_spinSpeedUp = nullptr;
  SongMemory m_memory;
  std::unique_ptr<QMenu> m_menuRecent;  // the Open button's recent files
  QTimer* m_timerWords = nullptr;       // while playing: the position, for the words line
  NotesView* m_viewNotes = nullptr;     // owned by the window
  QCheckBox* m_checkSing = nullptr;     // the Sing row, owned by the window
  QSpinBox* m_spinMicDelay = nullptr;
  QComboBox* m_comboTolerance = nullptr;
  QLabel* m_labelSing = nullptr;  // the pass's line, or what became of the microphone
  QTimer* m_timerSing = nullptr;
  std::unique_ptr<sing::LivePitch> m_sing;  // while the Sing box is on
  SungLine m_sungLine;
  int m_nSingMutedRow = -1;  // the row the Sing box muted, to unmute when it goes off
  const smf::VoiceNotes* m_pSungNotes = nullptr;  // what m_sungLine judges against
  int m_nSungKey = 0;
  std::string m_strSungFile;
  std::size_t m_nSungVoice = 0;
  QPushButton* m_btnCalibrate = nullptr;
  struct Calibration {
    sing::LivePitch mic;
    std::vector<SungLine::Clock::time_point> clicksHeard;  // when each click was heard
    std::vector<sing::DatedPitch> sung;
    SungLine::Clock::time_point lastAt;  // the heard position read last, and when
    std::uint32_t lastTick = 0;
  };
  std::unique_ptr<Calibration> m_calibration;  // while its clicks play
  QSize m_sizeControls;                        // the dialog's controls: the template's size
  QWidget* m_markVoice[4] = {};                // under each name: the colour of its notes
  VoiceRows* m_rowsMore = nullptr;             // voice rows past the fourth, under the controls
  PostingListener m_listener;                  // outlives the engine's last callback
  player::CNotifyingPlayer m_player;
  QIcon m_hIcon;
  std::string m_strFileName;   // the file held for Rewind; empty: Open asks for one
  std::string m_strStartFile;  // from the command line; opened once the window is up
  platform::PosixFile m_file;

  framework::FileChooser& chooser_;
};

}  // namespace quirelle::ui
