// The player window's construction, initialisation and data exchange between its members and
// its controls.
#include "ui/player_dlg.h"

#include <QMimeData>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <functional>
#include <optional>
#include <utility>

#include "smf/text.h"
#include "ui/app_title.h"
#include "ui/framework/data_exchange.h"
#include "ui/framework/message_box.h"
#include "ui/framework/resource_module.h"
#include "ui/player_messages.h"
#include "ui/res/resource_ids.h"

namespace quirelle::ui {
namespace {

QString Percent(int value) {
  return QString::asprintf("%d %%", value);
}

// Runs `then` once `window` has been painted on the screen: after the event loop has handled
// its window's first exposure (Qt paints the window there), or half a second after it was
// shown, whichever comes first; at once for a window that is not shown or already exposed.
class AfterFirstPaint final : public QObject {
 public:
  static void Run(QWidget* window, std::function<void()> then) {
    QWindow* handle = window->windowHandle();
    if (!window->isVisible() || handle == nullptr || handle->isExposed()) {
      then();
      return;
    }
    auto* watch = new AfterFirstPaint(window, std::move(then));  // owned by the window
    handle->installEventFilter(watch);
    QTimer::singleShot(kLongestWaitMs, watch, [watch] { watch->Fire(); });
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Expose) {
      watched->removeEventFilter(this);
      // Once Qt has painted in answer to the exposure.
      QTimer::singleShot(0, this, [this] { Fire(); });
    }
    return false;
  }

 private:
  static constexpr int kLongestWaitMs = 500;

  AfterFirstPaint(QWidget* window, std::function<void()> then)
      : QObject(window), then_(std::move(then)) {}
  void Fire() {
    if (then_) {
      std::exchange(then_, nullptr)();
      deleteLater();
    }
  }

  std::function<void()> then_;
};

}  // namespace

CPlayerDlg::CPlayerDlg(stream::StreamDriver& driver, framework::FileChooser& chooser,
                       const platform::Clock& waitClock, QWidget* parent)
    : framework::CDialog(res::kIddPlayer, parent),
      m_player(driver, waitClock),
      m_hIcon(framework::CurrentResourceModule().LoadIcon(res::kIdiProgram)),
      chooser_(chooser) {
  MapCommand(res::kIdcPlay, &CPlayerDlg::OnPlay);
  MapCommand(res::kIdcStop, &CPlayerDlg::OnStop);
  MapCommand(res::kIdcPause, &CPlayerDlg::OnPause);
  MapCommand(res::kIdcAutoReplay, &CPlayerDlg::OnAutoReplay);
  MapCommand(res::kIdcOpen, &CPlayerDlg::OnOpenFile);
  MapCommand(res::kIdcRewind, &CPlayerDlg::OnRewind);
  MapCommand(res::kIdcAbout, &CPlayerDlg::OnAbout);
  MapCommand(res::kIdcFromBar, &CPlayerDlg::OnFromBar);
  MapCommand(res::kIdcToBar, &CPlayerDlg::OnToBar);
  MapCommand(res::kIdcLoop, &CPlayerDlg::OnLoop);
  MapCommand(res::kIdcCountIn, &CPlayerDlg::OnCountIn);
  MapCommand(res::kIdcPickup, &CPlayerDlg::OnPickup);
  MapCommand(res::kIdcKey, &CPlayerDlg::OnKey);
  MapCommand(res::kIdcSpeedUp, &CPlayerDlg::OnSpeedUp);
  MapCommand(res::kIdcStartingNotes, &CPlayerDlg::OnStartingNotes);
  for (int channel = 0; channel < 4; ++channel) {
    MapCommand(res::kIdcMute1 + channel, [this, channel] { OnMute(channel); });
    MapCommand(res::kIdcSolo1 + channel, [this, channel] { OnSolo(channel); });
  }
  MapMessage(rwm_positionchanged, &CPlayerDlg::OnPositionChanged);
  MapMessage(rwm_playedoff, &CPlayerDlg::OnPlayedOff);
}

CPlayerDlg::~CPlayerDlg() = default;

