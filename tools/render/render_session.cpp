#include "tools/render/render_session.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
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
#include "tools/render/lyrics_file.h"
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
constexpr std::uint64_t kWordsStep = 1'000;  // µs between two looks at the song's tick for words

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

void NoteMoment(player::CMidiStreamPlayer& engine, std::uint64_t micros, MomentKeeper& moments) {
  stream::MMTIME time{};
  time.wType = stream::TIME_TICKS;
  if (engine.GetPosition(&time) != 0 && time.wType == stream::TIME_TICKS) {
    moments.Add({micros, time.u.ticks});
  }
}

// Prints what the device has played since the last call; the pauses' silencing is left out.
void PrintEvents(stream::VirtualDriver& driver, std::ostream& out) {
  for (const stream::RecordedMessage& message : driver.TakeMessages()) {
    if (message.kind != stream::RecordedMessage::Kind::kSilence) {
      out << EventLine(message.micros, message.tick, message.message) << '\n';
    }
  }
}

// Plays the song on the virtual device to its end; false when it cannot be loaded. `stepped`
// sees the device after each step of its clock and once more at the end, `loaded` the engine once
// the song is loaded; with `moments`, the song's tick is noted every kWordsStep.
bool PlayOnVirtualDevice(
    const Options& options, stream::VirtualDriver& driver, std::ostream& err,
    const std::function<void(stream::VirtualDriver&)>& stepped,
    const std::function<void(const player::CMidiStreamPlayer&)>& loaded = nullptr,
    MomentKeeper* moments = nullptr) {
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
  std::uint64_t step = moments != nullptr ? kWordsStep : kShortestStep;
  for (std::uint64_t now = 0; !keeper.closed(); now += step) {
    if (moments != nullptr) {
      NoteMoment(engine, now, *moments);
    }
    const std::uint64_t before = keeper.posted();
    driver.Advance(step);
    driver.WaitIdle();
    stepped(driver);
    // Over a long silence nothing comes back: take longer steps until something does.
    if (moments == nullptr) {
      step = keeper.posted() != before ? kShortestStep : std::min(step * 2, kLongestStep);
    }
  }
  keeper.Attach(nullptr);
  stepped(driver);
  WarnOfDamage(keeper, options, err);
  return true;
}

// The lines go out as the song plays, so a long song never waits in memory whole.
int RenderEvents(const Options& options, std::ostream& out, std::ostream& err) {
  stream::VirtualDriver driver(stream::VirtualDriver::Mode::kManual);
  const bool played = PlayOnVirtualDevice(options, driver, err,
                                          [&](stream::VirtualDriver& d) { PrintEvents(d, out); });
  return played ? 0 : 2;
}

// What the window shows, and the song's length at its written tempo, from its tempo map.
int PrintInfo(const Options& options, std::ostream& out, std::ostream& err) {
  stream::VirtualDriver driver(stream::VirtualDriver::Mode::kManual);
  player::CMidiStreamPlayer engine(driver, driver.clock());
  if (!LoadSong(engine, options, err)) {
    return 2;
  }
  const smf::TempoMap tempos(engine.file());
  if (tempos.damage() != nullptr) {
    err << "quirelle-render: " << options.midiPath << ": the song ends early: " << tempos.damage()
        << "\n";
  }
  out << SongInfoLines(engine, options.midiPath)
      << SecondsLine(PassageSeconds(engine.file(), tempos, engine.passage(), 100));
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
  engine.file().ForEachBar([&out](std::int32_t bar, std::uint32_t tick) {
    return static_cast<bool>(out << bar << ' ' << tick << '\n');
  });
  return 0;
}

// The words of the song's voices and when the render reaches each tick.
struct WordsInTime {
  std::vector<smf::Words> words;
  smf::VoiceMap voices;
  std::vector<SongMoment> moments;
  std::uint32_t fromTick = 0;
};

// False when the song cannot be played.
bool PlayForWords(const Options& options, WordsInTime& found, std::ostream& err) {
  stream::VirtualDriver driver(stream::VirtualDriver::Mode::kManual);
  MomentKeeper moments({});
  const auto collect = [&found, &moments](const player::CMidiStreamPlayer& engine) {
    found.words = engine.file().words();
    found.voices = engine.file().voiceMap();
    found.fromTick = engine.passage().fromTick;
    std::vector<std::uint32_t> ticks;
    for (const smf::Words& words : found.words) {
      const std::vector<std::uint32_t> more = LrcTicks(words, found.fromTick);
      ticks.insert(ticks.end(), more.begin(), more.end());
    }
    moments = MomentKeeper(ticks);
  };
  // The messages are not needed: the device lets them go as it plays.
  const auto forget = [](stream::VirtualDriver& played) { played.TakeMessages(); };
  const bool played = PlayOnVirtualDevice(options, driver, err, forget, collect, &moments);
  found.moments = moments.Kept();
  return played;
}

