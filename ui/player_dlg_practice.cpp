// The player window's practice rows: the bars a passage runs from and to, whether it loops and
// whether a bar of clicks counts it in; the key, the speed trainer and the starting notes; the
// voices' mute and solo boxes; and how they reach the engine.
#include <QLineEdit>
#include <algorithm>
#include <optional>
#include <utility>

#include "player/stream_builder.h"
#include "player/transposer.h"
#include "ui/player_dlg.h"
#include "ui/res/resource_ids.h"

namespace quirelle::ui {
namespace {

// The label after Pickup: what its number counts, the unit of the song's first metre (a 6/8
// song counts eighths), given as the power of two of the metre's denominator; beats without one.
QString PickupUnitText(std::optional<std::uint32_t> denominatorPower) {
  static const char* const kUnits[] = {"wholes",     "halves",         "quarters",     "eighths",
                                       "sixteenths", "thirty-seconds", "sixty-fourths"};
  const char* unit = denominatorPower && *denominatorPower < std::size(kUnits)
                         ? kUnits[*denominatorPower]
                         : "beats";
  return QString::fromLatin1(unit) + QStringLiteral(" before bar 1, where the file has none");
}

std::optional<std::int32_t> Bar(int field) {
  return field != 0 ? std::optional<std::int32_t>(field) : std::nullopt;
}

void SetRepeats(player::Passage& passage, bool loop, bool countIn) {
  passage.plays = loop ? player::Passage::kForever : 1;
  passage.countIn = countIn;
}

}  // namespace

player::Passage CPlayerDlg::PracticePassage() const {
  player::Passage passage;
  if (m_nFromBar != 0 || m_nToBar != 0) {
    // Once the song is loaded the fields hold only bars it has; before, the engine may still
    // hold another song, and the load that follows corrects the guess.
    const player::PassageResult bars =
        player::PassageFromBars(m_player.file(), Bar(m_nFromBar), Bar(m_nToBar));
    if (bars.passage) {
      passage = *bars.passage;
    }
  }
  SetRepeats(passage, m_bLoop, m_bCountIn);
  return passage;
}

void CPlayerDlg::RangeBarFields() {
  // A song timed in frames has no bars: it plays whole, without a count-in.
  const int last = std::max(0, m_player.file().LastBar().value_or(0));
  m_nFromBar = std::clamp(m_nFromBar, 0, last);
  m_nToBar = std::clamp(m_nToBar, 0, last);
  if (m_nFromBar != 0 && m_nToBar != 0 && m_nToBar < m_nFromBar) {
    m_nToBar = m_nFromBar;
  }
  if (last == 0) {
    m_bCountIn = false;
  }
  m_spinFromBar->SetRange(0, last);
  m_spinToBar->SetRange(0, last);
  m_spinFromBar->setEnabled(last > 0);
  m_spinToBar->setEnabled(last > 0);
  // A pickup is shorter than the first bar; a file that writes its own needs none given.
  const smf::TimeSignatureMap& bars = m_player.file().timeSignatures();
  const bool canGive = last > 0 && !bars.PickupWritten();
  const int longest = canGive ? static_cast<int>(bars.MetreAt(0).numerator) - 1 : 0;
  m_nPickup = std::clamp(m_nPickup, 0, longest);
  m_spinPickup->SetRange(0, longest);
  m_spinPickup->setEnabled(canGive && longest > 0);
  SetDlgItemText(res::kIdcPickupUnit, PickupUnitText(last > 0 ? bars.MetreAt(0).denominatorPower
                                                              : std::optional<std::uint32_t>()));
  EnableDlgItem(res::kIdcLoop, true);
  EnableDlgItem(res::kIdcCountIn, last > 0);
  m_spinKey->SetRange(player::Transposer::kLowest, player::Transposer::kHighest);
  m_spinSpeedUp->SetRange(0, static_cast<int>(player::kLargestSpeedStep));
  EnableDlgItem(res::kIdcKey, true);
  EnableDlgItem(res::kIdcSpeedUp, m_bLoop);  // only a loop repeats
  // Starting notes need a beat, which a song timed in frames does not have.
  EnableDlgItem(res::kIdcStartingNotes, last > 0);
  for (int channel = 0; channel < 4; ++channel) {
    EnableDlgItem(res::kIdcMute1 + channel, true);
    EnableDlgItem(res::kIdcSolo1 + channel, true);
  }
  m_checkSing->setEnabled(true);
  m_btnCalibrate->setEnabled(true);
}

void CPlayerDlg::ClearPracticeRow() {
  m_nFromBar = 0;
  m_nToBar = 0;
  m_bLoop = false;
  m_bCountIn = false;
  m_spinFromBar->SetRange(0, 0);
  m_spinToBar->SetRange(0, 0);
  m_nPickup = 0;
  m_spinPickup->SetRange(0, 0);
  SetDlgItemText(res::kIdcPickupUnit, PickupUnitText(std::nullopt));
  for (int id :
       {res::kIdcFromBar, res::kIdcToBar, res::kIdcLoop, res::kIdcCountIn, res::kIdcPickup}) {
    EnableDlgItem(id, false);
  }
  m_nKey = 0;
  m_nSpeedUp = 0;
  m_bStartingNotes = false;
  std::fill(std::begin(m_bMute), std::end(m_bMute), false);
  std::fill(std::begin(m_bSolo), std::end(m_bSolo), false);
  for (int channel = 0; channel < 4; ++channel) {
    EnableDlgItem(res::kIdcMute1 + channel, false);
    EnableDlgItem(res::kIdcSolo1 + channel, false);
  }
  for (int id : {res::kIdcKey, res::kIdcSpeedUp, res::kIdcStartingNotes}) {
    EnableDlgItem(id, false);
  }
  m_checkSing->setChecked(false);  // the microphone closes with the song
  m_checkSing->setEnabled(false);
  m_btnCalibrate->setEnabled(false);
  SendPracticeTools();
}

void CPlayerDlg::OnFromBar() {
  m_nFromBar = m_spinFromBar->GetPos();
  if (m_nFromBar != 0 && m_nToBar != 0 && m_nToBar < m_nFromBar) {
    m_nToBar = m_nFromBar;  // the passage's end follows its start
  }
  PracticeChanged();
}

void CPlayerDlg::OnToBar() {
  m_nToBar = m_spinToBar->GetPos();
  if (m_nFromBar != 0 && m_nToBar != 0 && m_nFromBar > m_nToBar) {
    m_nFromBar = m_nToBar;  // and its start its end
  }
  PracticeChanged();
}

void CPlayerDlg::OnLoop() {
  m_bLoop = !m_bLoop;
  EnableDlgItem(res::kIdcSpeedUp, m_bLoop);
  PracticeChanged();
}

void CPlayerDlg::OnCountIn() {
  m_bCountIn = !m_bCountIn;
  PracticeChanged();
}

void CPlayerDlg::OnPickup() {
  m_nPickup = m_spinPickup->GetPos();  // the bars count it from the next load
  PracticeChanged();
}

void CPlayerDlg::OnKey() {
  m_nKey = m_spinKey->GetPos();
  PracticeToolChanged();
}

void CPlayerDlg::OnSpeedUp() {
  m_nSpeedUp = m_spinSpeedUp->GetPos();
  PracticeToolChanged();
}

void CPlayerDlg::OnStartingNotes() {
  m_bStartingNotes = !m_bStartingNotes;
  PracticeToolChanged();
}

void CPlayerDlg::OnMute(int channel) {
  m_bMute[channel] = !m_bMute[channel];
  PracticeToolChanged();
}

void CPlayerDlg::OnSolo(int channel) {
  m_bSolo[channel] = !m_bSolo[channel];
  PracticeToolChanged();
}

void CPlayerDlg::SendPracticeTools() {
  m_player.SetTranspose(m_nKey);
  m_player.SetSpeedUp(static_cast<std::uint32_t>(m_nSpeedUp), player::kDefaultSpeedTarget);
  m_player.SetStartingNotes(m_bStartingNotes);
  const std::vector<std::uint8_t> channels = RowChannels();
  for (std::size_t row = 0; row < channels.size() && row < kVoiceRowsMost; ++row) {
    m_player.SetVoiceMuted(channels[row], m_bMute[row]);
    m_player.SetVoiceSoloed(channels[row], m_bSolo[row]);
  }
}

void CPlayerDlg::PracticeToolChanged() {
  SendPracticeTools();
  // A song waiting to play has its first buffers written already: loaded again, they start so.
  PracticeChanged();
}

void CPlayerDlg::NameVoiceToggles() {
  const QLineEdit* const names[] = {m_editName1, m_editName2, m_editName3, m_editName4};
  for (int channel = 0; channel < 4; ++channel) {
    QString name = names[channel]->text().trimmed();
    if (name.isEmpty()) {
      name = QStringLiteral("voice %1").arg(channel + 1);
    }
    for (const auto& [id, verb] : {std::pair{res::kIdcMute1, QStringLiteral("Mute ")},
                                   std::pair{res::kIdcSolo1, QStringLiteral("Solo ")}}) {
      QWidget* toggle = GetDlgItem(id + channel);
      toggle->setAccessibleName(verb + name);
      toggle->setToolTip(verb + name);
    }
  }
}

void CPlayerDlg::PracticeChanged() {
  RememberSong();
  const bool waiting = m_nState == StateLoaded || m_nState == StateRewound;
  if (!m_strFileName.empty() && waiting && !m_player.playing()) {
    // The start point is fixed when the first buffers are filled: load again, as Rewind does,
    // so that Play starts at the new From bar.
    if (m_nState == StateRewound) {
      OnRewind();
      return;
    }
    OpenAndLoad();
  } else {
    // While a song plays, From and To wait for the next load; the repeats and the count-in
    // count from the passage's next start.
    player::Passage passage = m_player.passage();
    SetRepeats(passage, m_bLoop, m_bCountIn);
    m_player.SetPassage(passage);
  }
  ShowNotes();
  UpdateData(false);
}

}  // namespace quirelle::ui
