// What the player window keeps of each song between runs, and the recently opened files it
// offers on the Open button's context menu.
#include <QFile>
#include <QFileInfo>

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
  song.tempo = m_nTempo;
  for (std::size_t channel = 0; channel < song.volumes.size(); ++channel) {
    song.volumes[channel] = m_nVolume[channel];
    song.muted[channel] = m_bMute[channel];
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
    m_memory.Remember(FromPath(m_strFileName), CurrentSettings());
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
  const QStringList files = m_memory.RecentFiles();
  if (files.isEmpty()) {
    m_menuRecent->addAction(QStringLiteral("No recent files"))->setEnabled(false);
  }
  // Files of the same name in different folders show their whole paths.
  QStringList names;
  for (const QString& file : files) {
    names << QFileInfo(file).fileName();
  }
  for (int i = 0; i < files.size(); ++i) {
    const QString& file = files[i];
    const QString shown = names.count(names[i]) > 1 ? file : names[i];
    QAction* action = m_menuRecent->addAction(MenuText(i, shown));
    action->setData(file);
    action->setToolTip(file);
    // Queued: the file opens once the menu has closed, as a chosen file opens once the file
    // dialog has.
    connect(
        action, &QAction::triggered, this,
        [this, file] { OpenGivenFile(QFile::encodeName(file).toStdString()); },
        Qt::QueuedConnection);
  }
  m_menuRecent->popup(globalPosition);
}

}  // namespace quirelle::ui
