// The file-open dialog over QFileDialog.
#include "ui/framework/file_chooser.h"

#include <QFileDialog>
#include <utility>

namespace quirelle::framework {

const std::vector<FileFilter>& MidiFileFilters() {
  static const std::vector<FileFilter> filters{
      // Qt's dialog matches them in any letter case: files from other systems are often called
      // SONG.MID.
      {QStringLiteral("MIDI files"),
       {QStringLiteral("*.mid"), QStringLiteral("*.midi"), QStringLiteral("*.kar")}},
      {QStringLiteral("All files"), {QStringLiteral("*")}},
  };
  return filters;
}

QtFileChooser::QtFileChooser(std::vector<FileFilter> filters) : filters_(std::move(filters)) {}

QStringList QtFileChooser::NameFilters() const {
  QStringList names;
  for (const FileFilter& filter : filters_) {
    names << filter.Text();
  }
  return names;
}

std::optional<QString> QtFileChooser::ChooseFileToOpen(QWidget* parent, const QString& folder) {
  QFileDialog dialog(parent, QString(), folder);
  // A desktop's own dialog may match the patterns in one letter case only.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::ReadOnly, false);
  const QStringList names = NameFilters();
  dialog.setNameFilters(names);
  if (!names.isEmpty()) {
    dialog.selectNameFilter(names.front());
  }
  if (dialog.exec() != QDialog::Accepted) {
    return std::nullopt;
  }
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) {
    return std::nullopt;
  }
  return files.front();
}

}  // namespace quirelle::framework
