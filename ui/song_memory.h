// What the player window remembers between runs, in the user's settings
// (~/.config/quirelle/quirelle.conf): for each song file, by its absolute path, the practice
// passage, tempo, voice volumes and practice tools it was left with, and the voice whose words
// it showed; and the files opened most recently. Paths are the file system's bytes, so a file
// whose name is not UTF-8 is remembered and found again. Each change is saved at once; settings
// that cannot be saved are told once per run.
#pragma once

#include <QSettings>
#include <QSize>
#include <QString>
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace quirelle::ui {

inline constexpr int kRecentFilesKept = 8;
// The most voice rows a song has: one for each channel but the drums'.
inline constexpr std::size_t kVoiceRowsMost = 15;
// The organisation and application name of the settings.
inline constexpr char kSettingsName[] = "quirelle";

struct SongSettings {
  int fromBar = 0;  // 0: from the song's start
  int toBar = 0;    // 0: to the song's end
  bool loop = false;
  bool countIn = false;
  int pickup = 0;   // beats before bar 1 the file does not write
  int tempo = 100;  // percent of the written tempo
  // The channel (1 to 16) of the voice whose words the window shows; 0: the first with words.
  int wordsVoice = 0;
  // By voice row.
  std::array<int, kVoiceRowsMost> volumes{100, 100, 100, 100, 100, 100, 100, 100,
                                          100, 100, 100, 100, 100, 100, 100};
  int key = 0;      // semitones, -12 to 12
  int speedUp = 0;  // points faster each repeat; 0: off
  bool startingNotes = false;
  std::array<bool, kVoiceRowsMost> muted{};
  std::array<bool, kVoiceRowsMost> soloed{};

  bool operator==(const SongSettings&) const = default;
};

class SongMemory {
 public:
  SongMemory();

  // What the song at `path` was left with; nothing for a song never changed. Values the
  // settings file holds out of range come back as their nearest allowed value.
  std::optional<SongSettings> Recall(const std::string& path) const;
  void Remember(const std::string& path, const SongSettings& settings);

  // Absolute paths, most recent first, at most kRecentFilesKept.
  std::vector<std::string> RecentFiles() const;
  // Puts `path` first.
  void AddRecentFile(const std::string& path);
  void RemoveRecentFile(const std::string& path);

  // The window's size as the user left it; none before they resized it. Written with the other
  // settings' next save, or when the program ends.
  std::optional<QSize> WindowSize() const;
  void RememberWindowSize(QSize size);

  // The first time the settings could not be saved in this run, what to tell the user; nothing
  // otherwise, and nothing again.
  std::optional<QString> TakeSaveProblem();

 private:
  void StoreRecentFiles(const std::vector<std::string>& files);
  void Save();

  QSettings settings_;
  bool saveFailed_ = false;
  bool told_ = false;
};

}  // namespace quirelle::ui
