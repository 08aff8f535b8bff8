// quirelle-render on songs far larger than real ones, in files this benchmark writes: a 50 MB
// song of 100 tracks played by --events (lines to /dev/null) and described by --info, and a song
// of 65535 small tracks described by --info. Reports the seconds and the peak resident memory of
// the child (from wait4), which should stay within three times the file's size plus 64 MB.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

using Bytes = std::vector<std::uint8_t>;

void PutWord(Bytes& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) {
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

void PutHeader(Bytes& out, std::uint32_t tracks) {
  out.insert(out.end(), {'M', 'T', 'h', 'd'});
  PutWord(out, 6, 4);
  PutWord(out, 1, 2);
  PutWord(out, tracks, 2);
  PutWord(out, 480, 2);
}

// A track of `notes` notes on `channel`, one tick each, under running status: three bytes an
// event, as dense as a file gets.
void PutTrack(Bytes& out, std::uint8_t channel, std::uint32_t notes) {
  out.insert(out.end(), {'M', 'T', 'r', 'k'});
  const std::size_t lengthAt = out.size();
  PutWord(out, 0, 4);
  out.insert(out.end(), {0x00, static_cast<std::uint8_t>(0x90 | channel), 0x3C, 0x40});
  for (std::uint32_t i = 0; i < notes; ++i) {
    out.insert(out.end(), {0x01, 0x3C, 0x00, 0x01, 0x3C, 0x40});
  }
  out.insert(out.end(), {0x01, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00});
  const auto length = static_cast<std::uint32_t>(out.size() - lengthAt - 4);
  for (int i = 0; i < 4; ++i) {
    out[lengthAt + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
  }
}

bool WriteSong(const fs::path& path, std::uint32_t tracks, std::uint32_t notesPerTrack) {
  Bytes image;
  PutHeader(image, tracks);
  for (std::uint32_t t = 0; t < tracks; ++t) {
    PutTrack(image, static_cast<std::uint8_t>(t % 16), notesPerTrack);
  }
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(image.data()),
            static_cast<std::streamsize>(image.size()));
  return static_cast<bool>(out);
}

struct Run {
  bool ok = false;
  double seconds = 0;
  double peakMb = 0;
};

// Runs quirelle-render with `mode` on `song`, its output to /dev/null.
Run RunRender(const std::string& mode, const fs::path& song) {
  const Clock::time_point start = Clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::execl(QUIRELLE_RENDER_BIN, QUIRELLE_RENDER_BIN, mode.c_str(), song.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  Run run;
  int status = 0;
  rusage usage{};
  if (child < 0 || ::wait4(child, &status, 0, &usage) != child) {
    return run;
  }
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  run.peakMb = static_cast<double>(usage.ru_maxrss) / 1024;  // kilobytes on Linux
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

}  // namespace

int main() {
  const fs::path dir =
      fs::temp_directory_path() / ("quirelle-render-scale-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path big = dir / "big.mid";
  const fs::path many = dir / "many.mid";
  // 100 tracks of 84,000 notes: 16.8 M events, 50 MB.
  if (!WriteSong(big, 100, 84000) || !WriteSong(many, 65535, 1)) {
    std::fprintf(stderr, "render-scale: cannot write the songs in %s\n", dir.c_str());
    fs::remove_all(dir);
    return 1;
  }
  const double bigMb = static_cast<double>(fs::file_size(big)) / (1024 * 1024);
  const Run events = RunRender("--events", big);
  const Run info = RunRender("--info", big);
  const Run tracks = RunRender("--info", many);
  fs::remove_all(dir);
  if (!events.ok || !info.ok || !tracks.ok) {
    std::fprintf(stderr, "render-scale: a run failed (events %d, info %d, tracks %d)\n", events.ok,
                 info.ok, tracks.ok);
    return 1;
  }
  const double peak = std::max(events.peakMb, info.peakMb);
  std::printf(
      "render-scale: %.1f MB song: --events %.2f s (peak %.0f MB), --info %.2f s (peak %.0f "
      "MB); goal peak <= %.0f MB\n",
      bigMb, events.seconds, events.peakMb, info.seconds, info.peakMb, 3 * bigMb + 64);
  std::printf("render-scale: 65535 tracks: --info %.2f s (peak %.0f MB); goal <= 1 s\n",
              tracks.seconds, tracks.peakMb);
  std::printf("SUMMARY render-scale: events_50mb_s=%.2f peak_mb=%.0f tracks_65535_s=%.2f\n",
              events.seconds, peak, tracks.seconds);
  return 0;
}