void CPlayerDlg::DoDataExchange(framework::CDataExchange& dx) {
  m_strVolume1 = Percent(m_nVolume[0]);
  m_strVolume2 = Percent(m_nVolume[1]);
  m_strVolume3 = Percent(m_nVolume[2]);
  m_strVolume4 = Percent(m_nVolume[3]);
  m_strTempo = Percent(m_nTempo);
  m_strTitle = QString::fromStdString(smf::DisplayTitle(m_player.title(), m_strFileName));

  framework::DDX_Control(dx, res::kIdcName4, m_editName4);
  framework::DDX_Control(dx, res::kIdcName3, m_editName3);
  framework::DDX_Control(dx, res::kIdcName1, m_editName1);
  framework::DDX_Control(dx, res::kIdcName2, m_editName2);
  framework::DDX_Control(dx, res::kIdcAbout, m_btnAbout);
  framework::DDX_Control(dx, res::kIdcRewind, m_btnRewind);
  framework::DDX_Control(dx, res::kIdcPlay, m_btnPlay);
  framework::DDX_Control(dx, res::kIdcPause, m_btnPause);
  framework::DDX_Control(dx, res::kIdcStop, m_btnStop);
  framework::DDX_Control(dx, res::kIdcOpen, m_btnOpen);
  framework::DDX_Control(dx, res::kIdcVolume4, m_sliderVolume4);
  framework::DDX_Control(dx, res::kIdcVolume3, m_sliderVolume3);
  framework::DDX_Control(dx, res::kIdcVolume2, m_sliderVolume2);
  framework::DDX_Control(dx, res::kIdcVolume1, m_sliderVolume1);
  framework::DDX_Control(dx, res::kIdcTempo, m_sliderTempo);
  framework::DDX_Control(dx, res::kIdcFromBar, m_spinFromBar);
  framework::DDX_Control(dx, res::kIdcToBar, m_spinToBar);
  framework::DDX_Control(dx, res::kIdcPickup, m_spinPickup);
  framework::DDX_Control(dx, res::kIdcKey, m_spinKey);
  framework::DDX_Control(dx, res::kIdcSpeedUp, m_spinSpeedUp);

  framework::DDX_Text(dx, res::kIdcPosition, m_strPosition);
  framework::DDX_Slider(dx, res::kIdcTempo, m_nTempo);
  framework::DDX_Text(dx, res::kIdcTempoText, m_strTempo);
  framework::DDX_Check(dx, res::kIdcAutoReplay, m_bAutoReplay);
  framework::DDX_Text(dx, res::kIdcVolumeText1, m_strVolume1);
  framework::DDX_Text(dx, res::kIdcVolumeText2, m_strVolume2);
  framework::DDX_Text(dx, res::kIdcVolumeText3, m_strVolume3);
  framework::DDX_Text(dx, res::kIdcVolumeText4, m_strVolume4);
  framework::DDX_Text(dx, res::kIdcTitle, m_strTitle);
  framework::DDX_Spin(dx, res::kIdcFromBar, m_nFromBar);
  framework::DDX_Spin(dx, res::kIdcToBar, m_nToBar);
  framework::DDX_Spin(dx, res::kIdcPickup, m_nPickup);
  framework::DDX_Check(dx, res::kIdcLoop, m_bLoop);
  framework::DDX_Check(dx, res::kIdcCountIn, m_bCountIn);
  framework::DDX_Spin(dx, res::kIdcKey, m_nKey);
  framework::DDX_Spin(dx, res::kIdcSpeedUp, m_nSpeedUp);
  framework::DDX_Check(dx, res::kIdcStartingNotes, m_bStartingNotes);
  for (int channel = 0; channel < 4; ++channel) {
    framework::DDX_Check(dx, res::kIdcMute1 + channel, m_bMute[channel]);
    framework::DDX_Check(dx, res::kIdcSolo1 + channel, m_bSolo[channel]);
  }
}

bool CPlayerDlg::OnInitDialog() {
  framework::CDialog::OnInitDialog();
  setWindowIcon(m_hIcon);
  m_listener.SetWindow(&MessageWindow());
  m_player.SetListener(&m_listener);
  m_btnOpen->LoadBitmaps(res::kIdbOpenUp, res::kIdbOpenDown, res::kIdbOpenFocused,
                         res::kIdbOpenDisabled);
  m_btnRewind->LoadBitmaps(res::kIdbRewindUp, res::kIdbRewindDown, res::kIdbRewindFocused,
                           res::kIdbRewindDisabled);
  m_btnPlay->LoadBitmaps(res::kIdbPlayUp, res::kIdbPlayDown, res::kIdbPlayFocused,
                         res::kIdbPlayDisabled);
  m_btnPause->LoadBitmaps(res::kIdbPauseUp, res::kIdbPauseDown, res::kIdbPauseFocused,
                          res::kIdbPauseDisabled);
  m_btnStop->LoadBitmaps(res::kIdbStopUp, res::kIdbStopDown, res::kIdbStopFocused,
                         res::kIdbStopDisabled);
  SetButtons(true, false, false, false, false);
  m_spinKey->SetSignShown(true);
  SetWindowText(g_strAppTitle);
  setAcceptDrops(true);
  AddTransportKeys();
  AddRecentFilesMenu();
  SetUpWordsLine();
  SetUpSingRow();
  SetUpNotesView();
  if (!m_strStartFile.empty()) {
    // Once the window is up and painted, so that a message box about the file has a window to
    // stand on, and the window is seen while the song's load waits for the SoundFont.
    QTimer::singleShot(0, this, [this] {
      AfterFirstPaint::Run(this, [this] { OpenGivenFile(std::exchange(m_strStartFile, {})); });
    });
  }
  return true;
}

