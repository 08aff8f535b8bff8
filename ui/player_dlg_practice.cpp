// The player window's practice row: the bars a passage runs from and to, whether it loops and
// whether a bar of clicks counts it in, and how they reach the engine.
#include <algorithm>
#include <optional>

#include "ui/player_dlg.h"
#include "ui/res/resource_ids.h"

namespace quirelle::ui {
namespace {

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
  EnableDlgItem(res::kIdcLoop, true);
  EnableDlgItem(res::kIdcCountIn, last > 0);
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
  for (int id :
       {res::kIdcFromBar, res::kIdcToBar, res::kIdcLoop, res::kIdcCountIn, res::kIdcPickup}) {
    EnableDlgItem(id, false);
  }
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
  UpdateData(false);
}

}  // namespace quirelle::ui
