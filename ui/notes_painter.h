// The picture of the song's lines: every voice's notes as bars on a pitch axis (a row a
// semitone), the followed voice solid and on top with its words under the notes, the bars with
// the numbers the score prints, the practice passage shaded and its count-in's beats before it.
//
// It draws two ways. Following the music, time flows right to left past a playhead at a quarter
// of the width, a few bars ahead of it at the song's own bar length (a slower tempo does not
// crowd the notes). As a sheet, a stretch of the song runs from left to right with no playhead.
// The window's notes view and quirelle-render's --picture share it; it draws only the notes in
// view, from each voice's index by time.
#pragma once

#include <QColor>
#include <QPainter>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "smf/lyrics.h"
#include "smf/midi_file.h"
#include "smf/voice_notes.h"

namespace quirelle::ui {

// Told apart by colour-blind eyes (Okabe and Ito's palette); voice k keeps colour k everywhere.
QColor VoiceColour(std::size_t voice);

// The lowest and highest key shown for a voice's notes moved by `transpose`, with a margin and at
// least an octave; C3 to C5 for a voice of no notes.
struct KeyRange {
  int low = 48;
  int high = 72;
  bool operator==(const KeyRange&) const = default;
};
KeyRange FittedRange(const smf::VoiceNotes& notes, int transpose);

// How a voice is drawn.
enum class VoiceLook {
  kFollowed,  // solid, in its colour, on top, with its words
  kOther,     // thin and faded
};

struct SceneVoice {
  const smf::VoiceNotes* notes = nullptr;  // not owned
  QColor colour;
  VoiceLook look = VoiceLook::kOther;
  bool silent = false;  // muted or soloed out: an outline
};

struct SceneBar {
  std::int32_t number = 0;  // as the score prints it
  std::uint32_t tick = 0;
};

struct SceneSyllable {
  std::uint32_t tick = 0;
  QString text;
};

// What there is to draw of one song; built once per song and setting, read every frame.
struct NotesScene {
  std::vector<SceneVoice> voices;
  std::vector<SceneBar> bars;             // in order of tick
  std::vector<SceneSyllable> words;       // the followed voice's, in order of tick
  std::uint32_t division = 480;           // ticks per quarter note
  std::uint32_t barTicks = 1920;          // the song's usual bar: the time scale
  std::uint32_t passageFrom = 0;          // the practice passage, shaded when not the whole song
  std::uint32_t passageEnd = 0xFFFFFFFF;  // the first tick after it
  std::uint32_t countInBeats = 0;         // clicks before the passage, 0 for none
  std::uint32_t countInBeatTicks = 0;
  std::uint32_t songEnd = 0;  // the song's last tick
  int transpose = 0;          // semitones the notes sound moved by
  KeyRange range;
};

// The scene of a loaded song: its bars and voices (`followed` solid, `silent` outlined, both by
// voice index), the followed voice's words, the passage and count-in, the key.
struct SceneChoice {
  std::size_t followed = 0;
  std::vector<bool> silent;  // by voice; missing: sounding
  const smf::Words* words = nullptr;
  std::uint32_t passageFrom = 0;
  std::uint32_t passageEnd = 0xFFFFFFFF;
  bool countIn = false;
  int transpose = 0;
};
NotesScene MakeScene(const smf::MidiFile& file, const SceneChoice& choice);

class NotesPainter {
 public:
  // Following: `playhead` (a tick of the song) at a quarter of the width, `zoom` times the
  // normal scale (four bars after the playhead).
  static NotesPainter Following(const NotesScene& scene, QSizeF size, std::uint32_t playhead,
                                double zoom);
  // A sheet: ticks [from, to) across the width.
  static NotesPainter Sheet(const NotesScene& scene, QSizeF size, std::uint32_t from,
                            std::uint32_t to);

  void Paint(QPainter& painter) const;

  // Geometry, in the painter's pixels.
  QRectF Plot() const { return plot_; }  // where notes are drawn
  double XOf(double tick) const { return originX_ + (tick - originTick_) * pixelsPerTick_; }
  double TickAt(double x) const { return originTick_ + (x - originX_) / pixelsPerTick_; }
  double RowHeight() const;
  // The top of the row of sounding key `key` (transposed already).
  double YOf(int key) const;
  QRectF NoteRect(const smf::WrittenNote& note) const;
  // The bar whose stretch holds `x`; none before the first bar or for a song without bars.
  std::optional<SceneBar> BarAt(double x) const;
  // Where a syllable's text begins, and the line its words stand on.
  double WordsBaseline() const;
  std::optional<double> PlayheadX() const {
    return following_ ? std::optional<double>(XOf(playhead_)) : std::nullopt;
  }
  static constexpr double kPlayheadAt = 0.25;  // of the plot's width
  static constexpr double kBarsAhead = 4.0;

 private:
  NotesPainter(const NotesScene& scene, QSizeF size);
  void PaintRows(QPainter& painter) const;
  void PaintPassage(QPainter& painter) const;
  void PaintBars(QPainter& painter) const;
  void PaintVoice(QPainter& painter, const SceneVoice& voice) const;
  void PaintWords(QPainter& painter) const;
  void PaintKeyLabels(QPainter& painter) const;
  // The ticks in view, for the index.
  std::uint32_t FirstTickInView() const;
  std::uint32_t EndTickInView() const;

  const NotesScene* scene_;
  QSizeF size_;
  QRectF plot_;
  double originX_ = 0;
  double originTick_ = 0;
  double pixelsPerTick_ = 1;
  bool following_ = false;
  std::uint32_t playhead_ = 0;
  std::uint32_t sheetFrom_ = 0;  // a sheet shows exactly [from, end)
  std::uint32_t sheetEnd_ = 0;
};

}  // namespace quirelle::ui