void CPlayerDlg::AddTransportKeys() {
  auto* space = new QShortcut(QKeySequence(Qt::Key_Space), this);  // owned by the window
  connect(space, &QShortcut::activated, this,
          [this] { PressIfEnabled(m_btnPlay->isEnabled() ? m_btnPlay : m_btnPause); });
  auto* home = new QShortcut(QKeySequence(Qt::Key_Home), this);
  connect(home, &QShortcut::activated, this, [this] { PressIfEnabled(m_btnRewind); });
}

void CPlayerDlg::PressIfEnabled(QAbstractButton* button) {
  if (button->isEnabled()) {
    button->click();
  }
}

namespace {

// The one local file a drag carries, or nothing.
// The file's path as the file system has it: a name that is not UTF-8 comes percent-encoded in
// the URL, and would not survive becoming text.
std::optional<std::string> DraggedFile(const QMimeData* data) {
  if (data == nullptr || data->urls().size() != 1 || !data->urls().front().isLocalFile()) {
    return std::nullopt;
  }
  const QString encoded = data->urls().front().path(QUrl::FullyEncoded);
  return QByteArray::fromPercentEncoding(encoded.toLatin1()).toStdString();
}

}  // namespace

void CPlayerDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (DraggedFile(event->mimeData())) {
    event->acceptProposedAction();
  }
}

void CPlayerDlg::dropEvent(QDropEvent* event) {
  const auto file = DraggedFile(event->mimeData());
  if (!file) {
    return;
  }
  event->acceptProposedAction();
  // After the drop is over: a message box inside it would hold up the dragging program.
  QTimer::singleShot(0, this, [this, path = *file] { OpenGivenFile(path); });
}

void CPlayerDlg::ShowSongInControls(const QString& fileTitle) {
  for (int channel = 0; channel < 4; ++channel) {
    VolumeSlider(channel)->SetRange(0, 100);
    VolumeSlider(channel)->SetPos(m_nVolume[channel]);
  }
  const auto& names = m_player.channelNames();
  auto name = [&](int channel) {
    const QString text =
        QString::fromStdString(smf::DisplayText(names[static_cast<std::size_t>(channel)]));
    return Accompanies(static_cast<std::size_t>(channel)) ? text + tr(" (accompaniment)") : text;
  };
  m_editName1->setText(name(0));
  m_editName2->setText(name(1));
  m_editName3->setText(name(2));
  m_editName4->setText(name(3));
  NameVoiceToggles();
  ShowMoreRows();
  m_sliderTempo->SetRange(20, 500);
  m_sliderTempo->SetPos(m_nTempo);
  m_strPosition = QString::asprintf("%lu", 0UL);
  ShowWords(std::nullopt);
  MoveNotes(false);
  ShowNotes();
  SetWindowText(g_strAppTitle + QStringLiteral(" playing: ") + fileTitle);
}

void CPlayerDlg::SetButtons(bool open, bool rewind, bool play, bool pause, bool stop) {
  m_btnOpen->setEnabled(open);
  m_btnRewind->setEnabled(rewind);
  m_btnPlay->setEnabled(play);
  m_btnPause->setEnabled(pause);
  m_btnStop->setEnabled(stop);
}

framework::CSliderCtrl* CPlayerDlg::VolumeSlider(int channel) const {
  framework::CSliderCtrl* const sliders[] = {m_sliderVolume1, m_sliderVolume2, m_sliderVolume3,
                                             m_sliderVolume4};
  return sliders[channel];
}

void CPlayerDlg::ReportLoadProblem(const QString& text) {
  MessageBox(text, g_strAppTitle, framework::kMbOk | framework::kMbIconWarning);
}

}  // namespace quirelle::ui
