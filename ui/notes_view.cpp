// The notes view: frames while the music moves, and what a hand does there.
#include "ui/notes_view.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QScreen>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace quirelle::ui {
namespace {

constexpr double kLeastZoom = 0.25;
constexpr double kMostZoom = 4.0;
constexpr double kZoomStep = 1.15;  // one wheel notch
constexpr int kWheelNotch = 120;    // QWheelEvent's angle units a notch

int FrameMillis(const QWidget& widget) {
  const QScreen* screen = widget.screen();
  const double rate = screen != nullptr && screen->refreshRate() > 1 ? screen->refreshRate() : 60;
  return std::max(1, static_cast<int>(std::floor(1000.0 / rate)));
}

}  // namespace

NotesView::NotesView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(200, 160);
  // The window's keys (Space, Home) stay with the window.
  setFocusPolicy(Qt::NoFocus);
  frames_.setTimerType(Qt::PreciseTimer);
  connect(&frames_, &QTimer::timeout, this, &NotesView::FollowHeard);
}

void NotesView::SetScene(NotesScene scene) {
  scene_ = std::move(scene);
  hasScene_ = !scene_.voices.empty();
  update();
}

void NotesView::SetMoving(bool moving) {
  if (moving && !frames_.isActive()) {
    frames_.start(FrameMillis(*this));
    FollowHeard();
  } else if (!moving) {
    frames_.stop();
  }
}

void NotesView::StandAt(std::uint32_t tick) {
  if (tick != playhead_) {
    playhead_ = tick;
    update();
  }
}

void NotesView::FollowHeard() {
  const std::optional<std::uint32_t> heard = heard_ ? heard_() : std::nullopt;
  if (heard) {
    StandAt(*heard);
  }
}

NotesPainter NotesView::Painter() const {
  return NotesPainter::Following(scene_, QSizeF(size()), playhead_, zoom_);
}

void NotesView::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  if (!hasScene_) {
    painter.fillRect(rect(), palette().window());
    return;
  }
  Painter().Paint(painter);
}

std::optional<std::int32_t> NotesView::BarUnder(double x) const {
  if (!hasScene_ || x < Painter().Plot().left()) {
    return std::nullopt;
  }
  const std::optional<SceneBar> bar = Painter().BarAt(x);
  return bar ? std::optional<std::int32_t>(bar->number) : std::nullopt;
}

void NotesView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  pressedBar_ = BarUnder(event->position().x());
  if (pressedBar_ && moving()) {
    emit PlayFromBar(*pressedBar_);
    pressedBar_.reset();
  }
}

void NotesView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressedBar_) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  const std::int32_t first = *pressedBar_;
  pressedBar_.reset();
  const std::int32_t last = BarUnder(event->position().x()).value_or(first);
  emit BarsChosen(std::min(first, last), std::max(first, last));
}

void NotesView::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / double(kWheelNotch);
  if (!hasScene_ || notches == 0) {
    event->ignore();
    return;
  }
  event->accept();
  if ((event->modifiers() & Qt::ControlModifier) != 0) {
    zoom_ = std::clamp(zoom_ * std::pow(kZoomStep, notches), kLeastZoom, kMostZoom);
    update();
    return;
  }
  if (moving()) {
    return;  // the music leads while it plays
  }
  // A notch moves a bar: away from you goes back in the song.
  const double tick = playhead_ - notches * scene_.barTicks;
  StandAt(static_cast<std::uint32_t>(std::clamp(tick, 0.0, double(scene_.songEnd))));
}

}  // namespace quirelle::ui
