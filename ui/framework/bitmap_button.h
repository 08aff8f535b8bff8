// A button drawn from four bitmaps (up, down, focused, disabled) instead of a caption. The face
// is chosen by precedence down > focused > disabled > up, a missing face giving way to the next,
// and is copied unscaled into the top-left corner of the client area, clipped to it.
#pragma once

#include <QAbstractButton>
#include <QImage>
#include <array>

namespace quirelle::framework {

enum class Face { kUp = 0, kDown = 1, kFocused = 2, kDisabled = 3 };

// Which face shows in a given state, given which faces are loaded.
Face SelectFace(bool down, bool focused, bool enabled, const std::array<bool, 4>& loaded);

class CBitmapButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit CBitmapButton(QWidget* parent = nullptr);

  // Loads the faces from the current resource module. 0 means no such face. False when the up
  // face cannot be loaded; the faces that could be loaded are kept.
  bool LoadBitmaps(int up, int down = 0, int focused = 0, int disabled = 0);
  void SetFaces(QImage up, QImage down, QImage focused, QImage disabled);
  const QImage& FaceImage(Face face) const { return faces_[static_cast<int>(face)]; }
  // The face the button shows now.
  Face CurrentFace() const;

  // A sunken two-pixel edge around the client area.
  void SetClientEdge(bool clientEdge);
  QRect ClientRect() const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::array<QImage, 4> faces_;
  bool clientEdge_ = false;
};

}  // namespace quirelle::framework
