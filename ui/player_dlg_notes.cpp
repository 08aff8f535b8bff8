// The player window's notes view: where it stands in the window, what it shows of the song held,
// and what a click there does to the passage and the music.
#include <QLineEdit>
#include <QPalette>
#include <QResizeEvent>

#include "smf/lyrics.h"
#include "smf/text.h"
#include "ui/player_dlg.h"
#include "ui/res/resource_ids.h"

namespace quirelle::ui {
namespace {

// Wide enough for about four bars ahead of the playhead at a comfortable size.
constexpr int kNotesViewWidth = 760;
constexpr int kLeastNotesViewWidth = 240;

}  // namespace

void CPlayerDlg::SetUpNotesView() {
  m_sizeControls = size();
  m_viewNotes = new NotesView(this);
  m_viewNotes->SetHeardPosition([this]() -> std::optional<std::uint32_t> {
    stream::MMTIME time{};
    if (!m_player.playing() || m_player.GetHeardPosition(&time) == 0) {
      return std::nullopt;
    }
    return time.u.ticks;
  });
  const QLineEdit* names[] = {m_editName1, m_editName2, m_editName3, m_editName4};
  for (int row = 0; row < 4; ++row) {
    const QRect name = names[row]->geometry();
    m_markVoice[row] = new QWidget(this);
    m_markVoice[row]->setGeometry(name.left() + 2, name.bottom() + 1, 28, 3);
    m_markVoice[row]->setAutoFillBackground(true);
    m_markVoice[row]->hide();
  }
  m_rowsMore = new VoiceRows(this);
  // The rows past the fourth line up with the first.
  const QRect percent = GetDlgItem(res::kIdcVolumeText1)->geometry();
  const QRect slider = m_sliderVolume1->geometry();
  const QRect name = m_editName1->geometry();
  m_rowsMore->SetColumns({percent.left(), percent.width() + 4, slider.left(), slider.width(),
                          name.left(), name.width(), GetDlgItem(res::kIdcMute1)->geometry().left(),
                          GetDlgItem(res::kIdcSolo1)->geometry().left()});
  connect(m_rowsMore, &VoiceRows::VolumeChanged, this, [this](int row, int percent) {
    const std::vector<std::uint8_t> channels = RowChannels();
    const auto at = static_cast<std::size_t>(row) + 4;
    if (at < channels.size()) {
      m_nVolume[at] = percent;
      m_player.SetChannelVolume(channels[at], static_cast<std::uint32_t>(percent));
      RememberSong();
    }
  });
  connect(m_rowsMore, &VoiceRows::MuteToggled, this, [this](int row, bool on) {
    m_bMute[row + 4] = on;
    PracticeToolChanged();
  });
  connect(m_rowsMore, &VoiceRows::SoloToggled, this, [this](int row, bool on) {
    m_bSolo[row + 4] = on;
    PracticeToolChanged();
  });
  connect(m_rowsMore, &VoiceRows::NameClicked, this, [this](int row) {
    const std::vector<std::uint8_t> channels = RowChannels();
    const auto at = static_cast<std::size_t>(row) + 4;
    if (at < channels.size()) {
      FollowVoice(channels[at] + 1);
    }
  });
  connect(m_viewNotes, &NotesView::Heard, this, [this](std::uint32_t tick) {
    if (Singing()) {
      m_sungLine.Heard(SungLine::Clock::now(), tick);
    }
  });
  connect(m_viewNotes, &NotesView::BarsChosen, this, &CPlayerDlg::ChooseBars);
  connect(m_viewNotes, &NotesView::PlayFromBar, this, &CPlayerDlg::PlayFromBar);
  // The template fixes the controls' size; the view takes whatever the window has beside them.
  setMinimumSize(m_sizeControls.width() + kLeastNotesViewWidth, m_sizeControls.height());
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  const QSize wanted(m_sizeControls.width() + kNotesViewWidth, m_sizeControls.height());
  resize(m_memory.WindowSize().value_or(wanted).expandedTo(minimumSize()));
  PlaceNotesView();
}

void CPlayerDlg::resizeEvent(QResizeEvent* event) {
  framework::CDialog::resizeEvent(event);
  if (m_viewNotes != nullptr) {
    PlaceNotesView();
    if (isVisible()) {
      m_memory.RememberWindowSize(event->size());
    }
  }
}

void CPlayerDlg::PlaceNotesView() {
  m_viewNotes->setGeometry(m_sizeControls.width(), 0, std::max(0, width() - m_sizeControls.width()),
                           height());
  PlaceMoreRows();
}

void CPlayerDlg::PlaceMoreRows() {
  // Right under the controls, where the four rows' mute and solo boxes lead the eye.
  m_rowsMore->setGeometry(0, m_sizeControls.height(), m_sizeControls.width(),
                          std::max(0, height() - m_sizeControls.height()));
}

std::vector<std::uint8_t> CPlayerDlg::RowChannels() const {
  if (m_strFileName.empty()) {
    return {0, 1, 2, 3};
  }
  return m_player.file().voiceMap().voiceChannels();
}

bool CPlayerDlg::Accompanies(std::size_t row) const {
  const std::vector<smf::VoiceRole>& roles = m_player.file().roles();
  return !m_strFileName.empty() && row < roles.size() &&
         roles[row] == smf::VoiceRole::kAccompaniment;
}

void CPlayerDlg::ShowMoreRows() {
  const std::vector<std::uint8_t> channels = RowChannels();
  std::vector<VoiceRow> rows;
  for (std::size_t row = 4; row < channels.size() && row < kVoiceRowsMost; ++row) {
    VoiceRow shown;
    shown.name = QString::fromStdString(smf::DisplayText(m_player.channelNames()[channels[row]]));
    if (const auto voice = m_player.file().voiceMap().FirstVoiceOn(channels[row])) {
      shown.colour = VoiceColour(*voice);
    }
    shown.accompaniment = Accompanies(row);
    shown.volume = m_nVolume[row];
    shown.muted = m_bMute[row];
    shown.soloed = m_bSolo[row];
    rows.push_back(shown);
  }
  m_rowsMore->SetRows(rows);
  // The window grows to show up to eight rows; the list scrolls beyond.
  const int wanted = m_sizeControls.height() + m_rowsMore->WantedHeight();
  setMinimumHeight(wanted);
  if (height() < wanted) {
    resize(width(), wanted);
  }
  PlaceMoreRows();
}

std::size_t CPlayerDlg::FollowedVoiceIndex() const {
  const smf::MidiFile& file = m_player.file();
  if (m_nWordsVoice > 0) {
    if (const auto voice =
            file.voiceMap().FirstVoiceOn(static_cast<std::uint8_t>(m_nWordsVoice - 1))) {
      return *voice;
    }
  }
  if (const auto channel = smf::FirstChannelWithWords(file.words(), file.voiceMap())) {
    return file.voiceMap().FirstVoiceOn(*channel).value_or(0);
  }
  return 0;
}

void CPlayerDlg::MarkVoiceColours() {
  for (int row = 0; row < 4; ++row) {
    const auto voice =
        m_strFileName.empty()
            ? std::nullopt
            : m_player.file().voiceMap().FirstVoiceOn(static_cast<std::uint8_t>(row));
    if (voice) {
      QPalette palette = m_markVoice[row]->palette();
      palette.setColor(QPalette::Window, VoiceColour(*voice));
      m_markVoice[row]->setPalette(palette);
    }
    m_markVoice[row]->setVisible(voice.has_value());
  }
}

void CPlayerDlg::ShowNotes() {
  MarkVoiceColours();
  if (m_strFileName.empty()) {
    m_viewNotes->SetMoving(false);
    m_viewNotes->SetScene({});
    return;
  }
  const smf::MidiFile& file = m_player.file();
  const auto& voices = file.voiceMap().voices();
  SceneChoice choice;
  choice.followed = FollowedVoiceIndex();
  const std::vector<std::uint8_t> channels = RowChannels();
  const bool anySoloed =
      std::find(std::begin(m_bSolo), std::end(m_bSolo), true) != std::end(m_bSolo);
  for (const smf::Voice& voice : voices) {
    // Solo leaves the accompaniment playing.
    const auto row = static_cast<std::size_t>(
        std::find(channels.begin(), channels.end(), voice.playedOn) - channels.begin());
    const bool controlled = row < channels.size() && row < kVoiceRowsMost;
    choice.silent.push_back(controlled &&
                            (m_bMute[row] || (anySoloed && !Accompanies(row) && !m_bSolo[row])));
  }
  if (choice.followed < voices.size()) {
    choice.words =
        smf::WordsOnChannel(file.words(), file.voiceMap(), voices[choice.followed].playedOn);
  }
  const player::Passage passage = m_player.passage();
  choice.passageFrom = passage.fromTick;
  choice.passageEnd = passage.endTick;
  choice.countIn = passage.countIn;
  choice.transpose = m_nKey;
  m_viewNotes->SetScene(MakeScene(file, choice));
  const smf::VoiceNotes* sungAgainst =
      choice.followed < file.voiceNotes().size() ? &file.voiceNotes()[choice.followed] : nullptr;
  // A load makes the notes anew: the line sung is bound to them again, whatever changed.
  if (Singing() && (sungAgainst != m_pSungNotes || m_nKey != m_nSungKey ||
                    m_strFileName != m_strSungFile || choice.followed != m_nSungVoice)) {
    ResetSungLine();
  }
  if (!m_viewNotes->moving()) {
    m_viewNotes->StandAt(passage.fromTick);
  }
}

void CPlayerDlg::MoveNotes(bool moving) {
  m_viewNotes->SetMoving(moving);
  if (!moving && !m_player.playing()) {
    m_viewNotes->StandAt(m_player.passage().fromTick);
  }
}

void CPlayerDlg::ChooseBars(int from, int to) {
  if (m_strFileName.empty() || m_player.playing()) {
    return;  // paused: the passage is chosen in the fields, for the next load
  }
  m_nFromBar = from;
  if (to != from || (m_nToBar != 0 && m_nToBar < from)) {
    m_nToBar = to;
  }
  PracticeChanged();
}

void CPlayerDlg::PlayFromBar(int bar) {
  const std::optional<std::uint32_t> tick = m_player.file().BarStartTick(bar);
  if (m_strFileName.empty() || !m_player.playing() || !tick) {
    return;
  }
  player::Passage passage = PracticePassage();
  passage.fromTick = *tick;
  passage.countIn = false;  // the music goes on at once
  if (passage.endTick <= *tick) {
    passage.endTick = player::Passage::kSongEnd;
  }
  m_nState = StateSeeking;
  m_player.Stop();
  m_player.SetPassage(passage);
  const QString problem = LoadHeldFile();
  if (!problem.isEmpty()) {
    m_nState = StateStopped;
    OnStop();
    ReportLoadProblem(problem);
    return;
  }
  ShowNotes();  // the load made the song's notes anew
}

}  // namespace quirelle::ui
