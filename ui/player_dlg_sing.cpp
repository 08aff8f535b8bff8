// The player window's Sing row: the microphone opened while the box is on, the followed voice
// muted so the singer hears the others, the sung pitch drawn over the voice's notes, each note's
// verdict once it has passed, and a line summing up each pass. A missing, vanished or silent
// microphone is told on that line; the music plays on.
#include <QHBoxLayout>

#include "ui/player_dlg.h"
#include "ui/res/resource_ids.h"

namespace quirelle::ui {
namespace {

constexpr int kSingRowHeight = 24;
constexpr int kSingLineHeight = 18;
constexpr int kListenMillis = 20;
constexpr int kLongestMicDelay = 500;

std::chrono::milliseconds Millis(int value) {
  return std::chrono::milliseconds(value);
}

}  // namespace

void CPlayerDlg::SetUpSingRow() {
  const QRect key = GetDlgItem(res::kIdcKey)->geometry();
  const int top = height() + 2;
  auto* row = new QWidget(this);
  row->setGeometry(key.left() - 56, top, width() - (key.left() - 56) - 6, kSingRowHeight);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  m_checkSing = new QCheckBox(QStringLiteral("Sing"), row);
  m_checkSing->setObjectName(QStringLiteral("sing"));
  m_checkSing->setToolTip(QStringLiteral(
      "Listen to the microphone and show how the followed voice was sung, note by note"));
  m_checkSing->setEnabled(false);
  auto* delayLabel = new QLabel(QStringLiteral("Mic delay:"), row);
  m_spinMicDelay = new QSpinBox(row);
  m_spinMicDelay->setRange(0, kLongestMicDelay);
  m_spinMicDelay->setSuffix(QStringLiteral(" ms"));
  m_spinMicDelay->setValue(std::clamp(m_memory.MicDelay(0), 0, kLongestMicDelay));
  m_spinMicDelay->setToolTip(
      QStringLiteral("How much later your voice reaches the computer than the sound and the "
                     "microphone report"));
  delayLabel->setBuddy(m_spinMicDelay);
  m_comboTolerance = new QComboBox(row);
  m_comboTolerance->addItem(QStringLiteral("\u00b150 cents"), sing::kWideTolerance);
  m_comboTolerance->addItem(QStringLiteral("\u00b125 cents"), sing::kNarrowTolerance);
  m_comboTolerance->setCurrentIndex(
      m_memory.Tolerance(sing::kWideTolerance) == sing::kNarrowTolerance ? 1 : 0);
  m_comboTolerance->setToolTip(QStringLiteral("How close to the note counts as in tune"));
  layout->addWidget(m_checkSing);
  layout->addSpacing(8);
  layout->addWidget(delayLabel);
  layout->addWidget(m_spinMicDelay);
  layout->addSpacing(8);
  layout->addWidget(m_comboTolerance);
  layout->addStretch(1);
  m_labelSing = new QLabel(this);
  m_labelSing->setObjectName(QStringLiteral("singLine"));
  m_labelSing->setGeometry(key.left() - 56, top + kSingRowHeight, row->width(), kSingLineHeight);
  m_labelSing->setTextFormat(Qt::PlainText);
  setFixedSize(width(), top + kSingRowHeight + kSingLineHeight + 2);

  m_timerSing = new QTimer(this);
  m_timerSing->setInterval(kListenMillis);
  connect(m_timerSing, &QTimer::timeout, this, &CPlayerDlg::ListenToSinger);
  connect(m_checkSing, &QCheckBox::toggled, this, &CPlayerDlg::OnSing);
  connect(m_spinMicDelay, &QSpinBox::valueChanged, this,
          [this](int millis) { m_memory.RememberMicDelay(millis); });
  connect(m_comboTolerance, &QComboBox::currentIndexChanged, this, [this] {
    m_memory.RememberTolerance(m_comboTolerance->currentData().toInt());
    ResetSungLine();
  });
}

int CPlayerDlg::FollowedRow() const {
  const auto& voices = m_player.file().voiceMap().voices();
  const std::size_t followed = FollowedVoiceIndex();
  if (m_strFileName.empty() || followed >= voices.size()) {
    return -1;
  }
  const std::vector<std::uint8_t> channels = RowChannels();
  const auto row = std::find(channels.begin(), channels.end(), voices[followed].playedOn);
  const auto index = static_cast<std::size_t>(row - channels.begin());
  return row != channels.end() && index < kVoiceRowsMost ? static_cast<int>(index) : -1;
}

void CPlayerDlg::OnSing(bool on) {
  if (on == Singing()) {
    return;
  }
  if (!on) {
    m_timerSing->stop();
    m_sing.reset();
    if (m_nSingMutedRow >= 0 && m_bMute[m_nSingMutedRow]) {
      m_bMute[m_nSingMutedRow] = false;  // the box's own mute goes with it
      PracticeToolChanged();
    }
    m_nSingMutedRow = -1;
    m_viewNotes->SetSung(nullptr);
    m_labelSing->clear();
    return;
  }
  // The singer hears the others, not their own part; the voice's M box shows it and undoes it.
  const int row = FollowedRow();
  if (row >= 0 && !m_bMute[row]) {
    m_bMute[row] = true;
    m_nSingMutedRow = row;
    PracticeToolChanged();
  }
  m_sing =
      std::make_unique<sing::LivePitch>(qEnvironmentVariable("QUIRELLE_MICROPHONE").toStdString());
  m_sing->Start();
  m_pSungNotes = nullptr;  // judged from scratch
  ResetSungLine();
  m_viewNotes->SetSung(&m_sungLine.overlay());
  m_labelSing->setText(QStringLiteral("Listening\u2026"));
  m_timerSing->start();
}

void CPlayerDlg::ResetSungLine() {
  if (!Singing()) {
    return;
  }
  const smf::MidiFile& file = m_player.file();
  const auto& voices = file.voiceMap().voices();
  const std::size_t followed = FollowedVoiceIndex();
  const smf::VoiceNotes* notes =
      followed < file.voiceNotes().size() ? &file.voiceNotes()[followed] : nullptr;
  const smf::Words* words =
      followed < voices.size()
          ? smf::WordsOnChannel(file.words(), file.voiceMap(), voices[followed].playedOn)
          : nullptr;
  m_pSungNotes = notes;
  m_nSungKey = m_nKey;
  m_sungLine.Reset(&file, notes, words, m_nKey, m_comboTolerance->currentData().toInt());
  m_viewNotes->update();
}

void CPlayerDlg::ListenToSinger() {
  if (!Singing()) {
    return;
  }
  using State = sing::MicCapture::State;
  const State state = m_sing->state();
  if (state == State::kNone || state == State::kGone || state == State::kSilent) {
    const QString why = QString::fromStdString(m_sing->problem());
    m_labelSing->setText(
        state == State::kSilent
            ? QStringLiteral("The microphone gives only silence; the music plays on.")
            : QStringLiteral("No microphone: %1. The music plays on.").arg(why));
  } else if (state == State::kListening && m_labelSing->text().startsWith(QStringLiteral("No "))) {
    m_labelSing->setText(QStringLiteral("Listening\u2026"));
  }
  const auto delay = Millis(m_spinMicDelay->value());
  m_sungLine.Sung(m_sing->Take(), delay);
  m_sungLine.JudgePassed(SungLine::Clock::now(), delay);
  ShowSungSummary();
  m_viewNotes->update();
}

void CPlayerDlg::ShowSungSummary() {
  if (const std::optional<QString> summary = m_sungLine.TakeSummary()) {
    m_labelSing->setText(*summary);
  }
}

}  // namespace quirelle::ui
