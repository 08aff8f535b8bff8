// Part sheets through Qt's painter: SVG through Qt SVG's generator, PNG through an image.
#include "tools/render/part_picture.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QSvgGenerator>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>
#include <string_view>

#include "ui/notes_painter.h"

namespace quirelle::render {
namespace {

constexpr int kPixelsPerBar = 200;
constexpr int kMostDefaultWidth = 16000;
constexpr int kDefaultHeight = 360;
constexpr int kGutter = 40;  // the key labels

// The voice map's voice that voice row `row` (1-based, as the window counts) shows: the first
// voice on its channel, else the row-th voice.
std::size_t VoiceOfRow(const smf::VoiceMap& map, std::uint32_t row) {
  const auto& channels = map.voiceChannels();
  if (const auto voice =
          row <= channels.size() ? map.FirstVoiceOn(channels[row - 1]) : std::nullopt) {
    return *voice;
  }
  return std::min<std::size_t>(row - 1, map.voices().empty() ? 0 : map.voices().size() - 1);
}

// The voice the words line would follow: the first with words, else voice 1.
std::uint32_t DefaultRow(const smf::MidiFile& file) {
  const auto channel = smf::FirstChannelWithWords(file.words(), file.voiceMap());
  const auto& channels = file.voiceMap().voiceChannels();
  const auto row = channel ? std::find(channels.begin(), channels.end(), *channel) : channels.end();
  return row != channels.end() ? static_cast<std::uint32_t>(row - channels.begin()) + 1u : 1u;
}

bool EndsWith(const std::string& text, std::string_view end) {
  return text.size() >= end.size() &&
         std::equal(end.rbegin(), end.rend(), text.rbegin(), [](char a, char b) {
           return a == std::tolower(static_cast<unsigned char>(b));
         });
}

// Qt's painter measures text with the font database, which needs an application; none is shown.
std::unique_ptr<QGuiApplication> TextApplication() {
  if (QGuiApplication::instance() != nullptr) {
    return nullptr;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  static int argc = 1;
  static char name[] = "quirelle-render";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

int WritePicture(const player::CMidiStreamPlayer& engine, const Options& options,
                 std::ostream& err) {
  const bool svg = EndsWith(options.picturePath, ".svg");
  if (!svg && !EndsWith(options.picturePath, ".png")) {
    err << "quirelle-render: --picture: " << options.picturePath
        << ": the name must end in .svg or .png\n";
    return 2;
  }
  const smf::MidiFile& file = engine.file();
  if (file.voiceMap().voices().empty()) {
    err << "quirelle-render: " << options.midiPath << " has no voice with notes to draw\n";
    return 2;
  }
  const std::uint32_t row = options.voice != 0 ? options.voice : DefaultRow(file);
  ui::SceneChoice choice;
  choice.followed = VoiceOfRow(file.voiceMap(), row);
  choice.words = smf::WordsOnChannel(file.words(), file.voiceMap(),
                                     file.voiceMap().voices()[choice.followed].playedOn);
  choice.transpose = options.transpose;
  const player::Passage passage = engine.passage();
  const std::uint32_t from = passage.fromTick;
  const std::uint32_t to = std::max(from + 1, std::min(passage.endTick, file.lastEventTick()));
  const std::unique_ptr<QGuiApplication> application = TextApplication();
  const ui::NotesScene scene = ui::MakeScene(file, choice);
  const double bars = double(to - from) / std::max<std::uint32_t>(scene.barTicks, 1);
  const int width = options.pictureWidth != 0
                        ? static_cast<int>(options.pictureWidth)
                        : std::min(kMostDefaultWidth,
                                   kGutter + static_cast<int>(std::ceil(bars * kPixelsPerBar)));
  const int height =
      options.pictureHeight != 0 ? static_cast<int>(options.pictureHeight) : kDefaultHeight;
  const ui::NotesPainter sheet = ui::NotesPainter::Sheet(scene, QSizeF(width, height), from, to);
  const QString path = QString::fromLocal8Bit(options.picturePath.c_str());
  bool written = false;
  if (svg) {
    QSvgGenerator generator;
    generator.setFileName(path);
    generator.setSize(QSize(width, height));
    generator.setViewBox(QRect(0, 0, width, height));
    generator.setTitle(QString::fromStdString(options.midiPath));
    QPainter painter;
    written = painter.begin(&generator);
    if (written) {
      sheet.Paint(painter);
      written = painter.end();
    }
  } else {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    sheet.Paint(painter);
    painter.end();
    written = image.save(path, "PNG");
  }
  if (!written) {
    err << "quirelle-render: " << options.picturePath << " cannot be written\n";
    return 2;
  }
  return 0;
}

}  // namespace quirelle::render
