// Trackbar behaviour over QSlider: keys, thumb dragging, paging by clicks on the channel and the
// wheel all move the slider first and then report with a trackbar code.
#include "ui/framework/slider_ctrl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>
#include <optional>

namespace quirelle::framework {
namespace {

constexpr int kDefaultMaximum = 100;
constexpr int kFirstRepeatMillis = 500;
constexpr int kRepeatMillis = 100;
constexpr int kWheelNotch = 120;

std::optional<unsigned> CodeForKey(int key) {
  switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Up:
      return kTbLineUp;
    case Qt::Key_Right:
    case Qt::Key_Down:
      return kTbLineDown;
    case Qt::Key_PageUp:
      return kTbPageUp;
    case Qt::Key_PageDown:
      return kTbPageDown;
    case Qt::Key_Home:
      return kTbTop;
    case Qt::Key_End:
      return kTbBottom;
    default:
      return std::nullopt;
  }
}

int PageSizeFor(int minimum, int maximum) {
  return std::max(1, (maximum - minimum) / 5);
}

}  // namespace

CSliderCtrl::CSliderCtrl(Qt::Orientation orientation, QWidget* parent)
    : QSlider(orientation, parent) {
  setFocusPolicy(Qt::StrongFocus);
  // Value grows left to right and top to bottom.
  setInvertedAppearance(orientation == Qt::Vertical);
  setTracking(true);
  SetRange(0, kDefaultMaximum);
  pageTimer_.setSingleShot(false);
  connect(&pageTimer_, &QTimer::timeout, this, [this] {
    pageTimer_.setInterval(kRepeatMillis);
    PageTowardsTarget();
  });
}

void CSliderCtrl::SetRange(int minimum, int maximum) {
  setRange(minimum, std::max(minimum, maximum));
  pageSize_ = PageSizeFor(this->minimum(), this->maximum());
  setPageStep(pageSize_);
  setSingleStep(lineSize_);
}

int CSliderCtrl::SetLineSize(int size) {
  const int previous = lineSize_;
  lineSize_ = std::max(1, size);
  setSingleStep(lineSize_);
  return previous;
}

int CSliderCtrl::SetPageSize(int size) {
  const int previous = pageSize_;
  pageSize_ = std::max(1, size);
  setPageStep(pageSize_);
  return previous;
}

void CSliderCtrl::SetBorder(bool border) {
  border_ = border;
  update();
}

void CSliderCtrl::initStyleOption(QStyleOptionSlider* option) const {
  QSlider::initStyleOption(option);
  if (border_) {
    option->rect.adjust(1, 1, -1, -1);
  }
}

void CSliderCtrl::paintEvent(QPaintEvent* event) {
  QSlider::paintEvent(event);
  if (border_) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

QRect CSliderCtrl::ThumbRect() const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
}

int CSliderCtrl::AlongAxis(const QPoint& point) const {
  return IsVertical() ? point.y() : point.x();
}

int CSliderCtrl::ValueAtPixel(int pixel) const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  const QRect groove =
      style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
  const QRect thumb =
      style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
  const int length = IsVertical() ? thumb.height() : thumb.width();
  const int first = IsVertical() ? groove.y() : groove.x();
  const int last = (IsVertical() ? groove.bottom() : groove.right()) - length + 1;
  return QStyle::sliderValueFromPosition(minimum(), maximum(), pixel - first, last - first,
                                         option.upsideDown);
}

int CSliderCtrl::DirectionTo(int pixel) const {
  const QRect thumb = ThumbRect();
  const int start = IsVertical() ? thumb.top() : thumb.left();
  const int end = IsVertical() ? thumb.bottom() : thumb.right();
  if (pixel < start) {
    return -1;
  }
  return pixel > end ? 1 : 0;
}

