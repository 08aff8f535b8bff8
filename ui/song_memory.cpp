// The song settings and the recent files over QSettings. A song's settings live in a group
// named after a hash of its absolute path (a path's slashes would nest groups), which also
// records the path itself.
#include "ui/song_memory.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <algorithm>
#include <limits>

namespace quirelle::ui {
namespace {

const QString kRecentKey = QStringLiteral("recent/files");

QString Absolute(const QString& path) {
  return QFileInfo(path).absoluteFilePath();
}

QString SongGroup(const QString& absolutePath) {
  const QByteArray hash =
      QCryptographicHash::hash(absolutePath.toUtf8(), QCryptographicHash::Sha1).toHex();
  return QStringLiteral("songs/") + QString::fromLatin1(hash) + u'/';
}

QString VolumeKey(std::size_t channel) {
  return QStringLiteral("volume%1").arg(channel + 1);
}

QString MuteKey(std::size_t channel) {
  return QStringLiteral("mute%1").arg(channel + 1);
}

QString SoloKey(std::size_t channel) {
  return QStringLiteral("solo%1").arg(channel + 1);
}

int ReadInt(const QSettings& settings, const QString& key, int fallback, int low, int high) {
  bool ok = false;
  const int value = settings.value(key, fallback).toInt(&ok);
  return ok ? std::clamp(value, low, high) : fallback;
}

}  // namespace

SongMemory::SongMemory()
    : settings_(QSettings::UserScope, QString::fromLatin1(kSettingsName),
                QString::fromLatin1(kSettingsName)) {}

std::optional<SongSettings> SongMemory::Recall(const QString& path) const {
  const QString absolute = Absolute(path);
  const QString group = SongGroup(absolute);
  if (settings_.value(group + QStringLiteral("path")).toString() != absolute) {
    return std::nullopt;
  }
  SongSettings song;
  song.fromBar =
      ReadInt(settings_, group + QStringLiteral("fromBar"), 0, 0, std::numeric_limits<int>::max());
  song.toBar =
      ReadInt(settings_, group + QStringLiteral("toBar"), 0, 0, std::numeric_limits<int>::max());
  song.loop = settings_.value(group + QStringLiteral("loop"), false).toBool();
  song.countIn = settings_.value(group + QStringLiteral("countIn"), false).toBool();
  song.pickup = ReadInt(settings_, group + QStringLiteral("pickup"), 0, 0, 255);
  song.tempo = ReadInt(settings_, group + QStringLiteral("tempo"), 100, 20, 500);
  for (std::size_t channel = 0; channel < song.volumes.size(); ++channel) {
    song.volumes[channel] = ReadInt(settings_, group + VolumeKey(channel), 100, 0, 100);
    song.muted[channel] = settings_.value(group + MuteKey(channel), false).toBool();
    song.soloed[channel] = settings_.value(group + SoloKey(channel), false).toBool();
  }
  song.key = ReadInt(settings_, group + QStringLiteral("key"), 0, -12, 12);
  song.speedUp = ReadInt(settings_, group + QStringLiteral("speedUp"), 0, 0, 50);
  song.startingNotes = settings_.value(group + QStringLiteral("startingNotes"), false).toBool();
  return song;
}

void SongMemory::Remember(const QString& path, const SongSettings& song) {
  const QString absolute = Absolute(path);
  const QString group = SongGroup(absolute);
  settings_.setValue(group + QStringLiteral("path"), absolute);
  settings_.setValue(group + QStringLiteral("fromBar"), song.fromBar);
  settings_.setValue(group + QStringLiteral("toBar"), song.toBar);
  settings_.setValue(group + QStringLiteral("loop"), song.loop);
  settings_.setValue(group + QStringLiteral("countIn"), song.countIn);
  settings_.setValue(group + QStringLiteral("pickup"), song.pickup);
  settings_.setValue(group + QStringLiteral("tempo"), song.tempo);
  for (std::size_t channel = 0; channel < song.volumes.size(); ++channel) {
    settings_.setValue(group + VolumeKey(channel), song.volumes[channel]);
    settings_.setValue(group + MuteKey(channel), song.muted[channel]);
    settings_.setValue(group + SoloKey(channel), song.soloed[channel]);
  }
  settings_.setValue(group + QStringLiteral("key"), song.key);
  settings_.setValue(group + QStringLiteral("speedUp"), song.speedUp);
  settings_.setValue(group + QStringLiteral("startingNotes"), song.startingNotes);
}

QStringList SongMemory::RecentFiles() const {
  QStringList files = settings_.value(kRecentKey).toStringList();
  files.removeAll(QString());
  files.removeDuplicates();
  return files.mid(0, kRecentFilesKept);
}

void SongMemory::AddRecentFile(const QString& path) {
  const QString absolute = Absolute(path);
  QStringList files = RecentFiles();
  files.removeAll(absolute);
  files.prepend(absolute);
  settings_.setValue(kRecentKey, files.mid(0, kRecentFilesKept));
}

void SongMemory::RemoveRecentFile(const QString& path) {
  QStringList files = RecentFiles();
  if (files.removeAll(Absolute(path)) > 0) {
    settings_.setValue(kRecentKey, files);
  }
}

}  // namespace quirelle::ui
