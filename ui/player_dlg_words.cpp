// The player window's words line: the words of the voice followed around the song's position,
// the syllable sung now in bold and the start of the next line where there is room. A click on
// a voice's name follows that voice's words.
#include <QEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>

#include "smf/lyrics.h"
#include "ui/player_dlg.h"
#include "ui/player_messages.h"
#include "ui/res/resource_ids.h"

namespace quirelle::ui {
namespace {

const QString kNextLine = QStringLiteral(" / ");
// The device reports its position when a buffer comes back, which on long notes is seldom; the
// words line asks this often as well.
constexpr int kWordsIntervalMs = 50;

QString Shown(const smf::Syllable& syllable) {
  return QString::fromStdString((syllable.spaceBefore ? " " : "") + syllable.text);
}

// The syllables of `line` from `first` on, in plain text.
QString PlainFrom(const smf::WordsLine& line, std::size_t first) {
  QString text;
  for (std::size_t i = first; i < line.syllables.size(); ++i) {
    text += Shown(line.syllables[i]);
  }
  return text;
}

// The line around its sung syllable as rich text, as much of it as `width` pixels hold: a line
// too long loses syllables at its start, never the one sung; the next line follows where there
// is room.
QString WordsHtml(const smf::Words& words, const smf::WordsPlace& place, bool showSung,
                  const QFontMetrics& metrics, int width) {
  const smf::WordsLine& line = words[place.line];
  const std::size_t sung = place.syllable.value_or(0);
  std::size_t first = 0;
  while (first < sung && metrics.horizontalAdvance(PlainFrom(line, first)) > width) {
    ++first;
  }
  QString html;
  QString plain;
  for (std::size_t i = first; i < line.syllables.size(); ++i) {
    const smf::Syllable& syllable = line.syllables[i];
    const QString word = QString::fromStdString(syllable.text).toHtmlEscaped();
    html += syllable.spaceBefore && i != first ? QStringLiteral(" ") : QString();
    html += showSung && place.syllable && i == sung ? QStringLiteral("<b>%1</b>").arg(word) : word;
    plain += Shown(syllable);
  }
  if (place.line + 1 < words.size()) {
    plain += kNextLine;
    QString next;
    for (const smf::Syllable& syllable : words[place.line + 1].syllables) {
      const QString text = next.isEmpty() ? Shown(syllable).trimmed() : Shown(syllable);
      if (metrics.horizontalAdvance(plain + next + text) > width) {
        break;
      }
      next += text;
    }
    if (!next.isEmpty()) {
      html += kNextLine.toHtmlEscaped() + next.toHtmlEscaped();
    }
  }
  return html;
}

}  // namespace

const smf::Words* CPlayerDlg::FollowedWords() const {
  const smf::MidiFile& file = m_player.file();
  if (m_nWordsVoice > 0) {
    const auto channel = static_cast<std::uint8_t>(m_nWordsVoice - 1);
    if (const smf::Words* words = smf::WordsOnChannel(file.words(), file.voiceMap(), channel)) {
      return words;
    }
  }
  const std::optional<std::uint8_t> first =
      smf::FirstChannelWithWords(file.words(), file.voiceMap());
  return first ? smf::WordsOnChannel(file.words(), file.voiceMap(), *first) : nullptr;
}

void CPlayerDlg::ShowWords(std::optional<std::uint32_t> tick) {
  auto* label = qobject_cast<QLabel*>(GetDlgItem(res::kIdcWords));
  const smf::Words* words = m_strFileName.empty() ? nullptr : FollowedWords();
  if (label == nullptr || words == nullptr) {
    if (label != nullptr) {
      label->clear();
    }
    return;
  }
  // Before playing and through a count-in the passage's first line waits, nothing sung yet.
  const player::Passage passage = m_player.passage();
  const bool countingIn = tick && passage.countIn && *tick == passage.fromTick;
  const bool singing = tick && !countingIn;
  const smf::WordsPlace place = smf::PlaceOf(*words, tick.value_or(passage.fromTick));
  label->setText(WordsHtml(*words, place, singing, QFontMetrics(label->font()),
                           label->contentsRect().width()));
}

void CPlayerDlg::SetUpWordsLine() {
  m_timerWords = new QTimer(this);  // owned by the window
  m_timerWords->setInterval(kWordsIntervalMs);
  connect(m_timerWords, &QTimer::timeout, this, [this] {
    if (m_player.playing()) {
      PostMessage(rwm_positionchanged);
    } else {
      m_timerWords->stop();
    }
  });
  for (QLineEdit* name : {m_editName1, m_editName2, m_editName3, m_editName4}) {
    name->installEventFilter(this);
  }
  auto* label = qobject_cast<QLabel*>(GetDlgItem(res::kIdcWords));
  label->setTextFormat(Qt::RichText);
  // The dialog's bitmap font has no bold face: the words take the desktop's font, at its size.
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSizeF(label->font().pointSizeF());
  label->setFont(font);
}

bool CPlayerDlg::eventFilter(QObject* watched, QEvent* event) {
  // The names are disabled edits: their clicks reach the window only through this filter.
  if (event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    const QLineEdit* names[] = {m_editName1, m_editName2, m_editName3, m_editName4};
    for (int voice = 0; voice < 4; ++voice) {
      if (watched == names[voice]) {
        FollowVoice(voice + 1);
        return true;
      }
    }
  }
  return framework::CDialog::eventFilter(watched, event);
}

void CPlayerDlg::FollowVoice(int voice) {
  const smf::MidiFile& file = m_player.file();
  const auto channel = static_cast<std::uint8_t>(voice - 1);
  const bool sings = file.voiceMap().FirstVoiceOn(channel).has_value();
  // In a song with words a voice without them leaves the line as it is; in a song without, any
  // voice can be followed in the notes view.
  const bool hasWords = smf::WordsOnChannel(file.words(), file.voiceMap(), channel) != nullptr;
  const bool songHasWords = smf::FirstChannelWithWords(file.words(), file.voiceMap()).has_value();
  if (m_strFileName.empty() || !sings || (songHasWords && !hasWords)) {
    return;
  }
  m_nWordsVoice = voice;
  RememberSong();
  ShowNotes();
  stream::MMTIME time{};
  time.wType = stream::TIME_TICKS;
  const bool known = m_player.playing() && m_player.GetPosition(&time) != 0;
  ShowWords(known ? std::optional<std::uint32_t>(time.u.ticks) : std::nullopt);
}

}  // namespace quirelle::ui
