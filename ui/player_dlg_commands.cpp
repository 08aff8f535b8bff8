// The player window's transport commands, sliders and the engine's messages, and which
// buttons each of them leaves enabled.
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "player/load_failure.h"
#include "ui/app_title.h"
#include "ui/framework/data_exchange.h"
#include "ui/framework/win_app.h"
#include "ui/midi_sample_app.h"
#include "ui/player_dlg.h"

namespace quirelle::ui {
namespace {

constexpr int kStep = 20;  // what a line or page step adds on top of the slider's own

QString FromPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

// How a slider's notification moves the value it sets: the tempo takes only page steps, a
// volume line steps too, and a volume thumb let go at 0 gives 20.
struct ScrollRule {
  bool lineSteps;
  bool releasedAtZeroGivesTwenty;
};
constexpr ScrollRule kTempoRule{false, false};
constexpr ScrollRule kVolumeRule{true, true};

int ScrolledPosition(unsigned code, unsigned thumbPosition, const framework::CSliderCtrl& slider,
                     ScrollRule rule) {
  const int p = slider.GetPos();
  const int low = slider.GetRangeMin();
  const int high = slider.GetRangeMax();
  switch (code) {
    case framework::kTbLineUp:
      return rule.lineSteps && p > low ? std::max(p - kStep, low) : p;
    case framework::kTbPageUp:
      return p > low ? std::max(p - kStep, low) : p;
    case framework::kTbLineDown:
      return rule.lineSteps && p < high ? std::min(p + kStep, high) : p;
    case framework::kTbPageDown:
      return p < high ? std::min(p + kStep, high) : p;
    case framework::kTbThumbPosition:
      return rule.releasedAtZeroGivesTwenty && thumbPosition == 0 ? 20
                                                                  : static_cast<int>(thumbPosition);
    case framework::kTbThumbTrack:
      return static_cast<int>(thumbPosition);
    case framework::kTbTop:
      return low;
    case framework::kTbBottom:
      return high;
    default:
      return p;  // the end of an action: the slider's own position
  }
}

}  // namespace

void CPlayerDlg::TakeNewFile(const std::string& path) {
  m_strFileName = path;
  // A song opened before comes back as it was left; any other starts at the defaults.
  const SongSettings song = m_memory.Recall(path).value_or(SongSettings{});
  for (std::size_t channel = 0; channel < song.volumes.size(); ++channel) {
    m_nVolume[channel] = song.volumes[channel];
  }
  m_nTempo = song.tempo;
  m_nFromBar = song.fromBar;
  m_nToBar = song.toBar;
  m_bLoop = song.loop;
  m_bCountIn = song.countIn;
  m_nPickup = song.pickup;
  m_nWordsVoice = song.wordsVoice;
  m_nKey = song.key;
  m_nSpeedUp = song.speedUp;
  m_bStartingNotes = song.startingNotes;
  for (std::size_t channel = 0; channel < song.volumes.size(); ++channel) {
    m_bMute[channel] = song.muted[channel];
    m_bSolo[channel] = song.soloed[channel];
  }
  m_nState = StateLoaded;
  m_bAutoReplay = false;
}

void CPlayerDlg::OnOpenFile() {
  if (m_strFileName.empty()) {
    // In the last song's folder: the next song is most often beside it.
    const std::vector<std::string> recent = m_memory.RecentFiles();
    const QString folder =
        recent.empty() ? QString()
                       : QFileInfo(QFile::decodeName(recent.front().c_str())).absolutePath();
    if (const auto chosen = chooser_.ChooseFileToOpen(this, folder)) {
      TakeNewFile(QFile::encodeName(*chosen).toStdString());
    }
  }
  OpenAndLoad();
  UpdateData(false);
}

void CPlayerDlg::OpenGivenFile(const std::string& path) {
  if (m_player.playing()) {
    m_player.Stop();  // its close arrives when the new song is loaded, and changes nothing then
  }
  TakeNewFile(path);
  OpenAndLoad();
  UpdateData(false);
}

bool CPlayerDlg::OpenAndLoad() {
  if (m_strFileName.empty()) {
    m_btnOpen->setEnabled(true);
    return false;
  }
  const QString fileTitle = FromPath(platform::FileTitle(m_strFileName));
  // The passage's start takes effect in the load. Its ticks come from the bars of the song the
  // engine held so far, which is this one on a reload; a new song counts its bars once loaded,
  // and loads again when they fall elsewhere.
  m_player.SetPassage(PracticePassage());
  QString problem = LoadHeldFile();
  if (problem.isEmpty()) {
    RangeBarFields();
    const player::Passage wanted = PracticePassage();
    if (wanted != m_player.passage()) {
      m_player.SetPassage(wanted);
      problem = LoadHeldFile();
    }
  }
  if (!problem.isEmpty()) {
    // Nothing is loaded: only Open makes sense, and it asks for a file again. As after Stop, a
    // device close still to be reported leaves the buttons so.
    m_strFileName.clear();
    m_nState = StateStopped;
    SetWindowText(g_strAppTitle);
    LeaveOnlyOpenEnabled();
    ClearPracticeRow();
    ShowWords(std::nullopt);
    ReportLoadProblem(problem);
    return false;
  }
  m_memory.AddRecentFile(m_strFileName);
  ReportSettingsProblem();
  SetButtons(false, m_btnRewind->isEnabled(), true, false, false);
  ShowSongInControls(fileTitle);
  return true;
}

QString CPlayerDlg::LoadHeldFile() {
  if (!m_file.Open(m_strFileName)) {
    // A recent file that has gone away is offered no more.
    m_memory.RemoveRecentFile(m_strFileName);
    ReportSettingsProblem();
    return QStringLiteral("The file \u201c%1\u201d cannot be opened: %2.")
        .arg(FromPath(m_strFileName), QString::fromStdString(m_file.Error()));
  }
  // The bars count the pickup from the load on.
  m_player.SetPickup(static_cast<std::uint32_t>(m_nPickup));
  // The first buffers are filled in the load: they must already play at the slider's tempo.
  m_player.SetTempoPercent(static_cast<std::uint32_t>(m_nTempo));
  SendPracticeTools();
  const int loaded = m_player.LoadFromFile(m_file);
  m_file.Close();
  if (loaded == 0) {
    return QStringLiteral("The file \u201c%1\u201d cannot be played.\n\n%2")
        .arg(FromPath(m_strFileName),
             QString::fromStdString(player::DescribeLoadFailure(m_player)));
  }
  return {};
}

void CPlayerDlg::LeaveOnlyOpenEnabled() {
  SetButtons(true, false, false, false, false);
}

void CPlayerDlg::SendVolumes() {
  const std::vector<std::uint8_t> channels = RowChannels();
  for (std::size_t row = 0; row < channels.size() && row < kVoiceRowsMost; ++row) {
    m_player.SetChannelVolume(channels[row], static_cast<std::uint32_t>(m_nVolume[row]));
  }
}

void CPlayerDlg::OnPlay() {
  m_nState = StatePlaying;
  if (m_player.playing()) {
    return;
  }
  m_player.Play(m_bAutoReplay);
  m_timerWords->start();
  MoveNotes(true);
  SendVolumes();
  m_player.SetTempoPercent(static_cast<std::uint32_t>(m_nTempo));
  SetButtons(false, false, false, true, true);
}

void CPlayerDlg::OnPause() {
  m_nState = StatePaused;
  if (m_player.paused()) {
    m_player.Resume();
    m_btnRewind->setEnabled(false);
    MoveNotes(true);
  } else {
    m_player.Pause();
    m_btnRewind->setEnabled(true);
    MoveNotes(false);
  }
  m_btnPlay->setEnabled(false);
  m_btnPause->setEnabled(true);
  m_btnStop->setEnabled(true);
}

void CPlayerDlg::OnStop() {
  m_nState = StateStopped;
  m_player.Stop();
  m_strFileName.clear();
  LeaveOnlyOpenEnabled();
  m_editName1->setText(QStringLiteral(" "));
  m_editName2->setText(QStringLiteral(" "));
  m_editName3->setText(QStringLiteral(" "));
  m_editName4->setText(QStringLiteral(" "));
  m_player.title().clear();
  ClearPracticeRow();
  ShowWords(std::nullopt);
  ShowNotes();
  SetWindowText(g_strAppTitle);
  UpdateData(false);
}

void CPlayerDlg::OnRewind() {
  m_nState = StateRewound;
  if (m_player.playing()) {
    m_player.Stop();
  }
  if (OpenAndLoad()) {
    SetButtons(false, false, true, false, true);
  }
  UpdateData(false);
}

void CPlayerDlg::OnVScroll(unsigned code, unsigned thumbPosition, framework::CSliderCtrl* slider) {
  if (slider == nullptr || slider != m_sliderTempo) {
    return;
  }
  const int p = ScrolledPosition(code, thumbPosition, *slider, kTempoRule);
  m_nTempo = p;
  m_player.SetTempoPercent(static_cast<std::uint32_t>(p));
  RememberSong();
  UpdateData(false);
}

void CPlayerDlg::OnHScroll(unsigned code, unsigned thumbPosition, framework::CSliderCtrl* slider) {
  int channel = -1;
  for (int i = 0; i < 4; ++i) {
    if (slider != nullptr && slider == VolumeSlider(i)) {
      channel = i;
      break;
    }
  }
  if (channel < 0) {
    return;
  }
  const int p = ScrolledPosition(code, thumbPosition, *slider, kVolumeRule);
  UpdateData(true);
  m_nVolume[channel] = p;
  m_player.SetChannelVolume(static_cast<std::uint32_t>(channel), static_cast<std::uint32_t>(p));
  RememberSong();
  UpdateData(false);
}

std::intptr_t CPlayerDlg::OnPositionChanged(std::uintptr_t, std::intptr_t) {
  stream::MMTIME time{};
  const bool known = m_player.GetPosition(&time) != 0;
  if (!m_player.playing()) {
    m_strPosition = QStringLiteral(" ");
  } else if (known) {
    // The speed trainer moves the tempo: the slider shows the tempo reached.
    if (m_nSpeedUp != 0) {
      m_nTempo = static_cast<int>(m_player.tempoPercent());
    }
    // A song timed in SMPTE frames has no bars to show.
    const auto bar = m_player.GetBarNumber(time.u.ticks);
    m_strPosition = bar ? QString::asprintf("Bar:%d ", *bar) : QStringLiteral(" ");
  }  // else: the bar display keeps what it showed
  if (!m_player.playing() || known) {
    ShowWords(m_player.playing() ? std::optional<std::uint32_t>(time.u.ticks) : std::nullopt);
  }
  UpdateData(false);
  return 0;
}

std::intptr_t CPlayerDlg::OnPlayedOff(std::uintptr_t, std::intptr_t) {
  if (m_nState != StateSeeking && m_nState != StateCalibrating) {
    MoveNotes(false);
    if (Singing()) {
      m_sungLine.EndPass();  // the song's end, or Stop: the pass is summed up
      ShowSungSummary();
    }
  }
  switch (m_nState) {
    case StateSeeking:  // the song loaded at the bar chosen plays on
      OnPlay();
      break;
    case StateCalibrating:
      if (!m_player.playing()) {  // not the close of the song the clicks took over from
        FinishCalibration();
      }
      break;
    case StateStopped:
      LeaveOnlyOpenEnabled();
      break;
    case StateLoaded:
    case StatePaused:
      break;
    case StateRewound:
      SetButtons(false, false, true, false, true);
      break;
    default:  // the end of the song: back to its start, waiting for Play
      SetButtons(false, true, false, false, true);
      OnRewind();
      break;
  }
  return 0;
}

void CPlayerDlg::OnAutoReplay() {
  m_bAutoReplay = !m_bAutoReplay;
  m_player.SetLoop(m_bAutoReplay);
  UpdateData(false);
}

void CPlayerDlg::OnAbout() {
  if (auto* app = dynamic_cast<CMidiSampleApp*>(framework::AfxGetApp())) {
    app->ShowAbout();
  }
}

}  // namespace quirelle::ui