// The words of voice V (1 to 16, by the channel it plays on), or with 0 of the first voice
// with words; null when it has none.
const smf::Words* WordsOfVoice(const WordsInTime& found, std::uint32_t voice) {
  if (voice == 0) {
    const std::optional<std::uint8_t> first = smf::FirstChannelWithWords(found.words, found.voices);
    return first ? smf::WordsOnChannel(found.words, found.voices, *first) : nullptr;
  }
  return smf::WordsOnChannel(found.words, found.voices, static_cast<std::uint8_t>(voice - 1));
}

int PrintLyrics(const Options& options, std::ostream& out, std::ostream& err) {
  WordsInTime found;
  if (!PlayForWords(options, found, err)) {
    return 2;
  }
  const smf::Words* words = WordsOfVoice(found, options.lyricsVoice);
  if (words == nullptr) {
    err << "quirelle-render: " << options.midiPath << " has no words"
        << (options.lyricsVoice == 0 ? "" : " for voice " + std::to_string(options.lyricsVoice))
        << "\n";
    return 2;
  }
  out << LrcText(*words, found.moments, found.fromTick);
  return 0;
}

#if QUIRELLE_HAVE_SYNTH
// The song's length at the chosen tempo, from its tempo map. Nothing, with the reason told, when
// the song cannot be played so.
std::optional<double> SongSeconds(const Options& options, std::ostream& err) {
  stream::VirtualDriver driver(stream::VirtualDriver::Mode::kManual);
  player::CMidiStreamPlayer engine(driver, driver.clock());
  if (!LoadSong(engine, options, err)) {
    return std::nullopt;
  }
  return PassageSeconds(engine.file(), smf::TempoMap(engine.file()), engine.passage(),
                        options.tempoPercent);
}

// What a file of a render needs beyond the options: the voice held at the centre, and what the
// progress bar shows before itself.
struct FileRender {
  stream::HeldPanChannels centredPan;
  std::string label;
  std::string shownPath;  // the file's name for the user, when it is written under another first
};

// `text` naming the file as the user knows it.
std::string ShownAs(std::string text, const std::string& written, const FileRender& how) {
  if (how.shownPath.empty()) {
    return text;
  }
  for (std::size_t at = 0; (at = text.find(written, at)) != std::string::npos;) {
    text.replace(at, written.size(), how.shownPath);
    at += how.shownPath.size();
  }
  return text;
}

// A writer's error, naming the file once.
std::string WriteError(const std::string& text, const std::string& written, const FileRender& how) {
  const std::string shown = how.shownPath.empty() ? written : how.shownPath;
  const std::string named = ShownAs(text, written, how);
  return named.find(shown) != std::string::npos ? named : "cannot write " + shown + ": " + named;
}

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
    std::ostringstream loadError;  // the output file is made here, and may be refused
    if (!LoadSong(engine, options, loadError)) {
      err << ShownAs(loadError.str(), options.outputPath, how);
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
    err << "quirelle-render: " << WriteError(driver->FinishError(), options.outputPath, how)
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

// A track's words beside it, NAME.lrc, staged with the run's audio files; nothing for a voice
// without words.
bool WriteLyricsFile(const WordsInTime& found, const PartFile& part, PartsRun& run,
                     const std::string& folder, std::ostream& err) {
  const smf::Words* words = WordsOfVoice(found, part.centredChannel ? *part.centredChannel + 1 : 0);
  if (words == nullptr) {
    return true;
  }
  const std::string name = std::filesystem::path(part.fileName).replace_extension("lrc").string();
  std::ofstream file(run.StagedPath(name), std::ios::binary);
  file << LrcText(*words, found.moments, found.fromTick);
  file.close();
  if (!file) {
    err << "quirelle-render: cannot write " << (std::filesystem::path(folder) / name).string()
        << "\n";
    return false;
  }
  return true;
}

// One file per voice and the tutti, each with its words, one after another; stops at the first
// that fails, and then the run leaves nothing behind.
int RenderParts(const Options& options, std::ostream& err) {
  std::array<std::string, 4> names;
  WordsInTime found;
  if (!ReadVoiceNames(options, &names, err) || !PlayForWords(options, found, err)) {
    return 2;
  }
  PartsRun run;
  std::string error;
  if (!run.MakeFolder(options.partsDir, &error)) {
    err << "quirelle-render: " << error << "\n";
    return 2;
  }
  const std::vector<PartFile> parts =
      PartFiles(names, stream::AudioFileFormatName(options.format), options.minus);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    Options part = options;
    part.volumes = parts[i].volumes;
    part.outputPath = run.StagedPath(parts[i].fileName);
    FileRender how;
    how.shownPath = (std::filesystem::path(options.partsDir) / parts[i].fileName).string();
    if (parts[i].centredChannel) {
      how.centredPan.set(*parts[i].centredChannel);
    }
    how.label = std::to_string(i + 1) + "/" + std::to_string(parts.size()) + " ";
    if (const int status = RenderAudioFile(part, err, how); status != 0) {
      return status;
    }
    if (!WriteLyricsFile(found, parts[i], run, options.partsDir, err)) {
      return 2;
    }
  }
  if (!run.Finish(&error)) {
    err << "quirelle-render: " << error << "\n";
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
  if (options.bars) {
    return PrintBars(options, out, err);
  }
  if (options.lyrics) {
    return PrintLyrics(options, out, err);
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
