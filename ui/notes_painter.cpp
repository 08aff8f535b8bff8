// The picture of the song's lines, for the notes view and for part sheets.
#include "ui/notes_painter.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "midi/vocabulary.h"

namespace quirelle::ui {
namespace {

// Okabe and Ito's eight colours, black last (it stands for no voice but the ninth).
constexpr std::array<QRgb, 8> kPalette = {0xFF0072B2, 0xFFD55E00, 0xFF009E73, 0xFFCC79A7,
                                          0xFFE69F00, 0xFF56B4E9, 0xFFF0E442, 0xFF000000};

constexpr double kKeyGutter = 34;   // the C labels, left of the notes
constexpr double kBarStrip = 18;    // the bar numbers, above
constexpr double kWordsStrip = 24;  // the followed voice's words, below
constexpr int kMargin = 2;          // semitones above and below the voice's range
constexpr int kLeastSpan = 12;

const QColor kBackground(0xFC, 0xFC, 0xFA);
const QColor kBlackKeyRow(0xF0, 0xF0, 0xEC);
const QColor kCLine(0xC8, 0xC8, 0xC0);
const QColor kBarLine(0x9A, 0x9A, 0x94);
const QColor kPassage(0xFF, 0xF4, 0xD0);
const QColor kText(0x30, 0x30, 0x30);
const QColor kPlayhead(0xC0, 0x20, 0x20);
// The singer's marks: in tune, off, missed; told apart from each other by lightness as well.
const QColor kInTune(0x00, 0x9E, 0x73);
const QColor kOffPitch(0xD5, 0x5E, 0x00);
const QColor kMissed(0x99, 0x99, 0x99);

QColor MarkColour(SungMark mark) {
  switch (mark) {
    case SungMark::kInTune:
      return kInTune;
    case SungMark::kOff:
      return kOffPitch;
    default:
      return kMissed;
  }
}

bool IsBlackKey(int key) {
  const int pitchClass = midi::PitchClass(key);
  return pitchClass == 1 || pitchClass == 3 || pitchClass == 6 || pitchClass == 8 ||
         pitchClass == 10;
}

// C4 is key 60.
QString KeyName(int key) {
  return QStringLiteral("C%1").arg(key / 12 - 1);
}

// The length most of the song's bars have.
std::uint32_t UsualBar(const std::vector<SceneBar>& bars, std::uint32_t songEnd,
                       std::uint32_t division) {
  std::map<std::uint32_t, std::size_t> counts;
  for (std::size_t i = 0; i < bars.size(); ++i) {
    const std::uint32_t end = i + 1 < bars.size() ? bars[i + 1].tick : songEnd;
    if (end > bars[i].tick) {
      ++counts[end - bars[i].tick];
    }
  }
  std::uint32_t usual = 4 * std::max<std::uint32_t>(division, 1);
  std::size_t most = 0;
  for (const auto& [length, count] : counts) {
    if (count > most) {
      usual = length;
      most = count;
    }
  }
  return usual;
}

std::vector<SceneSyllable> Syllables(const smf::Words* words) {
  std::vector<SceneSyllable> syllables;
  if (words == nullptr) {
    return syllables;
  }
  for (const smf::WordsLine& line : *words) {
    for (const smf::Syllable& syllable : line.syllables) {
      syllables.push_back({syllable.tick, QString::fromStdString(syllable.text)});
    }
  }
  std::stable_sort(syllables.begin(), syllables.end(),
                   [](const auto& a, const auto& b) { return a.tick < b.tick; });
  return syllables;
}

// The desktop's font at `pixels`: the dialog's bitmap font has no bold face.
QFont TextFont(int pixels, bool bold = false) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QColor Faded(QColor colour, int alpha) {
  colour.setAlpha(alpha);
  return colour;
}

}  // namespace

QColor VoiceColour(std::size_t voice) {
  return QColor::fromRgba(kPalette[voice % kPalette.size()]);
}

KeyRange FittedRange(const smf::VoiceNotes& notes, int transpose) {
  if (notes.empty()) {
    return {};
  }
  int low = notes.lowestKey() + transpose - kMargin;
  int high = notes.highestKey() + transpose + kMargin;
  if (high - low < kLeastSpan) {
    const int widen = kLeastSpan - (high - low);
    low -= widen / 2;
    high += widen - widen / 2;
  }
  return {low, high};
}

NotesScene MakeScene(const smf::MidiFile& file, const SceneChoice& choice) {
  NotesScene scene;
  scene.division = midi::IsSmpteDivision(file.division()) ? 0 : file.division();
  scene.songEnd = file.lastEventTick();
  file.ForEachBar([&](std::int32_t bar, std::uint32_t tick) {
    scene.bars.push_back({bar, tick});
    return true;
  });
  scene.barTicks = UsualBar(scene.bars, scene.songEnd, file.division());
  const std::vector<smf::VoiceNotes>& notes = file.voiceNotes();
  for (std::size_t i = 0; i < notes.size(); ++i) {
    const bool followed = i == choice.followed;
    const bool silent = i < choice.silent.size() && choice.silent[i];
    scene.voices.push_back(
        {&notes[i], VoiceColour(i), followed ? VoiceLook::kFollowed : VoiceLook::kOther, silent});
  }
  scene.words = Syllables(choice.words);
  scene.passageFrom = choice.passageFrom;
  scene.passageEnd = choice.passageEnd;
  if (choice.countIn && scene.division != 0) {
    const smf::TimeSigEntry& metre = file.timeSignatures().MetreAt(choice.passageFrom);
    scene.countInBeats = metre.numerator;
    scene.countInBeatTicks = smf::BeatTicks(metre, scene.division);
  }
  scene.transpose = choice.transpose;
  scene.range = choice.followed < notes.size()
                    ? FittedRange(notes[choice.followed], choice.transpose)
                    : KeyRange{};
  return scene;
}

NotesPainter::NotesPainter(const NotesScene& scene, QSizeF size)
    : scene_(&scene),
      size_(size),
      plot_(kKeyGutter, kBarStrip, std::max(1.0, size.width() - kKeyGutter),
            std::max(1.0, size.height() - kBarStrip - kWordsStrip)) {}

NotesPainter NotesPainter::Following(const NotesScene& scene, QSizeF size, std::uint32_t playhead,
                                     double zoom, const SungOverlay* sung) {
  NotesPainter painter(scene, size);
  painter.sung_ = sung;
  painter.following_ = true;
  painter.playhead_ = playhead;
  painter.originTick_ = playhead;
  painter.originX_ = painter.plot_.left() + painter.plot_.width() * kPlayheadAt;
  const double ahead = painter.plot_.right() - painter.originX_;
  painter.pixelsPerTick_ = ahead * std::clamp(zoom, 0.1, 10.0) /
                           (kBarsAhead * std::max<std::uint32_t>(scene.barTicks, 1));
  return painter;
}

NotesPainter NotesPainter::Sheet(const NotesScene& scene, QSizeF size, std::uint32_t from,
                                 std::uint32_t to) {
  NotesPainter painter(scene, size);
  painter.originTick_ = from;
  painter.sheetFrom_ = from;
  painter.sheetEnd_ = to;
  painter.originX_ = painter.plot_.left();
  painter.pixelsPerTick_ = painter.plot_.width() / std::max<double>(1.0, double(to) - from);
  return painter;
}

double NotesPainter::RowHeight() const {
  return plot_.height() / (scene_->range.high - scene_->range.low + 1);
}

double NotesPainter::YOf(int key) const {
  return plot_.top() + (scene_->range.high - key) * RowHeight();
}

QRectF NotesPainter::NoteRect(const smf::WrittenNote& note) const {
  const double left = XOf(note.start);
  const int key = note.key + scene_->transpose;
  return {left, YOf(key), std::max(2.0, XOf(note.end) - left), RowHeight()};
}

std::optional<SceneBar> NotesPainter::BarAt(double x) const {
  const auto& bars = scene_->bars;
  const double tick = TickAt(x);
  if (bars.empty() || tick < bars.front().tick || tick >= std::max(scene_->songEnd, 1u)) {
    return std::nullopt;
  }
  const auto after = std::upper_bound(bars.begin(), bars.end(), tick,
                                      [](double t, const SceneBar& bar) { return t < bar.tick; });
  return *(after - 1);
}

double NotesPainter::WordsBaseline() const {
  return plot_.bottom() + kWordsStrip - 6;
}

std::uint32_t NotesPainter::FirstTickInView() const {
  if (!following_) {
    return sheetFrom_;
  }
  return static_cast<std::uint32_t>(std::clamp(TickAt(plot_.left()), 0.0, 4294967295.0));
}

std::uint32_t NotesPainter::EndTickInView() const {
  if (!following_) {
    return sheetEnd_;
  }
  return static_cast<std::uint32_t>(
      std::clamp(std::ceil(TickAt(plot_.right())) + 1, 0.0, 4294967295.0));
}

void NotesPainter::Paint(QPainter& painter) const {
  painter.save();
  painter.fillRect(QRectF(QPointF(0, 0), size_), kBackground);
  painter.setClipRect(plot_.adjusted(0, -kBarStrip, 0, kWordsStrip));
  PaintRows(painter);
  PaintPassage(painter);
  PaintBars(painter);
  painter.setRenderHint(QPainter::Antialiasing, true);
  // Notes outside the range stay out of the bars' and the words' strips.
  painter.setClipRect(plot_);
  for (const SceneVoice& voice : scene_->voices) {
    if (voice.look != VoiceLook::kFollowed) {
      PaintVoice(painter, voice);
    }
  }
  for (const SceneVoice& voice : scene_->voices) {
    if (voice.look == VoiceLook::kFollowed) {
      PaintVoice(painter, voice);
    }
  }
  PaintTrace(painter);
  painter.setClipRect(plot_.adjusted(0, -kBarStrip, 0, kWordsStrip));
  PaintWords(painter);
  if (following_) {
    const double x = XOf(playhead_);
    painter.setPen(QPen(kPlayhead, 2));
    painter.drawLine(QPointF(x, plot_.top() - kBarStrip), QPointF(x, plot_.bottom()));
  }
  painter.setClipping(false);
  PaintKeyLabels(painter);
  painter.restore();
}

void NotesPainter::PaintRows(QPainter& painter) const {
  const double row = RowHeight();
  for (int key = scene_->range.low; key <= scene_->range.high; ++key) {
    const double y = YOf(key);
    if (IsBlackKey(key)) {
      painter.fillRect(QRectF(plot_.left(), y, plot_.width(), row), kBlackKeyRow);
    }
    if (midi::PitchClass(key) == 0) {
      painter.setPen(QPen(kCLine, 1));
      painter.drawLine(QPointF(plot_.left(), y + row), QPointF(plot_.right(), y + row));
    }
  }
}

void NotesPainter::PaintPassage(QPainter& painter) const {
  const bool whole = scene_->passageFrom == 0 && scene_->passageEnd >= scene_->songEnd;
  if (!whole) {
    const double left = std::max(plot_.left(), XOf(scene_->passageFrom));
    const double right =
        std::min(plot_.right(), XOf(std::min(scene_->passageEnd, scene_->songEnd)));
    if (right > left) {
      painter.fillRect(QRectF(left, plot_.top(), right - left, plot_.height()),
                       Faded(kPassage, 170));
    }
  }
  // The count-in's clicks stand before the passage, a beat apart.
  painter.setPen(Qt::NoPen);
  painter.setBrush(kPlayhead);
  for (std::uint32_t beat = 0; beat < scene_->countInBeats; ++beat) {
    const double x = XOf(double(scene_->passageFrom) -
                         double(scene_->countInBeats - beat) * double(scene_->countInBeatTicks));
    painter.drawEllipse(QPointF(x, plot_.top() + 5), 3.0, 3.0);
  }
}

void NotesPainter::PaintBars(QPainter& painter) const {
  const auto& bars = scene_->bars;
  const std::uint32_t first = FirstTickInView();
  const std::uint32_t end = EndTickInView();
  auto bar = std::upper_bound(bars.begin(), bars.end(), first,
                              [](std::uint32_t t, const SceneBar& b) { return t < b.tick; });
  if (bar != bars.begin()) {
    --bar;
  }
  painter.setFont(TextFont(11));
  for (; bar != bars.end() && bar->tick < end; ++bar) {
    const double x = XOf(bar->tick);
    painter.setPen(QPen(kBarLine, 1));
    painter.drawLine(QPointF(x, plot_.top() - kBarStrip + 2), QPointF(x, plot_.bottom()));
    if (x >= plot_.left() - 1) {
      painter.setPen(kText);
      painter.drawText(QPointF(x + 3, plot_.top() - 5), QString::number(bar->number));
    }
  }
}

void NotesPainter::PaintVoice(QPainter& painter, const SceneVoice& voice) const {
  if (voice.notes == nullptr) {
    return;
  }
  const bool followed = voice.look == VoiceLook::kFollowed;
  const double row = RowHeight();
  const double thin = followed ? 0.0 : row * 0.3;  // other voices: a band through the row
  voice.notes->ForEachIn(FirstTickInView(), EndTickInView(), [&](const smf::WrittenNote& note) {
    const QRectF rect = NoteRect(note).adjusted(0, thin, 0, -thin);
    const bool lit = following_ && note.start <= playhead_ && playhead_ < note.end;
    QColor fill = voice.colour;
    const auto index = static_cast<std::size_t>(&note - voice.notes->notes().data());
    const SungMark mark = followed && sung_ != nullptr && index < sung_->notes.size()
                              ? sung_->notes[index]
                              : SungMark::kNone;
    if (mark != SungMark::kNone) {
      fill = MarkColour(mark);  // a note passed takes its verdict's colour
    } else if (lit) {
      fill = fill.lighter(135);
    } else if (!followed) {
      fill = Faded(fill, 110);
    }
    if (voice.silent && mark == SungMark::kNone) {
      painter.setBrush(Qt::NoBrush);
      painter.setPen(QPen(voice.colour, followed ? 2 : 1));
    } else {
      painter.setBrush(fill);
      painter.setPen(followed ? QPen(voice.colour.darker(lit ? 100 : 140), lit ? 2 : 1)
                              : QPen(Qt::NoPen));
    }
    const double radius = std::min(3.0, rect.height() / 2);
    painter.drawRoundedRect(rect, radius, radius);
  });
}

void NotesPainter::PaintTrace(QPainter& painter) const {
  if (sung_ == nullptr || sung_->trace.empty()) {
    return;
  }
  const double row = RowHeight();
  const double first = TickAt(plot_.left());
  const double last = TickAt(plot_.right());
  painter.setPen(Qt::NoPen);
  // A pass's trace runs forward in the song: only the stretch in view is drawn.
  const auto& trace = sung_->trace;
  auto from = std::lower_bound(trace.begin(), trace.end(), first,
                               [](const SungPoint& p, double tick) { return p.tick < tick; });
  for (auto point = from; point != trace.end() && point->tick <= last; ++point) {
    const double y = plot_.top() + (scene_->range.high - point->key + 0.5) * row;
    painter.setBrush(point->mark == SungMark::kInTune ? kInTune.darker(130)
                     : point->mark == SungMark::kOff  ? kOffPitch
                                                      : kMissed);
    painter.drawEllipse(QPointF(XOf(point->tick), y), 2.5, 2.5);
  }
}

void NotesPainter::PaintWords(QPainter& painter) const {
  const auto& words = scene_->words;
  if (words.empty()) {
    return;
  }
  const QFont plain = TextFont(13);
  const QFont bold = TextFont(13, true);
  const QFontMetricsF metrics(bold);
  const std::uint32_t first = FirstTickInView();
  const std::uint32_t end = EndTickInView();
  // The syllable sung now: the last begun at the playhead.
  const auto sungAfter =
      std::upper_bound(words.begin(), words.end(), playhead_,
                       [](std::uint32_t t, const auto& s) { return t < s.tick; });
  const auto* sung = following_ && sungAfter != words.begin() ? &*(sungAfter - 1) : nullptr;
  auto syllable = std::lower_bound(words.begin(), words.end(), first,
                                   [](const auto& s, std::uint32_t t) { return s.tick < t; });
  // Following, one syllable before the view, so that a word begun off the left edge still shows.
  if (following_ && syllable != words.begin()) {
    --syllable;
  }
  painter.setPen(kText);
  double freeFrom = -1e9;  // a syllable never overlaps the one before it
  for (; syllable != words.end() && syllable->tick < end; ++syllable) {
    const double x = std::max(XOf(syllable->tick), freeFrom);
    painter.setFont(&*syllable == sung ? bold : plain);
    painter.drawText(QPointF(x, WordsBaseline()), syllable->text);
    freeFrom = x + metrics.horizontalAdvance(syllable->text) + 3;
  }
}

void NotesPainter::PaintKeyLabels(QPainter& painter) const {
  painter.fillRect(QRectF(0, 0, plot_.left(), size_.height()), kBackground);
  painter.setFont(TextFont(11));
  painter.setPen(kText);
  const double row = RowHeight();
  for (int key = scene_->range.low; key <= scene_->range.high; ++key) {
    if (midi::PitchClass(key) == 0) {
      painter.drawText(QRectF(0, YOf(key) + row / 2 - 8, plot_.left() - 4, 16),
                       Qt::AlignRight | Qt::AlignVCenter, KeyName(key));
    }
  }
}

}  // namespace quirelle::ui
