// The song settings and the recent files over QSettings. A song's settings live in a group
// named after a hash of its absolute path (a path's slashes would nest groups), which also
// records the path itself. A path is kept as text when it is UTF-8 and as bytes otherwise.
#include "ui/song_memory.h"

#include <QCryptographicHash>
#include <QFile>
#include <QVariantList>
#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>

namespace quirelle::ui {
namespace {

const QString kRecentKey = QStringLiteral("recent/files");

std::string Absolute(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return (error ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

QByteArray Bytes(const std::string& path) {
  return QByteArray::fromStdString(path);
}

// Text where the bytes are UTF-8, so that the file reads as before; the bytes themselves else.
QVariant Stored(const std::string& path) {
  const QByteArray bytes = Bytes(path);
  const QString text = QString::fromUtf8(bytes);
  return text.toUtf8() == bytes ? QVariant(text) : QVariant(bytes);
}

QString SongGroup(const std::string& absolutePath) {
  const QByteArray hash =
      QCryptographicHash::hash(Bytes(absolutePath), QCryptographicHash::Sha1).toHex();
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

std::optional<SongSettings> SongMemory::Recall(const std::string& path) const {
  const std::string absolute = Absolute(path);
  const QString group = SongGroup(absolute);
  if (settings_.value(group + QStringLiteral("path")).toByteArray() != Bytes(absolute)) {
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
  song.wordsVoice = ReadInt(settings_, group + QStringLiteral("wordsVoice"), 0, 0, 16);
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

void SongMemory::Remember(const std::string& path, const SongSettings& song) {
  const std::string absolute = Absolute(path);
  const QString group = SongGroup(absolute);
  settings_.setValue(group + QStringLiteral("path"), Stored(absolute));
  settings_.setValue(group + QStringLiteral("fromBar"), song.fromBar);
  settings_.setValue(group + QStringLiteral("toBar"), song.toBar);
  settings_.setValue(group + QStringLiteral("loop"), song.loop);
  settings_.setValue(group + QStringLiteral("countIn"), song.countIn);
  settings_.setValue(group + QStringLiteral("pickup"), song.pickup);
  settings_.setValue(group + QStringLiteral("wordsVoice"), song.wordsVoice);
  settings_.setValue(group + QStringLiteral("tempo"), song.tempo);
  for (std::size_t channel = 0; channel < song.volumes.size(); ++channel) {
    settings_.setValue(group + VolumeKey(channel), song.volumes[channel]);
    settings_.setValue(group + MuteKey(channel), song.muted[channel]);
    settings_.setValue(group + SoloKey(channel), song.soloed[channel]);
  }
  settings_.setValue(group + QStringLiteral("key"), song.key);
  settings_.setValue(group + QStringLiteral("speedUp"), song.speedUp);
  settings_.setValue(group + QStringLiteral("startingNotes"), song.startingNotes);
  Save();
}

std::vector<std::string> SongMemory::RecentFiles() const {
  const QVariant value = settings_.value(kRecentKey);
  // One file comes back as a single value, several as a list of texts or of texts and bytes.
  const QVariantList items =
      value.typeId() == QMetaType::QStringList || value.typeId() == QMetaType::QVariantList
          ? value.toList()
          : QVariantList{value};
  std::vector<std::string> files;
  for (const QVariant& item : items) {
    const std::string file = item.toByteArray().toStdString();
    if (!file.empty() && std::find(files.begin(), files.end(), file) == files.end() &&
        files.size() < static_cast<std::size_t>(kRecentFilesKept)) {
      files.push_back(file);
    }
  }
  return files;
}

void SongMemory::AddRecentFile(const std::string& path) {
  const std::string absolute = Absolute(path);
  std::vector<std::string> files = RecentFiles();
  files.erase(std::remove(files.begin(), files.end(), absolute), files.end());
  files.insert(files.begin(), absolute);
  StoreRecentFiles(files);
}

void SongMemory::RemoveRecentFile(const std::string& path) {
  std::vector<std::string> files = RecentFiles();
  const auto gone = std::remove(files.begin(), files.end(), Absolute(path));
  if (gone != files.end()) {
    files.erase(gone, files.end());
    StoreRecentFiles(files);
  }
}

void SongMemory::StoreRecentFiles(const std::vector<std::string>& files) {
  QVariantList stored;
  for (std::size_t i = 0; i < files.size() && i < static_cast<std::size_t>(kRecentFilesKept); ++i) {
    stored.push_back(Stored(files[i]));
  }
  settings_.setValue(kRecentKey, stored);
  Save();
}

std::optional<QSize> SongMemory::WindowSize() const {
  const QSize size = settings_.value(QStringLiteral("window/size")).toSize();
  return size.isValid() && !size.isEmpty() ? std::optional<QSize>(size) : std::nullopt;
}

void SongMemory::RememberWindowSize(QSize size) {
  settings_.setValue(QStringLiteral("window/size"), size);
}

void SongMemory::Save() {
  settings_.sync();
  saveFailed_ = saveFailed_ || settings_.status() != QSettings::NoError;
}

std::optional<QString> SongMemory::TakeSaveProblem() {
  if (!saveFailed_ || told_) {
    return std::nullopt;
  }
  told_ = true;
  return QStringLiteral(
             "The settings cannot be saved in \u201c%1\u201d. The bars, tempo and volumes of "
             "your songs and the list of recent files will be forgotten when Quirelle closes.")
      .arg(settings_.fileName());
}

}  // namespace quirelle::ui
