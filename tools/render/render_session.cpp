#include "tools/render/render_session.h"

#include <unistd.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "platform/readable_file.h"
#include "player/load_failure.h"
#include "player/notifying_player.h"
#include "player/stream/virtual/virtual_device.h"
#include "tools/render/event_line.h"
#include "tools/render/progress_bar.h"
#include "tools/render/song_info_lines.h"
#include "tools/render/volume_keeper.h"
#if QUIRELLE_HAVE_SYNTH
#include "player/stream/synth/synth_driver.h"
#endif

namespace quirelle::render {
namespace {

constexpr std::uint64_t kShortestStep = 10'000;     // µs of device time per step while busy
constexpr std::uint64_t kLongestStep = 10'000'000;  // grown to this over long silences

// The tempo and the starting point go in before the load, so the first buffers already play so.
bool LoadSong(player::CMidiStreamPlayer& engine, const Options& options, std::ostream& err) {
  engine.SetTempoPercent(options.tempoPercent);
  engine.SetStartTick(options.fromTick);
  for (std::uint32_t channel = 0; channel < options.volumes.size(); ++channel) {
    engine.SetChannelVolume(channel, options.volumes[channel]);
  }
  platform::PosixFile file;
  if (!file.Open(options.midiPath)) {
    err << "quirelle-render: cannot open " << options.midiPath << ": " << file.Error() << "\n";
    return false;
  }
  if (engine.LoadFromFile(file) == 0) {
    err << "quirelle-render: cannot play " << options.midiPath << ": "
        << player::DescribeLoadFailure(engine) << "\n";
    return false;
  }
  return true;
}

// The song plays up to damaged data and ends there; the user hears why it ended early.
void WarnOfDamage(const VolumeKeeper& keeper, const Options& options, std::ostream& err) {
  if (const char* message = keeper.songDataError()) {
    err << "quirelle-render: " << options.midiPath << ": the song ends early: " << message << "\n";
  }
}

void PrintEvents(const stream::VirtualDriver& driver, std::ostream& out) {
  for (const stream::RecordedMessage& message : driver.Messages()) {
    if (message.kind != stream::RecordedMessage::Kind::kSilence) {
      out << EventLine(message.micros, message.tick, message.message) << '\n';
    }
  }
}

// Plays the song on the virtual device to its end; false when it cannot be loaded. `loaded`
// sees the engine once the song is loaded.
bool PlayOnVirtualDevice(
    const Options& options, stream::VirtualDriver& driver, std::ostream& err,
    const std::function<void(const player::CMidiStreamPlayer&)>& loaded = nullptr) {
  VolumeKeeper keeper(options.volumes);
  player::CNotifyingPlayer engine(driver, driver.clock());
  engine.SetListener(&keeper);
  if (!LoadSong(engine, options, err)) {
    return false;
  }
  if (loaded) {
    loaded(engine);
  }
  keeper.Attach(&engine);
  engine.Play(false);
  keeper.SendVolumes();
  std::uint64_t step = kShortestStep;
  while (!keeper.closed()) {
    const std::uint64_t before = keeper.posted();
    driver.Advance(step);
    driver.WaitIdle();
    // Over a long silence nothing comes back: take longer steps until something does.
    step = keeper.posted() != before ? kShortestStep : std::min(step * 2, kLongestStep);
  }
  keeper.Attach(nullptr);
  WarnOfDamage(keeper, options, err);
  return true;
}

int RenderEvents(const Options& options, std::ostream& out, std::ostream& err) {
  stream::VirtualDriver driver(stream::VirtualDriver::Mode::kManual);
  if (!PlayOnVirtualDevice(options, driver, err)) {
    return 2;
  }
  PrintEvents(driver, out);
  return 0;
}

// Device time of the last message a run on the virtual device sent.
double LastMessageSeconds(const stream::VirtualDriver& driver) {
  const auto messages = driver.Messages();
  return messages.empty() ? 0 : static_cast<double>(messages.back().micros) / 1e6;
}

// What the window shows, and the song's length at its written tempo.
int PrintInfo(const Options& options, std::ostream& out, std::ostream& err) {
  Options written = options;
  written.tempoPercent = 100;
  stream::VirtualDriver driver(stream::VirtualDriver::Mode::kManual);
  std::string lines;
  const auto collect = [&](const player::CMidiStreamPlayer& engine) {
    lines = SongInfoLines(engine, options.midiPath);
  };
  if (!PlayOnVirtualDevice(written, driver, err, collect)) {
    return 2;
  }
  out << lines << SecondsLine(LastMessageSeconds(driver));
  return 0;
}

#if QUIRELLE_HAVE_SYNTH
// The song's length at the chosen tempo, from a run on the virtual device (it takes moments).
double SongSeconds(const Options& options) {
  stream::VirtualDriver driver(stream::VirtualDriver::Mode::kManual);
  std::ostringstream ignored;
  if (!PlayOnVirtualDevice(options, driver, ignored)) {
    return 0;
  }
  return LastMessageSeconds(driver);
}

int RenderWav(const Options& options, std::ostream& err) {
  stream::SynthOptions synth;
  synth.soundFont = options.soundFont;
  synth.sampleRate = options.sampleRate;
  if (const std::string problem = stream::CheckSynthOptions(synth); !problem.empty()) {
    err << "quirelle-render: " << problem << "\n";
    return 2;
  }
  const double total = SongSeconds(options);
  ProgressBar bar(err, ::isatty(STDERR_FILENO) == 1);
  auto driver = stream::MakeOfflineSynthDriver(synth, options.wavPath);
  {
    VolumeKeeper keeper(options.volumes);
    player::CNotifyingPlayer engine(*driver);
    engine.SetListener(&keeper);
    if (!LoadSong(engine, options, err)) {
      return 2;
    }
    keeper.Attach(&engine);
    // The volumes right after Play go in before the first sample is rendered.
    driver->HoldRendering(true);
    engine.Play(false);
    keeper.SendVolumes();
    driver->HoldRendering(false);
    while (!keeper.WaitClosed(100)) {
      bar.Show(static_cast<double>(driver->FramesRendered()) / driver->SampleRate(), total);
    }
    keeper.Attach(nullptr);
    WarnOfDamage(keeper, options, err);
  }
  const bool written = driver->Finish();
  bar.Finish();
  if (!written) {
    err << "quirelle-render: cannot write " << options.wavPath << ": " << driver->FinishError()
        << "\n";
    return 2;
  }
  return 0;
}
#endif

}  // namespace

int RunRender(const Options& options, std::ostream& out, std::ostream& err) {
  if (options.events) {
    return RenderEvents(options, out, err);
  }
  if (options.info) {
    return PrintInfo(options, out, err);
  }
#if QUIRELLE_HAVE_SYNTH
  return RenderWav(options, err);
#else
  err << "quirelle-render: this build has no synthesizer for WAV output\n";
  return 2;
#endif
}

}  // namespace quirelle::render
