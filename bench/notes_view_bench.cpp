// The notes view's frame: the painter drawing 1280 × 720 offscreen, frame after frame, through
// 10 s of the densest song of the corpus (the most voice notes a second) played at 500 %, the
// playhead where a 60 Hz display would show it. Prints the 99th percentile of a frame's time and
// the frames a second that rate allows, and the bytes the notes' index takes a note.
#include <QGuiApplication>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/readable_file.h"
#include "smf/midi_file.h"
#include "smf/tempo_map.h"
#include "ui/notes_painter.h"

namespace {

namespace fs = std::filesystem;
using namespace quirelle;

constexpr std::uint32_t kTempoPercent = 500;
constexpr double kSeconds = 10;
constexpr double kFrameRate = 60;

struct Song {
  fs::path path;
  double notesPerSecond = 0;
};

bool Load(const fs::path& path, smf::MidiFile& file) {
  platform::PosixFile posix;
  return posix.Open(path.string()) && file.LoadFromFile(posix) != 0 &&
         !midi::IsSmpteDivision(file.division()) && file.division() != 0;
}

std::size_t NoteCount(const smf::MidiFile& file) {
  std::size_t notes = 0;
  for (const smf::VoiceNotes& voice : file.voiceNotes()) {
    notes += voice.notes().size();
  }
  return notes;
}

Song DensestSong() {
  Song densest;
  for (const auto& entry : fs::recursive_directory_iterator(QUIRELLE_CORPUS_DIR)) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".mid" && ext != ".kar" && ext != ".midi")) {
      continue;
    }
    smf::MidiFile file;
    if (!Load(entry.path(), file)) {
      continue;
    }
    const double seconds = smf::TempoMap(file).SecondsTo(file.lastEventTick(), 100);
    // Songs shorter than the stretch drawn would repeat themselves.
    if (seconds >= kSeconds * kTempoPercent / 100) {
      const double density = double(NoteCount(file)) / seconds;
      if (density > densest.notesPerSecond) {
        densest = {entry.path(), density};
      }
    }
  }
  return densest;
}

// The tick the song reaches after `seconds` at the tempo percent.
std::uint32_t TickAt(const smf::TempoMap& tempo, double seconds, std::uint32_t end) {
  std::uint32_t low = 0;
  std::uint32_t high = end;
  while (low < high) {
    const std::uint32_t middle = low + (high - low + 1) / 2;
    if (tempo.SecondsTo(middle, kTempoPercent) <= seconds) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  return low;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const Song song = DensestSong();
  smf::MidiFile file;
  if (song.path.empty() || !Load(song.path, file)) {
    std::fprintf(stderr, "notes-view: no song in %s\n", QUIRELLE_CORPUS_DIR);
    return 1;
  }
  const smf::TempoMap tempo(file);
  ui::SceneChoice choice;
  choice.words = file.words().empty() ? nullptr : &file.words().front();
  const ui::NotesScene scene = ui::MakeScene(file, choice);
  QImage image(1280, 720, QImage::Format_ARGB32_Premultiplied);
  std::vector<double> millis;
  const auto frames = static_cast<int>(kSeconds * kFrameRate);
  for (int frame = 0; frame < frames; ++frame) {
    const std::uint32_t tick = TickAt(tempo, frame / kFrameRate, file.lastEventTick());
    const auto start = std::chrono::steady_clock::now();
    QPainter painter(&image);
    ui::NotesPainter::Following(scene, QSizeF(image.size()), tick, 1.0).Paint(painter);
    painter.end();
    millis.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  double total = 0;
  for (const double ms : millis) {
    total += ms;
  }
  std::sort(millis.begin(), millis.end());
  const double p99 = millis[static_cast<std::size_t>(0.99 * (millis.size() - 1))];
  std::printf("song: %s, %.0f voice notes a second, %zu notes in %zu voices\n",
              song.path.lexically_relative(QUIRELLE_CORPUS_DIR).c_str(), song.notesPerSecond,
              NoteCount(file), file.voiceNotes().size());
  std::printf("index: %zu bytes a note\n", sizeof(smf::WrittenNote) + sizeof(std::uint32_t));
  std::printf("SUMMARY notes-view: p99_ms=%.2f fps=%.0f\n", p99, 1000.0 * frames / total);
  return 0;
}