bool CSliderCtrl::Step(unsigned code) {
  const int position = value();
  int next = position;
  switch (code) {
    case kTbLineUp:
      next = position - lineSize_;
      break;
    case kTbLineDown:
      next = position + lineSize_;
      break;
    case kTbPageUp:
      next = position - pageSize_;
      break;
    case kTbPageDown:
      next = position + pageSize_;
      break;
    case kTbTop:
      next = minimum();
      break;
    case kTbBottom:
      next = maximum();
      break;
    default:
      return false;
  }
  next = std::clamp(next, minimum(), maximum());
  if (next == position) {
    return false;
  }
  setValue(next);
  Report(code);
  return true;
}

void CSliderCtrl::Report(unsigned code, unsigned thumbPosition) {
  emit Scrolled(code, thumbPosition);
}

void CSliderCtrl::keyPressEvent(QKeyEvent* event) {
  const auto code = CodeForKey(event->key());
  if (!code || event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) {
    event->ignore();  // Enter, Escape and the rest belong to the dialog
    return;
  }
  event->accept();
  Step(*code);
}

void CSliderCtrl::keyReleaseEvent(QKeyEvent* event) {
  if (!CodeForKey(event->key())) {
    event->ignore();
    return;
  }
  event->accept();
  if (!event->isAutoRepeat()) {
    Report(kTbEndTrack);
  }
}

void CSliderCtrl::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->ignore();
    return;
  }
  event->accept();
  EndDrag();  // a release that went elsewhere (a window opened meanwhile) ends it now
  const QPoint point = event->position().toPoint();
  const QRect thumb = ThumbRect();
  if (thumb.contains(point)) {
    drag_ = Drag::kThumb;
    grabOffset_ = AlongAxis(point) - AlongAxis(thumb.topLeft());
    return;
  }
  pageTarget_ = AlongAxis(point);
  pageDirection_ = DirectionTo(pageTarget_);
  if (pageDirection_ == 0) {
    return;
  }
  drag_ = Drag::kPaging;
  PageTowardsTarget();
  pageTimer_.start(kFirstRepeatMillis);
}

void CSliderCtrl::PageTowardsTarget() {
  if (DirectionTo(pageTarget_) != pageDirection_) {
    return;  // the thumb has reached the pointer; it waits there for the release
  }
  Step(pageDirection_ < 0 ? kTbPageUp : kTbPageDown);
}

void CSliderCtrl::mouseMoveEvent(QMouseEvent* event) {
  if (drag_ == Drag::kPaging) {
    pageTarget_ = AlongAxis(event->position().toPoint());
    return;
  }
  if (drag_ != Drag::kThumb) {
    event->ignore();
    return;
  }
  event->accept();
  const int next = ValueAtPixel(AlongAxis(event->position().toPoint()) - grabOffset_);
  if (next != value()) {
    setValue(next);
    Report(kTbThumbTrack, static_cast<unsigned>(value()));
  }
}

void CSliderCtrl::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || drag_ == Drag::kNone) {
    event->ignore();
    return;
  }
  event->accept();
  EndDrag();
}

void CSliderCtrl::EndDrag() {
  const Drag ended = drag_;
  if (ended == Drag::kNone) {
    return;
  }
  drag_ = Drag::kNone;
  pageTimer_.stop();
  if (ended == Drag::kThumb) {
    Report(kTbThumbPosition, static_cast<unsigned>(value()));
  }
  Report(kTbEndTrack);
}

void CSliderCtrl::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange && !isEnabled()) {
    EndDrag();
  }
  QSlider::changeEvent(event);
}

void CSliderCtrl::hideEvent(QHideEvent* event) {
  EndDrag();
  QSlider::hideEvent(event);
}

void CSliderCtrl::wheelEvent(QWheelEvent* event) {
  const int notches = event->angleDelta().y() / kWheelNotch;
  if (notches == 0 || drag_ != Drag::kNone) {
    event->ignore();
    return;
  }
  event->accept();
  // Turning the wheel away from the user moves towards the minimum, a line per notch.
  const unsigned code = notches > 0 ? kTbLineUp : kTbLineDown;
  for (int i = 0; i < std::abs(notches); ++i) {
    Step(code);
  }
  Report(kTbEndTrack);
}

}  // namespace quirelle::framework
