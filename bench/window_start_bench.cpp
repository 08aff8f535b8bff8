// The player window's start as a user sees it on a busy machine: the real program started on an
// Xvfb display of our own while two busy loops load both cores, and the screen grabbed every few
// milliseconds. The first paint is the first grab that shows the window as it stays (nine tenths
// of the window's pixels as on the last grab; its empty frame does not count); it is timed from
// the program's exec. The window's settings go
// to a folder of their own and it is kept off the session bus. Prints the median of five starts.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/null_sink.h"

namespace {

using namespace quirelle;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kStarts = 5;
constexpr int kLoadProcesses = 2;
constexpr auto kLongest = std::chrono::seconds(15);  // a start that shows nothing by then failed
constexpr auto kSettled = std::chrono::milliseconds(1500);  // unchanged this long: as it stays

// Starts Xvfb; its display number, or -1. Not -displayfd: that finds a display free of lock
// files in this /tmp, while another Xvfb of the machine (in a /tmp of its own) may hold the
// display's abstract socket, which X clients try first.
int StartXvfb(std::unique_ptr<testing::Child>& server) {
  for (int display = 200 + ::getpid() % 500, tries = 0; tries < 20; ++display, ++tries) {
    // Appended piece by piece: GCC 12 at -O3 sees a false overlap in a prefix concatenation.
    std::string name = ":";
    name.append(std::to_string(display));
    const pid_t pid = testing::Spawn(
        {"Xvfb", name, "-br", "-noreset", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    // A black root (-br): whatever is not black is the window. No reset when a client leaves
    // (-noreset): the next one would find the server gone for a moment.
    server = std::make_unique<testing::Child>(pid, SIGTERM);
    std::string ask = "DISPLAY=";
    ask.append(name).append(" xdpyinfo >/dev/null 2>&1");
    for (int i = 0; i < 50 && ::waitpid(pid, nullptr, WNOHANG) == 0; ++i) {
      if (std::system(ask.c_str()) == 0) {
        return display;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    server.reset();
  }
  return -1;
}

// The screen, every second pixel in each direction.
QImage Grab(QScreen& screen) {
  const QImage full = screen.grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
  return full.scaled(full.width() / 2, full.height() / 2);
}

// The share of the pixels inside the window (what is not black on `last`) that `image` shows
// as `last` does.
double Shown(const QImage& image, const QImage& last) {
  int window = 0;
  int same = 0;
  for (int y = 0; y < last.height(); ++y) {
    const auto* want = reinterpret_cast<const QRgb*>(last.constScanLine(y));
    const auto* got = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < last.width(); ++x) {
      if ((want[x] & 0xFFFFFF) != 0) {
        ++window;
        same += want[x] == got[x] ? 1 : 0;
      }
    }
  }
  return window == 0 ? 0.0 : static_cast<double>(same) / window;
}

// One start: milliseconds from exec to the first paint, or a negative number when none came.
// Only the grabs that differ from the one before are kept: a blank screen, the window's empty
// frame, its first paint, changes after it.
double TimeOneStart(QScreen& screen, const std::vector<std::string>& command) {
  std::vector<std::pair<double, QImage>> frames;
  const Clock::time_point start = Clock::now();
  testing::Child player(testing::Spawn(command), SIGTERM);
  Clock::time_point changed = start;
  while (Clock::now() - start < kLongest) {
    QImage image = Grab(screen);
    const Clock::time_point now = Clock::now();
    if (frames.empty() || image != frames.back().second) {
      frames.emplace_back(std::chrono::duration<double, std::milli>(now - start).count(),
                          std::move(image));
      changed = now;
    } else if (frames.size() > 1 && now - changed > kSettled) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  player.End();
  if (frames.size() < 2) {
    return -1;
  }
  const QImage& last = frames.back().second;
  for (const auto& [ms, image] : frames) {
    if (Shown(image, last) >= 0.9) {
      return ms;
    }
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path home =
      fs::temp_directory_path() / ("quirelle-start-" + std::to_string(::getpid()));
  fs::create_directories(home);
  // The window's settings and caches in a folder of their own; off the session bus.
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
  ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  std::unique_ptr<testing::Child> server;
  const int display = StartXvfb(server);
  if (display < 0) {
    std::fprintf(stderr, "window-start: Xvfb did not start (xvfb installed?)\n");
    return 1;
  }
  ::setenv("DISPLAY", (":" + std::to_string(display)).c_str(), 1);
  QGuiApplication app(argc, argv);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    std::fprintf(stderr, "window-start: no screen on display :%d\n", display);
    return 1;
  }
  std::vector<std::unique_ptr<testing::Child>> load;
  for (int i = 0; i < kLoadProcesses; ++i) {
    load.push_back(std::make_unique<testing::Child>(
        testing::Spawn({"sh", "-c", "while :; do :; done"}), SIGTERM));
  }
  // Started bare, and with a song as a file manager's "Open with" starts it; the slower is the
  // figure.
  double slowest = 0;
  for (const bool withSong : {false, true}) {
    std::vector<std::string> command = {QUIRELLE_PLAYER_BIN};
    if (withSong) {
      command.emplace_back(QUIRELLE_CORPUS_DIR "/abc2midi/satb1_old_hundredth.mid");
    }
    std::vector<double> times;
    for (int i = 0; i < kStarts; ++i) {
      const double ms = TimeOneStart(*screen, command);
      if (ms < 0) {
        std::fprintf(stderr, "window-start: the window did not show within %lld s\n",
                     static_cast<long long>(kLongest.count()));
        return 1;
      }
      times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("window-start: %s: first paint after %.0f ms (median of %d; %.0f to %.0f)\n",
                withSong ? "quirelle SONG.mid" : "quirelle", times[times.size() / 2], kStarts,
                times.front(), times.back());
    slowest = std::max(slowest, times[times.size() / 2]);
  }
  load.clear();
  std::error_code ignored;
  fs::remove_all(home, ignored);
  std::printf("SUMMARY window-start: paint_ms=%.0f load=%d\n", slowest, kLoadProcesses);
  return 0;
}
