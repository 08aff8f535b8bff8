// The trackbar: a slider that reports every key and mouse action to its dialog with the
// trackbar notification codes. It moves itself by its line or page size before it reports a
// line or page step, reports a dragged thumb while it moves and on release, and ends every
// action with kTbEndTrack. The vertical trackbar has its minimum at the top.
#pragma once

#include <QSlider>
#include <QTimer>

namespace quirelle::framework {

inline constexpr unsigned kTbLineUp = 0;
inline constexpr unsigned kTbLineDown = 1;
inline constexpr unsigned kTbPageUp = 2;
inline constexpr unsigned kTbPageDown = 3;
inline constexpr unsigned kTbThumbPosition = 4;
inline constexpr unsigned kTbThumbTrack = 5;
inline constexpr unsigned kTbTop = 6;
inline constexpr unsigned kTbBottom = 7;
inline constexpr unsigned kTbEndTrack = 8;

class CSliderCtrl : public QSlider {
  Q_OBJECT

 public:
  explicit CSliderCtrl(Qt::Orientation orientation, QWidget* parent = nullptr);

  // The range also sets the page size to a fifth of it (at least 1); the position is clamped.
  void SetRange(int minimum, int maximum);
  void SetRangeMin(int minimum) { SetRange(minimum, GetRangeMax()); }
  void SetRangeMax(int maximum) { SetRange(GetRangeMin(), maximum); }
  int GetRangeMin() const { return minimum(); }
  int GetRangeMax() const { return maximum(); }
  void SetPos(int position) { setValue(position); }
  int GetPos() const { return value(); }
  // Both return the previous size.
  int SetLineSize(int size);
  int SetPageSize(int size);
  int GetLineSize() const { return lineSize_; }
  int GetPageSize() const { return pageSize_; }

  bool IsVertical() const { return orientation() == Qt::Vertical; }
  void SetBorder(bool border);
  // The thumb's rectangle in widget coordinates.
  QRect ThumbRect() const;

 signals:
  // thumbPosition is the position for kTbThumbPosition and kTbThumbTrack, 0 otherwise.
  void Scrolled(unsigned code, unsigned thumbPosition);

 protected:
  void initStyleOption(QStyleOptionSlider* option) const override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void changeEvent(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  enum class Drag { kNone, kThumb, kPaging };

  // Moves by one step of `code` and reports it; false (no report) when already at that end.
  bool Step(unsigned code);
  void Report(unsigned code, unsigned thumbPosition = 0);
  int AlongAxis(const QPoint& point) const;
  int ValueAtPixel(int pixel) const;
  // -1 when `pixel` lies before the thumb, 1 after it, 0 on it.
  int DirectionTo(int pixel) const;
  void PageTowardsTarget();
  // Ends a thumb drag (position, then end) or a paging (end); nothing when none is going on.
  void EndDrag();

  int lineSize_ = 1;
  int pageSize_ = 20;
  bool border_ = false;
  Drag drag_ = Drag::kNone;
  int grabOffset_ = 0;  // where the thumb was taken, from its leading edge
  int pageTarget_ = 0;  // pixel the paging moves towards
  int pageDirection_ = 0;
  QTimer pageTimer_;
};

}  // namespace quirelle::framework
