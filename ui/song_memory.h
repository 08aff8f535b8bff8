// What the player window remembers between runs, in the user's settings
// (~/.config/quirelle/quirelle.conf): for each song file, by its absolute path, the practice
// passage, tempo, voice volumes and practice tools it was left with; and the files opened most
// recently.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace quirelle::ui {

inline constexpr int kRecentFilesKept = 8;
// The organisation and application name of the settings.
inline constexpr char kSettingsName[] = "quirelle";

struct SongSettings {
  int fromBar = 0;  // 0: from the song's start
  int toBar = 0;    // 0: to the song's end
  bool loop = false;
  bool countIn = false;
  int pickup = 0;   // beats before bar 1 the file does not write
  int tempo = 100;  // percent of the written tempo
  std::array<int, 4> volumes{100, 100, 100, 100};
  int key = 0;      // semitones, -12 to 12
  int speedUp = 0;  // points faster each repeat; 0: off
  bool startingNotes = false;
  std::array<bool, 4> muted{};
  std::array<bool, 4> soloed{};

  bool operator==(const SongSettings&) const = default;
};

class SongMemory {
 public:
  SongMemory();

  // What the song at `path` was left with; nothing for a song never changed. Values the
  // settings file holds out of range come back as their nearest allowed value.
  std::optional<SongSettings> Recall(const QString& path) const;
  void Remember(const QString& path, const SongSettings& settings);

  // Absolute paths, most recent first, at most kRecentFilesKept.
  QStringList RecentFiles() const;
  // Puts `path` first.
  void AddRecentFile(const QString& path);
  void RemoveRecentFile(const QString& path);

 private:
  QSettings settings_;
};

}  // namespace quirelle::ui
