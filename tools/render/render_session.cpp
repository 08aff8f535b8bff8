#include "tools/render/render_session.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/readable_file.h"
#include "player/load_failure.h"
#include "player/notifying_player.h"
#include "player/passage.h"
#include "player/stream/virtual/virtual_device.h"
#include "smf/text.h"
#include "tools/render/event_line.h"
#include "tools/render/part_files.h"
#include "tools/render/progress_bar.h"
#include "tools/render/song_info_lines.h"
#include "tools/render/volume_keeper.h"
#if QUIRELLE_HAVE_SYNTH
#include "player/stream/synth/audio_file_writer.h"
#include "player/stream/synth/synth_driver.h"
#endif

namespace quirelle::render {
namespace {

constexpr std::uint64_t kShortestStep = 10'000;     // µs of device time per step while busy
constexpr std::uint64_t kLongestStep = 10'000'000;  // grown to this over long silences

bool LoadFile(player::CMidiStreamPlayer& engine, const std::string& path, std::ostream& err) {
  platform::PosixFile file;
  if (!file.Open(path)) {
    err << "quirelle-render: cannot open " << path << ": " << file.Error() << "\n";
    return false;
  }
  if (engine.LoadFromFile(file) == 0) {
    err << "quirelle-render: cannot play " << path << ": " << player::DescribeLoadFailure(engine)
        << "\n";
    return false;
  }
  return true;
}

// The passage the options ask for, in the loaded song. The engine fills its first buffers at the
// load, so a passage other than the one it was loaded with takes a second load.
bool PlayPassage(player::CMidiStreamPlayer& engine, const Options& options, std::ostream& err) {
  const player::Passage loadedWith = engine.passage();
  const player::PassageResult bars =
      player::PassageFromBars(engine.file(), options.fromBar, options.toBar);
  if (!bars.passage) {
    err << "quirelle-render: " << bars.error << "\n";
    return false;
  }
  player::Passage passage = *bars.passage;
  if (!options.fromBar) {
    passage.fromTick = options.fromTick;
    if (options.toBar && passage.fromTick >= passage.endTick) {
      err << "quirelle-render: tick " << options.fromTick << " is past the end of bar "
          << *options.toBar << "\n";
      return false;
    }
  }
  passage.plays = options.plays;
  passage.countIn = options.countIn;
  engine.SetPassage(passage);
  return passage == loadedWith || LoadFile(engine, options.midiPath, err);
}

// The tempo and the starting point go in before the load, so the first buffers already play so.
bool LoadSong(player::CMidiStreamPlayer& engine, const Options& options, std::ostream& err) {
  engine.SetTempoPercent(options.tempoPercent);
  engine.SetPickup(options.pickup);
  engine.SetStartTick(options.fromTick);
  for (std::uint32_t channel = 0; channel < options.volumes.size(); ++channel) {
    engine.SetChannelVolume(channel, options.volumes[channel]);
    engine.SetVoiceMuted(channel, options.muted[channel]);
    engine.SetVoiceSoloed(channel, options.soloed[channel]);
  }
  engine.SetTranspose(options.transpose);
  engine.SetSpeedUp(options.speedStep, options.speedTarget);
  engine.SetStartingNotes(options.startingNotes);
  return LoadFile(engine, options.midiPath, err) && PlayPassage(engine, options, err);
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
  written.speedStep = 0;
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

// Each bar as the window counts it, and its first tick.
int PrintBars(const Options& options, std::ostream& out, std::ostream& err) {
  stream::VirtualDriver driver(stream::VirtualDriver::Mode::kManual);
  player::CMidiStreamPlayer engine(driver, driver.clock());
  if (!LoadSong(engine, options, err)) {
    return 2;
  }
  if (!engine.file().LastBar()) {
    err << "quirelle-render: " << options.midiPath << " is timed in frames and has no bars\n";
    return 2;
  }
  engine.file().ForEachBar(
      [&out](std::int32_t bar, std::uint32_t tick) { out << bar << ' ' << tick << '\n'; });
  return 0;
}

#if QUIRELLE_HAVE_SYNTH
// The song's length at the chosen tempo, from a run on the virtual device (it takes moments).
// Nothing, with the reason told, when the song cannot be played so.
std::optional<double> SongSeconds(const Options& options, std::ostream& err) {
  stream::VirtualDriver driver(stream::VirtualDriver::Mode::kManual);
  if (!PlayOnVirtualDevice(options, driver, err)) {
    return std::nullopt;
  }
  return LastMessageSeconds(driver);
}

// What a file of a render needs beyond the options: the voice held at the centre, and what the
// progress bar shows before itself.
struct FileRender {
  stream::HeldPanChannels centredPan;
  std::string label;
};

int RenderAudioFile(const Options& options, std::ostream& err, const FileRender& how = {}) {
  stream::SynthOptions synth;
  synth.soundFont = options.soundFont;
  synth.sampleRate = options.sampleRate;
  synth.centredPan = how.centredPan;
  if (const std::string problem = stream::CheckSynthOptions(synth); !problem.empty()) {
    err << "quirelle-render: " << problem << "\n";
    return 2;
  }
  // Before the file is made: a song that cannot be played leaves nothing behind.
  const std::optional<double> total = SongSeconds(options, err);
  if (!total) {
    return 2;
  }
  ProgressBar bar(err, ::isatty(STDERR_FILENO) == 1, how.label);
  auto driver = stream::MakeOfflineSynthDriver(synth, options.outputPath, options.format);
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
      bar.Show(static_cast<double>(driver->FramesRendered()) / driver->SampleRate(), *total);
    }
    keeper.Attach(nullptr);
    WarnOfDamage(keeper, options, err);
  }
  const bool written = driver->Finish();
  bar.Finish();
  if (!written) {
    err << "quirelle-render: cannot write " << options.outputPath << ": " << driver->FinishError()
        << "\n";
    return 2;
  }
  return 0;
}

// The names of the song's voices 1 to 4 as the window shows them.
bool ReadVoiceNames(const Options& options, std::array<std::string, 4>* names, std::ostream& err) {
  stream::VirtualDriver driver(stream::VirtualDriver::Mode::kManual);
  player::CMidiStreamPlayer engine(driver, driver.clock());
  if (!LoadSong(engine, options, err)) {
    return false;
  }
  for (std::size_t voice = 0; voice < names->size(); ++voice) {
    (*names)[voice] = smf::DisplayText(engine.channelNames()[voice]);
  }
  return true;
}

bool MakeFolder(const std::string& path, std::ostream& err) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (!error && !std::filesystem::is_directory(path, error)) {
    error = std::make_error_code(std::errc::not_a_directory);
  }
  if (error) {
    err << "quirelle-render: cannot make the folder " << path << ": " << error.message() << "\n";
    return false;
  }
  return true;
}

