// The voice rows past the dialog's four: each a percentage, a volume slider, the voice's name with
// the colour mark of its notes (and "accompaniment" for one), a mute box and a solo box, in voice
// order, one under the other in a list that scrolls when there are more than it shows.
#pragma once

#include <QColor>
#include <QScrollArea>
#include <QString>
#include <vector>

class QCheckBox;
class QLabel;
class QSlider;

namespace quirelle::ui {

struct VoiceRow {
  QString name;
  QColor colour;  // invalid: no notes to mark
  bool accompaniment = false;
  int volume = 100;
  bool muted = false;
  bool soloed = false;
};

class VoiceRows : public QScrollArea {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 26;
  static constexpr int kRowsShown = 4;  // beyond these the list scrolls

  // Where the first four rows, the dialog's, put their parts: the rows here take the same columns.
  struct Columns {
    int percent = 6;
    int percentWidth = 30;
    int slider = 44;
    int sliderWidth = 120;
    int name = 170;
    int nameWidth = 100;
    int mute = 270;
    int solo = 310;
  };

  explicit VoiceRows(QWidget* parent);
  void SetColumns(const Columns& columns) { columns_ = columns; }
  // The rows of a song; none hides the list.
  void SetRows(const std::vector<VoiceRow>& rows);
  int rowCount() const { return static_cast<int>(widgets_.size()); }
  // The height the list wants: its rows, up to kRowsShown.
  int WantedHeight() const;
  QCheckBox* muteBox(int row) const { return widgets_[static_cast<std::size_t>(row)].mute; }
  QCheckBox* soloBox(int row) const { return widgets_[static_cast<std::size_t>(row)].solo; }
  QSlider* slider(int row) const { return widgets_[static_cast<std::size_t>(row)].slider; }
  QLabel* nameLabel(int row) const { return widgets_[static_cast<std::size_t>(row)].name; }

 signals:
  void VolumeChanged(int row, int percent);
  void MuteToggled(int row, bool on);
  void SoloToggled(int row, bool on);
  void NameClicked(int row);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Widgets {
    QLabel* percent = nullptr;
    QSlider* slider = nullptr;
    QLabel* name = nullptr;
    QWidget* mark = nullptr;
    QCheckBox* mute = nullptr;
    QCheckBox* solo = nullptr;
  };
  void Update(const std::vector<VoiceRow>& rows);

  Columns columns_;
  QWidget* list_ = nullptr;
  std::vector<Widgets> widgets_;
};

}  // namespace quirelle::ui
