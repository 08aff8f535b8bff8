// What the player window keeps of each song between runs, and the recently opened files it
// offers on the Open button's context menu.
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <optional>

#include "ui/player_dlg.h"

namespace quirelle::ui {
namespace {

QString FromPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

// A file name as a menu shows it: ampersands as they are, and a number to choose it by.
QString MenuText(int index, const QString& name) {
  QString shown = name;
  shown.replace(u'&', QStringLiteral("&&"));
  return QStringLiteral("&%1 %2").arg(index + 1).arg(shown);
}

}  // namespace

SongSettings CPlayerDlg::CurrentSettings() const {
  SongSettings song;
  song.fromBar = m_nFromBar;
  song.toBar = m_nToBar;
  song.loop = m_bLoop;
  song.countIn = m_bCountIn;
  song.pickup = m_nPickup;
  song.wordsVoice = m_nWordsVoice;
  song.tempo = m_nTempo;
  for (std::size_t channel = 0; channel < song.volumes.size(); ++channel) {
    song.volumes[channel] = m_nVolume[channel];
    // The mute the Sing box put on lasts while singing; the song is not remembered with it.
    song.muted[channel] = m_bMute[channel] && static_cast<int>(channel) != m_nSingMutedRow;
    song.soloed[channel] = m_bSolo[channel];
  }
  song.key = m_nKey;
  song.speedUp = m_nSpeedUp;
  song.startingNotes = m_bStartingNotes;
  return song;
}

void CPlayerDlg::RememberSong() {
  // Kept as each change is made, so that nothing is lost however the program ends.
  if (!m_strFileName.empty()) {
    m_memory.Remember(m_strFileName, CurrentSettings());
    ReportSettingsProblem();
  }
}

void CPlayerDlg::ReportSettingsProblem() {
  // Once the change that failed is done: it may come in the middle of a slider's drag.
  if (const std::optional<QString> problem = m_memory.TakeSaveProblem()) {
    QTimer::singleShot(0, this, [this, text = *problem] { ReportLoadProblem(text); });
  }
}

void CPlayerDlg::AddRecentFilesMenu() {
  m_menuRecent = std::make_unique<QMenu>(this);
  m_menuRecent->setToolTipsVisible(true);
  // A right click, the menu key or Shift+F10 on Open; a disabled Open offers nothing.
  m_btnOpen->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(m_btnOpen, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { ShowRecentFiles(m_btnOpen->mapToGlobal(at)); });
}

void CPlayerDlg::ShowRecentFiles(const QPoint& globalPosition) {
  m_menuRecent->clear();
  const std::vector<std::string> files = m_memory.RecentFiles();
  if (files.empty()) {
    m_menuRecent->addAction(QStringLiteral("No recent files"))->setEnabled(false);
  }
  // Files of the same name in different folders show their whole paths.
  QStringList names;
  for (const std::string& file : files) {
    names << QFileInfo(FromPath(file)).fileName();
  }
  for (int i = 0; i < names.size(); ++i) {
    const std::string& file = files[static_cast<std::size_t>(i)];
    const QString shown = names.count(names[i]) > 1 ? FromPath(file) : names[i];
    QAction* action = m_menuRecent->addAction(MenuText(i, shown));
    action->setData(QByteArray::fromStdString(file));
    action->setToolTip(FromPath(file));
    // Queued: the file opens once the menu has closed, as a chosen file opens once the file
    // dialog has.
    connect(
        action, &QAction::triggered, this, [this, file] { OpenGivenFile(file); },
        Qt::QueuedConnection);
  }
  m_menuRecent->popup(globalPosition);
}

}  // namespace quirelle::ui
