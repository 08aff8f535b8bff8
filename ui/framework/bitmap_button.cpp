// Face choice and painting of the bitmap button.
#include "ui/framework/bitmap_button.h"

#include <QPainter>
#include <utility>

#include "ui/framework/resource_module.h"

namespace quirelle::framework {
namespace {

constexpr int kEdge = 2;

void DrawSunkenEdge(QPainter& painter, const QRect& outer, const QPalette& palette) {
  const QRect inner = outer.adjusted(1, 1, -1, -1);
  auto draw = [&painter](const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    painter.setPen(topLeft);
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(bottomRight);
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
  };
  draw(outer, palette.color(QPalette::Mid), palette.color(QPalette::Light));
  draw(inner, palette.color(QPalette::Shadow), palette.color(QPalette::Midlight));
}

}  // namespace

Face SelectFace(bool down, bool focused, bool enabled, const std::array<bool, 4>& loaded) {
  auto has = [&loaded](Face face) { return loaded[static_cast<std::size_t>(face)]; };
  if (down && has(Face::kDown)) {
    return Face::kDown;
  }
  if (focused && has(Face::kFocused)) {
    return Face::kFocused;
  }
  if (!enabled && has(Face::kDisabled)) {
    return Face::kDisabled;
  }
  return Face::kUp;
}

CBitmapButton::CBitmapButton(QWidget* parent) : QAbstractButton(parent) {
  setFocusPolicy(Qt::StrongFocus);
}

bool CBitmapButton::LoadBitmaps(int up, int down, int focused, int disabled) {
  const ResourceModule& module = CurrentResourceModule();
  auto load = [&module](int id) { return id != 0 ? module.LoadBitmap(id) : QImage(); };
  SetFaces(load(up), load(down), load(focused), load(disabled));
  return !faces_[0].isNull();
}

void CBitmapButton::SetFaces(QImage up, QImage down, QImage focused, QImage disabled) {
  faces_ = {std::move(up), std::move(down), std::move(focused), std::move(disabled)};
  update();
}

Face CBitmapButton::CurrentFace() const {
  std::array<bool, 4> loaded{};
  for (std::size_t i = 0; i < faces_.size(); ++i) {
    loaded[i] = !faces_[i].isNull();
  }
  return SelectFace(isDown(), hasFocus(), isEnabled(), loaded);
}

void CBitmapButton::SetClientEdge(bool clientEdge) {
  clientEdge_ = clientEdge;
  update();
}

QRect CBitmapButton::ClientRect() const {
  return clientEdge_ ? rect().adjusted(kEdge, kEdge, -kEdge, -kEdge) : rect();
}

QSize CBitmapButton::sizeHint() const {
  const QSize face = faces_[0].isNull() ? QSize(16, 16) : faces_[0].size();
  return clientEdge_ ? face + QSize(2 * kEdge, 2 * kEdge) : face;
}

void CBitmapButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (clientEdge_) {
    DrawSunkenEdge(painter, rect(), palette());
  }
  const QRect client = ClientRect();
  painter.setClipRect(client);
  painter.fillRect(client, palette().color(QPalette::Button));
  const QImage& face = FaceImage(CurrentFace());
  if (!face.isNull()) {
    painter.drawImage(client.topLeft(), face);
  }
}

}  // namespace quirelle::framework