// One file per voice and the tutti, one after another; stops at the first that fails.
int RenderParts(const Options& options, std::ostream& err) {
  std::array<std::string, 4> names;
  if (!ReadVoiceNames(options, &names, err) || !MakeFolder(options.partsDir, err)) {
    return 2;
  }
  const std::vector<PartFile> parts =
      PartFiles(names, stream::AudioFileFormatName(options.format), options.minus);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    Options part = options;
    part.volumes = parts[i].volumes;
    part.outputPath = (std::filesystem::path(options.partsDir) / parts[i].fileName).string();
    FileRender how;
    if (parts[i].centredChannel) {
      how.centredPan.set(*parts[i].centredChannel);
    }
    how.label = std::to_string(i + 1) + "/" + std::to_string(parts.size()) + " ";
    if (const int status = RenderAudioFile(part, err, how); status != 0) {
      return status;
    }
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
  if (options.bars) {
    return PrintBars(options, out, err);
  }
#if QUIRELLE_HAVE_SYNTH
  if (const std::string problem = stream::AudioFileProblem(options.format, options.sampleRate);
      !problem.empty()) {
    err << "quirelle-render: " << problem << "\n";
    return 2;
  }
  return options.partsDir.empty() ? RenderAudioFile(options, err) : RenderParts(options, err);
#else
  err << "quirelle-render: this build has no synthesizer for audio output\n";
  return 2;
#endif
}

}  // namespace quirelle::render
