// Asking the user for a file to open, behind an interface so that tests can answer in the
// user's place.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>
#include <vector>

namespace quirelle::framework {

struct FileFilter {
  QString name;          // "MIDI files"
  QStringList patterns;  // {"*.mid"}
  // "MIDI files (*.mid)"
  QString Text() const { return name + QStringLiteral(" (") + patterns.join(u' ') + u')'; }
};

// "MIDI files (*.mid *.midi *.kar)" (in any letter case; the initial choice), then "All files".
const std::vector<FileFilter>& MidiFileFilters();

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The full path of the chosen existing file, or nothing when the user cancels; the dialog
  // opens in `folder` (empty: the current one).
  virtual std::optional<QString> ChooseFileToOpen(QWidget* parent, const QString& folder) = 0;
};

// Qt's file-open dialog; the first filter is selected at the start.
class QtFileChooser final : public FileChooser {
 public:
  explicit QtFileChooser(std::vector<FileFilter> filters = MidiFileFilters());
  std::optional<QString> ChooseFileToOpen(QWidget* parent, const QString& folder) override;
  // The filter strings as the dialog shows them.
  QStringList NameFilters() const;

 private:
  std::vector<FileFilter> filters_;
};

}  // namespace quirelle::framework
