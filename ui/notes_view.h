// The notes view of the player window: the song's lines moving past a playhead as the music is
// heard, drawn by NotesPainter. It repaints only while the music moves, once a frame of the
// display, asking where the sound heard stands; paused or stopped, it stands still.
//
// A hand: while the music is not moving, a click on a bar chooses it as the passage's first bar
// and a drag across bars chooses the passage, and the wheel scrolls through the song; while it
// plays, a click on a bar asks for the music to go on from there. Ctrl+wheel zooms.
#pragma once

#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

#include "ui/notes_painter.h"

namespace quirelle::ui {

class NotesView : public QWidget {
  Q_OBJECT

 public:
  explicit NotesView(QWidget* parent = nullptr);

  // What to draw; its voices point into the song the engine holds. An empty scene shows nothing.
  void SetScene(NotesScene scene);
  const NotesScene& scene() const { return scene_; }
  // Where the sound heard stands, asked once a frame while moving; none: no song playing.
  void SetHeardPosition(std::function<std::optional<std::uint32_t>()> heard) {
    heard_ = std::move(heard);
  }
  // While moving, the view follows the heard position; else it stands at `tick`.
  void SetMoving(bool moving);
  bool moving() const { return frames_.isActive(); }
  void StandAt(std::uint32_t tick);
  std::uint32_t playhead() const { return playhead_; }
  // Moves to the heard position now, as each frame does while moving.
  void FollowHeard();
  double zoom() const { return zoom_; }
  // The painter of what the view shows now, for its geometry.
  NotesPainter Painter() const;

 signals:
  // Not moving: a click chose bar `from`, a drag bars `from` to `to` (from <= to).
  void BarsChosen(int from, int to);
  // Moving: a click asked for the music to go on from `bar`.
  void PlayFromBar(int bar);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  std::optional<std::int32_t> BarUnder(double x) const;

  NotesScene scene_;
  bool hasScene_ = false;
  std::function<std::optional<std::uint32_t>()> heard_;
  QTimer frames_;
  std::uint32_t playhead_ = 0;
  double zoom_ = 1.0;
  std::optional<std::int32_t> pressedBar_;  // a click or drag on bars begun here
};

}  // namespace quirelle::ui
