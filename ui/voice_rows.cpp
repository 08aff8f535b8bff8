// The further voice rows, laid out as the dialog's own rows are: percentage, slider, name, M, S.
#include "ui/voice_rows.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace quirelle::ui {

VoiceRows::VoiceRows(QWidget* parent) : QScrollArea(parent) {
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setWidgetResizable(true);
  setAccessibleName(tr("Further voices"));
  hide();
}

void VoiceRows::SetRows(const std::vector<VoiceRow>& rows) {
  if (rows.size() == widgets_.size() && !rows.empty()) {
    Update(rows);  // a box may be calling: its widgets stay
    return;
  }
  widgets_.clear();
  list_ = new QWidget;  // the old list goes with setWidget
  const Columns& at = columns_;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const VoiceRow& row = rows[i];
    const int top = static_cast<int>(i) * kRowHeight;
    Widgets w;
    w.percent = new QLabel(QStringLiteral("%1 %").arg(row.volume), list_);
    w.percent->setGeometry(at.percent, top, at.percentWidth, kRowHeight);
    w.slider = new QSlider(Qt::Horizontal, list_);
    w.slider->setRange(0, 100);
    w.slider->setPageStep(10);
    w.slider->setValue(row.volume);
    w.slider->setGeometry(at.slider, top, at.sliderWidth, kRowHeight);
    const QString name = row.name + (row.accompaniment ? tr(" (accompaniment)") : QString());
    w.slider->setAccessibleName(tr("Volume %1").arg(name));
    auto* nameBox = new QWidget(list_);
    nameBox->setGeometry(at.name, top + 3, at.nameWidth, kRowHeight - 3);
    auto* nameColumn = new QVBoxLayout(nameBox);
    nameColumn->setContentsMargins(0, 0, 0, 0);
    nameColumn->setSpacing(1);
    w.name = new QLabel(name, nameBox);
    w.name->setToolTip(tr("Follow %1").arg(row.name));
    w.name->setCursor(Qt::PointingHandCursor);
    w.name->installEventFilter(this);
    // Greyed as the first four rows' names are.
    QPalette greyed = w.name->palette();
    greyed.setColor(QPalette::WindowText, greyed.color(QPalette::Disabled, QPalette::Text));
    w.name->setPalette(greyed);
    w.mark = new QWidget(nameBox);
    w.mark->setFixedSize(28, 3);
    w.mark->setAutoFillBackground(true);
    if (row.colour.isValid()) {
      QPalette palette = w.mark->palette();
      palette.setColor(QPalette::Window, row.colour);
      w.mark->setPalette(palette);
    } else {
      w.mark->setVisible(false);
    }
    nameColumn->addWidget(w.name);
    nameColumn->addWidget(w.mark);
    w.mute = new QCheckBox(tr("M"), list_);
    w.mute->setChecked(row.muted);
    w.mute->setAccessibleName(tr("Mute %1").arg(row.name));
    w.mute->setToolTip(tr("Mute %1").arg(row.name));
    w.solo = new QCheckBox(tr("S"), list_);
    w.solo->setChecked(row.soloed);
    w.solo->setAccessibleName(tr("Solo %1").arg(row.name));
    w.solo->setToolTip(tr("Solo %1").arg(row.name));
    w.mute->setGeometry(at.mute, top, at.solo - at.mute, kRowHeight);
    w.solo->setGeometry(at.solo, top, at.solo - at.mute, kRowHeight);
    const int index = static_cast<int>(i);
    connect(w.slider, &QSlider::valueChanged, this, [this, index, label = w.percent](int value) {
      label->setText(QStringLiteral("%1 %").arg(value));
      emit VolumeChanged(index, value);
    });
    connect(w.mute, &QCheckBox::toggled, this,
            [this, index](bool on) { emit MuteToggled(index, on); });
    connect(w.solo, &QCheckBox::toggled, this,
            [this, index](bool on) { emit SoloToggled(index, on); });
    widgets_.push_back(w);
  }
  list_->setFixedSize(at.solo + (at.solo - at.mute), static_cast<int>(rows.size()) * kRowHeight);
  setWidget(list_);
  setVisible(!rows.empty());
}

void VoiceRows::Update(const std::vector<VoiceRow>& rows) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const VoiceRow& row = rows[i];
    const Widgets& w = widgets_[i];
    const QSignalBlocker quietSlider(w.slider);
    const QSignalBlocker quietMute(w.mute);
    const QSignalBlocker quietSolo(w.solo);
    w.slider->setValue(row.volume);
    w.percent->setText(QStringLiteral("%1 %").arg(row.volume));
    w.name->setText(row.name + (row.accompaniment ? tr(" (accompaniment)") : QString()));
    w.name->setToolTip(tr("Follow %1").arg(row.name));
    w.mute->setChecked(row.muted);
    w.mute->setAccessibleName(tr("Mute %1").arg(row.name));
    w.solo->setChecked(row.soloed);
    w.solo->setAccessibleName(tr("Solo %1").arg(row.name));
    if (row.colour.isValid()) {
      QPalette palette = w.mark->palette();
      palette.setColor(QPalette::Window, row.colour);
      w.mark->setPalette(palette);
    }
    w.mark->setVisible(row.colour.isValid());
  }
}

int VoiceRows::WantedHeight() const {
  return std::min(rowCount(), kRowsShown) * kRowHeight + (rowCount() > 0 ? 4 : 0);
}

bool VoiceRows::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    for (std::size_t i = 0; i < widgets_.size(); ++i) {
      if (watched == widgets_[i].name) {
        emit NameClicked(static_cast<int>(i));
        return true;
      }
    }
  }
  return QScrollArea::eventFilter(watched, event);
}

}  // namespace quirelle::ui
