// The player window's Sing row: the microphone opened while the box is on, the followed voice
// muted so the singer hears the others, the sung pitch drawn over the voice's notes, each note's
// verdict once it has passed, and a line summing up each pass. A missing, vanished or silent
// microphone is told on that line; the music plays on.
#include <QHBoxLayout>
#include <algorithm>
#include <cmath>

#include "ui/player_dlg.h"
#include "ui/res/resource_ids.h"

namespace quirelle::ui {
namespace {

constexpr int kSingRowHeight = 24;
constexpr int kSingLineHeight = 18;
constexpr int kListenMillis = 20;
constexpr int kLongestMicDelay = 500;

// The calibration's song: four side-stick clicks a beat apart after two beats of silence, at
// 120 beats a minute (480 ticks a beat).
constexpr std::uint32_t kClickBeat = 480;
constexpr int kClicks = 4;
constexpr std::uint32_t kFirstClick = 2 * kClickBeat;

std::vector<std::uint8_t> ClickSong() {
  std::vector<std::uint8_t> track;
  auto event = [&](std::uint32_t delta, std::initializer_list<std::uint8_t> bytes) {
    // Deltas here stay below 2^14: two bytes of variable length at most.
    if (delta >= 0x80) {
      track.push_back(static_cast<std::uint8_t>(0x80 | (delta >> 7)));
    }
    track.push_back(static_cast<std::uint8_t>(delta & 0x7F));
    track.insert(track.end(), bytes);
  };
  event(0, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});  // 500000 µs a beat
  for (int i = 0; i < kClicks; ++i) {
    event(i == 0 ? kFirstClick : kClickBeat - 60, {0x99, 37, 127});
    event(60, {0x89, 37, 0});
  }
  event(kClickBeat, {0xFF, 0x2F, 0x00});
  std::vector<std::uint8_t> song = {'M',
                                    'T',
                                    'h',
                                    'd',
                                    0,
                                    0,
                                    0,
                                    6,
                                    0,
                                    0,
                                    0,
                                    1,
                                    static_cast<std::uint8_t>(kClickBeat >> 8),
                                    static_cast<std::uint8_t>(kClickBeat & 0xFF),
                                    'M',
                                    'T',
                                    'r',
                                    'k'};
  const auto length = static_cast<std::uint32_t>(track.size());
  for (int shift = 24; shift >= 0; shift -= 8) {
    song.push_back(static_cast<std::uint8_t>(length >> shift));
  }
  song.insert(song.end(), track.begin(), track.end());
  return song;
}

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
  m_spinMicDelay->setObjectName(QStringLiteral("micDelay"));
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
  m_btnCalibrate = new QPushButton(QStringLiteral("Calibrate"), row);
  m_btnCalibrate->setObjectName(QStringLiteral("calibrate"));
  m_btnCalibrate->setToolTip(
      QStringLiteral("Four clicks play: sing \"ta\" with each, and the mic delay is measured"));
  m_btnCalibrate->setEnabled(false);
  layout->addWidget(m_btnCalibrate);
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
  connect(m_btnCalibrate, &QPushButton::clicked, this, &CPlayerDlg::OnCalibrate);
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
  const bool sameLine = notes != nullptr && m_pSungNotes != nullptr &&
                        m_strSungFile == m_strFileName && m_nSungVoice == followed &&
                        m_nSungKey == m_nKey;
  m_pSungNotes = notes;
  m_nSungKey = m_nKey;
  m_strSungFile = m_strFileName;
  m_nSungVoice = followed;
  m_sungLine.Reset(&file, notes, words, m_nKey, m_comboTolerance->currentData().toInt(), sameLine);
  m_viewNotes->update();
}

void CPlayerDlg::ListenToSinger() {
  if (m_calibration) {
    HearCalibration();
    return;
  }
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

void CPlayerDlg::OnCalibrate() {
  const bool waiting = m_nState == StateLoaded || m_nState == StateRewound;
  if (m_strFileName.empty() || m_player.playing() || !waiting || m_calibration) {
    return;
  }
  m_checkSing->setChecked(false);
  // The clicks take the engine: nothing may point into the song while they play.
  m_viewNotes->SetScene({});
  m_calibration = std::make_unique<Calibration>();
  m_calibration->mic.Start();
  platform::MemoryFile clicks(ClickSong());
  m_player.SetPassage({});
  m_player.SetTempoPercent(100);
  m_player.SetTranspose(0);
  m_player.SetStartingNotes(false);
  if (m_player.LoadFromFile(clicks) == 0 || m_player.Play(false) == 0) {
    m_calibration.reset();
    m_labelSing->setText(QStringLiteral("The clicks cannot be played."));
    OnRewind();
    return;
  }
  m_nState = StateCalibrating;
  SetButtons(false, false, false, false, false);
  m_btnCalibrate->setEnabled(false);
  m_labelSing->setText(QStringLiteral("Sing \"ta\" with each of the four clicks\u2026"));
  m_timerSing->start();
}

void CPlayerDlg::HearCalibration() {
  Calibration& c = *m_calibration;
  stream::MMTIME time{};
  if (m_player.playing() && m_player.GetHeardPosition(&time) != 0) {
    const auto now = SungLine::Clock::now();
    const std::uint32_t next =
        kFirstClick + static_cast<std::uint32_t>(c.clicksHeard.size()) * kClickBeat;
    if (c.clicksHeard.size() < kClicks && time.u.ticks >= next && time.u.ticks > c.lastTick &&
        c.lastAt != SungLine::Clock::time_point{}) {
      // Between the two readings, where the click's tick fell.
      const double share = double(next - c.lastTick) / double(time.u.ticks - c.lastTick);
      c.clicksHeard.push_back(c.lastAt + std::chrono::duration_cast<SungLine::Clock::duration>(
                                             (now - c.lastAt) * share));
    }
    c.lastAt = now;
    c.lastTick = time.u.ticks;
  }
  for (const sing::DatedPitch& pitch : c.mic.Take()) {
    c.sung.push_back(pitch);
  }
}

void CPlayerDlg::FinishCalibration() {
  m_timerSing->stop();
  HearCalibration();
  Calibration& c = *m_calibration;
  c.mic.Stop();
  // Each "ta" begins with the first voiced frame after a click, within half a beat of it.
  std::vector<double> delays;
  for (const auto& click : c.clicksHeard) {
    for (const sing::DatedPitch& pitch : c.sung) {
      const auto after = std::chrono::duration<double, std::milli>(pitch.sungAt - click).count();
      if (pitch.key > 0 && after > -100 && after < 250) {
        delays.push_back(after);
        break;
      }
    }
  }
  const std::string problem = c.mic.problem();
  m_calibration.reset();
  m_nState = StateRewound;
  OnRewind();  // the song as it was, waiting for Play
  if (delays.size() < 3) {
    m_labelSing->setText(
        problem.empty() ? QStringLiteral("Heard %1 of the four \"ta\"s; the mic delay stays %2 ms.")
                              .arg(delays.size())
                              .arg(m_spinMicDelay->value())
                        : QStringLiteral("No microphone: %1. The mic delay stays %2 ms.")
                              .arg(QString::fromStdString(problem))
                              .arg(m_spinMicDelay->value()));
    return;
  }
  std::sort(delays.begin(), delays.end());
  const double median = delays[delays.size() / 2];
  m_spinMicDelay->setValue(std::clamp(static_cast<int>(std::lround(median)), 0, kLongestMicDelay));
  m_labelSing->setText(QStringLiteral("Mic delay measured: %1 ms.").arg(m_spinMicDelay->value()));
}

}  // namespace quirelle::ui
