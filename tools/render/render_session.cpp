#include "tools/render/render_session.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/readable_file.h"
#include "player/load_failure.h"
#include "player/notifying_player.h"
#include "player/passage.h"
#include "player/stream/virtual/virtual_device.h"
#include "sing/take_file.h"
#include "smf/text.h"
#include "tools/render/event_line.h"
#include "tools/render/lyrics_file.h"
#include "tools/render/part_files.h"
#include "tools/render/progress_bar.h"
#include "tools/render/song_info_lines.h"
#include "tools/render/take_lines.h"
#include "tools/render/volume_keeper.h"

#if QUIRELLE_HAVE_PICTURE
#include "tools/render/part_picture.h"
#endif
#if QUIRELLE_HAVE_SYNTH
#include "player/stream/synth/audio_file_writer.h"
#include "player/stream/synth/synth_driver.h"
#include "tools/render/stem_mix.h"
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

void SetVoice(player::CMidiStreamPlayer& engine, const Options& options, std::size_t voice,
              std::uint32_t channel) {
  engine.SetChannelVolume(channel, options.volumes[voice]);
  engine.SetVoiceMuted(channel, options.muted[voice]);
  engine.SetVoiceSoloed(channel, options.soloed[voice]);
}

// The tempo and the starting point go in before the load, so the first buffers already play so.
// So do voices 1 to 4, channels 1 to 4 in every song; where a further voice plays is known once
// the song is read, and a further voice set takes a second load.
bool LoadSong(player::CMidiStreamPlayer& engine, const Options& options, std::ostream& err) {
  engine.SetTempoPercent(options.tempoPercent);
  engine.SetPickup(options.pickup);
  engine.SetStartTick(options.fromTick);
  for (std::uint32_t voice = 0; voice < 4; ++voice) {
    SetVoice(engine, options, voice, voice);
  }
  engine.SetTranspose(options.transpose);
  engine.SetSpeedUp(options.speedStep, options.speedTarget);
  engine.SetStartingNotes(options.startingNotes);
  if (!LoadFile(engine, options.midiPath, err)) {
    return false;
  }
  const std::vector<std::uint8_t>& channels = engine.file().voiceMap().voiceChannels();
  bool further = false;
  for (std::size_t voice = 4; voice < kMostVoices; ++voice) {
    if (options.volumes[voice] == 100 && !options.muted[voice] && !options.soloed[voice]) {
      continue;
    }
    if (voice >= channels.size()) {
      err << "quirelle-render: " << options.midiPath << " has no voice " << voice + 1
          << " (its voices are 1 to " << channels.size() << ")\n";
      return false;
    }
    SetVoice(engine, options, voice, channels[voice]);
    further = true;
  }
  return (!further || LoadFile(engine, options.midiPath, err)) && PlayPassage(engine, options, err);
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

int DrawPicture(const Options& options, std::ostream& err) {
#if QUIRELLE_HAVE_PICTURE
  stream::VirtualDriver driver(stream::VirtualDriver::Mode::kManual);
  player::CMidiStreamPlayer engine(driver, driver.clock());
  if (!LoadSong(engine, options, err)) {
    return 2;
  }
  return WritePicture(engine, options, err);
#else
  static_cast<void>(options);
  err << "quirelle-render: this build has no Qt to draw --picture with\n";
  return 2;
#endif
}

// The words of the song's voices and when the render reaches each tick.
struct WordsInTime {
  std::vector<smf::Words> words;
  smf::VoiceMap voices;
  std::vector<SongMoment> moments;
  std::uint32_t fromTick = 0;
};

// False when the song cannot be played. `heard`, if given, sees every message the song sends.
bool PlayForWords(const Options& options, WordsInTime& found, std::ostream& err,
                  const std::function<void(std::uint32_t)>& heard = nullptr) {
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
  // The device lets the messages go as it plays.
  const auto forget = [&heard](stream::VirtualDriver& played) {
    for (const stream::RecordedMessage& message : played.TakeMessages()) {
      if (heard && message.kind != stream::RecordedMessage::Kind::kSilence) {
        heard(message.message);
      }
    }
  };
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

// The channel --judge listens to: voice V's, as --info numbers the voices; without --voice, the
// voice with words, else voice 1. Nothing, with the reason told, when the song has no such voice.
std::optional<std::uint8_t> JudgedChannel(const player::CMidiStreamPlayer& engine,
                                          const Options& options, std::ostream& err) {
  const smf::VoiceMap& voices = engine.file().voiceMap();
  if (options.voice == 0) {
    return smf::FirstChannelWithWords(engine.file().words(), voices).value_or(0);
  }
  const std::vector<std::uint8_t>& channels = voices.voiceChannels();
  if (options.voice <= channels.size() && voices.FirstVoiceOn(channels[options.voice - 1])) {
    return channels[options.voice - 1];
  }
  err << "quirelle-render: " << options.midiPath << " has no voice " << options.voice << "\n";
  return std::nullopt;
}

// The voice's notes as the render sounds them (every option that moves time or key applies; mute
// and solo only silence), then the take judged against them.
int JudgeTake(const Options& options, std::ostream& out, std::ostream& err) {
  Options heard = options;
  heard.muted.fill(false);
  heard.soloed.fill(false);
  stream::VirtualDriver driver(stream::VirtualDriver::Mode::kManual);
  const player::CMidiStreamPlayer* engine = nullptr;
  std::optional<std::uint8_t> channel;
  std::optional<SoundedLine> line;
  double lastSeconds = 0;
  const auto loaded = [&](const player::CMidiStreamPlayer& played) {
    engine = &played;
    channel = JudgedChannel(played, options, err);
    line.emplace(channel.value_or(0));
  };
  const auto hear = [&](stream::VirtualDriver& played) {
    for (const stream::RecordedMessage& message : played.TakeMessages()) {
      const double seconds = static_cast<double>(message.micros) * 1e-6 +
                             static_cast<double>(message.fraction) * 1e-6 /
                                 static_cast<double>(message.fractionDenominator);
      const std::uint32_t tick = engine->SongTickAt(message.tick);
      line->Hear(message.message, seconds, tick, engine->GetBarNumber(tick));
      lastSeconds = std::max(lastSeconds, seconds);
    }
  };
  if (!PlayOnVirtualDevice(heard, driver, err, hear, loaded) || !channel) {
    return 2;
  }
  const std::vector<sing::WrittenNote> notes = line->Finish(lastSeconds);
  const double longest = (notes.empty() ? 0 : notes.back().end) + 2 * sing::kLongestOffset + 1;
  const sing::TakeResult take = sing::ReadTake(options.takePath, longest);
  if (!take.error.empty()) {
    err << "quirelle-render: " << take.error << "\n";
    return 2;
  }
  double hopSeconds = 0;
  const std::vector<sing::PitchFrame> frames =
      sing::TrackTake(take.take.samples, take.take.sampleRate, &hopSeconds);
  out << JudgeLines(
      notes, sing::JudgeTake(notes, frames, hopSeconds, static_cast<int>(options.tolerance)));
  return 0;
}

#if QUIRELLE_HAVE_SYNTH
// The song's length at the chosen tempo, from its tempo map. Nothing, with the reason told, when
// the song cannot be played so.
double LoadedSeconds(const player::CMidiStreamPlayer& engine, const Options& options) {
  return PassageSeconds(engine.file(), smf::TempoMap(engine.file()), engine.passage(),
                        options.tempoPercent);
}

std::optional<double> SongSeconds(const Options& options, std::ostream& err) {
  stream::VirtualDriver driver(stream::VirtualDriver::Mode::kManual);
  player::CMidiStreamPlayer engine(driver, driver.clock());
  if (!LoadSong(engine, options, err)) {
    return std::nullopt;
  }
  return LoadedSeconds(engine, options);
}

// A writer's error, naming the file once and as the user knows it (`shown`, when it was written
// under the name `written` first).
std::string WriteError(std::string text, const std::string& written, const std::string& shown) {
  for (std::size_t at = 0; (at = text.find(written, at)) != std::string::npos;) {
    text.replace(at, written.size(), shown);
    at += shown.size();
  }
  return text.find(shown) != std::string::npos ? text : "cannot write " + shown + ": " + text;
}

// Plays the song into `driver` to its end, calling `waiting` about ten times a second; 2 with the
// reason told when it cannot be loaded.
int PlayIntoDriver(const Options& options, stream::OfflineSynthDriver& driver, std::ostream& err,
                   const std::function<void()>& waiting) {
  VolumeKeeper keeper(options.volumes);
  player::CNotifyingPlayer engine(driver);
  engine.SetListener(&keeper);
  // The output file is made here, and may be refused.
  if (!LoadSong(engine, options, err)) {
    return 2;
  }
  keeper.Attach(&engine);
  // The volumes right after Play go in before the first sample is rendered.
  driver.HoldRendering(true);
  engine.Play(false);
  keeper.SendVolumes();
  driver.HoldRendering(false);
  while (!keeper.WaitClosed(100)) {
    waiting();
  }
  keeper.Attach(nullptr);
  WarnOfDamage(keeper, options, err);
  return 0;
}

stream::SynthOptions SynthOptionsOf(const Options& options) {
  stream::SynthOptions synth;
  synth.soundFont = options.soundFont;
  synth.sampleRate = options.sampleRate;
  return synth;
}

int RenderAudioFile(const Options& options, std::ostream& err) {
  const stream::SynthOptions synth = SynthOptionsOf(options);
  if (const std::string problem = stream::CheckSynthOptions(synth); !problem.empty()) {
    err << "quirelle-render: " << problem << "\n";
    return 2;
  }
  // Before the file is made: a song that cannot be played leaves nothing behind.
  const std::optional<double> total = SongSeconds(options, err);
  if (!total) {
    return 2;
  }
  ProgressBar bar(err, ::isatty(STDERR_FILENO) == 1);
  auto driver = stream::MakeOfflineSynthDriver(synth, options.outputPath, options.format);
  const auto showProgress = [&] {
    bar.Show(static_cast<double>(driver->FramesRendered()) / driver->SampleRate(), *total);
  };
  if (PlayIntoDriver(options, *driver, err, showProgress) != 0) {
    return 2;
  }
  const bool written = driver->Finish();
  bar.Finish();
  if (!written) {
    err << "quirelle-render: "
        << WriteError(driver->FinishError(), options.outputPath, options.outputPath) << "\n";
    return 2;
  }
  return 0;
}

// What a rehearsal set needs to know of the song before it is rendered, from one load.
struct PartsSong {
  std::vector<SungVoice> sung;  // as the window names them
  ChannelSet sungChannels;
  std::vector<std::uint8_t> channels;  // of every voice, by number
  double seconds = 0;                  // as SongSeconds gives it, for the progress bar
};

// Nothing, with the reason told, when the song cannot be played.
std::optional<PartsSong> ReadPartsSong(const Options& options, std::ostream& err) {
  stream::VirtualDriver driver(stream::VirtualDriver::Mode::kManual);
  player::CMidiStreamPlayer engine(driver, driver.clock());
  if (!LoadSong(engine, options, err)) {
    return std::nullopt;
  }
  PartsSong song;
  song.channels = engine.file().voiceMap().voiceChannels();
  const std::vector<smf::VoiceRole>& roles = engine.file().roles();
  for (std::size_t voice = 0; voice < song.channels.size(); ++voice) {
    if (voice < roles.size() && roles[voice] == smf::VoiceRole::kAccompaniment) {
      continue;
    }
    const std::uint8_t channel = song.channels[voice];
    song.sung.push_back({smf::DisplayText(engine.channelNames()[channel]),
                         static_cast<std::uint32_t>(voice + 1), channel});
    song.sungChannels.set(channel);
  }
  song.seconds = LoadedSeconds(engine, options);
  return song;
}

// A track's words beside it, NAME.lrc, staged with the run's audio files; nothing for a voice
// without words.
bool WriteLyricsFile(const WordsInTime& found, const PartFile& part, PartsRun& run,
                     const std::string& folder, std::ostream& err) {
  const smf::Words* words =
      part.centredChannel ? smf::WordsOnChannel(found.words, found.voices,
                                                static_cast<std::uint8_t>(*part.centredChannel))
                          : WordsOfVoice(found, 0);
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

// The stems of one job of a rehearsal set, rendered into `queue`; what went wrong, if anything,
// and the song's warnings.
struct StemJobResult {
  int status = 0;
  std::string told;
};

StemJobResult RenderStemJob(const Options& options, const PartsSong& song, const StemPlan& plan,
                            const StemJob& job, StemQueue& queue) {
  stream::SynthOptions synth = SynthOptionsOf(options);
  synth.stems = &queue;
  synth.restStem = plan.rest;
  synth.stemVoices = static_cast<std::uint16_t>(plan.voices.to_ulong());
  if (job.centred) {
    synth.centredPan = job.voices;
  }
  Options played = options;
  for (std::size_t voice = 0; voice < song.channels.size() && voice < kMostVoices; ++voice) {
    played.volumes[voice] = plan.voices.test(song.channels[voice]) ? job.percent : 100;
  }
  std::ostringstream told;
  auto driver = stream::MakeOfflineSynthDriver(synth, {}, options.format);
  StemJobResult result{PlayIntoDriver(played, *driver, told, [] {}), {}};
  if (!driver->Finish() && result.status == 0) {
    told << "quirelle-render: " << driver->FinishError() << "\n";
    result.status = 2;
  }
  result.told = told.str();
  return result;
}

// Renders the stems of `plan` on threads of their own and mixes `parts` from them; 2 with the
// reason told when a stem or a file fails.
int MixPartFiles(const Options& options, const std::vector<PartFile>& parts, const StemPlan& plan,
                 const PartsSong& song, PartsRun& run, std::ostream& err) {
  const double seconds = song.seconds;
  std::vector<std::string> staged;
  std::vector<std::unique_ptr<stream::AudioFileWriter>> writers;
  std::vector<stream::SynthAudioSink*> sinks;
  for (const PartFile& part : parts) {
    staged.push_back(run.StagedPath(part.fileName));
    writers.push_back(std::make_unique<stream::AudioFileWriter>(staged.back(), options.sampleRate,
                                                                options.format));
    sinks.push_back(writers.back().get());
  }
  const auto shown = [&](std::size_t file) {
    return (std::filesystem::path(options.partsDir) / parts[file].fileName).string();
  };
  const auto failed = [&](std::size_t file) {
    err << "quirelle-render: " << WriteError(writers[file]->error(), staged[file], shown(file))
        << "\n";
    return 2;
  };
  for (std::size_t file = 0; file < writers.size(); ++file) {
    if (!writers[file]->ok()) {
      return failed(file);
    }
  }
  std::vector<std::unique_ptr<StemQueue>> queues;
  std::vector<StemJobResult> results(plan.jobs.size());
  std::vector<std::thread> threads;
  for (std::size_t job = 0; job < plan.jobs.size(); ++job) {
    queues.push_back(std::make_unique<StemQueue>(plan.outputs));
  }
  for (std::size_t job = 0; job < plan.jobs.size(); ++job) {
    threads.emplace_back([&, job] {
      results[job] = RenderStemJob(options, song, plan, plan.jobs[job], *queues[job]);
      queues[job]->End();
    });
  }
  ProgressBar bar(err, ::isatty(STDERR_FILENO) == 1);
  const std::optional<std::size_t> refused =
      MixStems(plan, queues, options.sampleRate, sinks, [&](std::uint64_t frames) {
        bar.Show(static_cast<double>(frames) / options.sampleRate, seconds);
      });
  for (std::thread& thread : threads) {
    thread.join();
  }
  bar.Finish();
  // The first job's warnings stand for all: every job plays the same song.
  const auto broken = std::find_if(results.begin(), results.end(),
                                   [](const StemJobResult& r) { return r.status != 0; });
  err << (broken != results.end() ? broken->told : results.empty() ? "" : results.front().told);
  if (broken != results.end()) {
    return 2;
  }
  if (refused) {
    return failed(*refused);
  }
  // Each file waits for the disk at its close; together they wait once.
  std::vector<char> closed(writers.size());
  std::vector<std::thread> closers;
  for (std::size_t file = 0; file < writers.size(); ++file) {
    closers.emplace_back([&, file] { closed[file] = writers[file]->Close() ? 1 : 0; });
  }
  for (std::thread& closer : closers) {
    closer.join();
  }
  const auto unclosed = std::find(closed.begin(), closed.end(), 0);
  return unclosed == closed.end() ? 0 : failed(static_cast<std::size_t>(unclosed - closed.begin()));
}

// The voices' tracks, the tutti and the minus tracks, each with its words, mixed from stems; a run
// that fails leaves nothing behind.
int RenderParts(const Options& options, std::ostream& err) {
  WordsInTime found;
  SongSounds sounds;
  if (const std::string problem = stream::CheckSynthOptions(SynthOptionsOf(options));
      !problem.empty()) {
    err << "quirelle-render: " << problem << "\n";
    return 2;
  }
  const auto hear = [&sounds](std::uint32_t message) { sounds.Hear(message); };
  const std::optional<PartsSong> song = ReadPartsSong(options, err);
  if (!song || !PlayForWords(options, found, err, hear)) {
    return 2;
  }
  PartsRun run;
  std::string error;
  if (!run.MakeFolder(options.partsDir, &error)) {
    err << "quirelle-render: " << error << "\n";
    return 2;
  }
  const std::vector<PartFile> parts =
      PartFiles(song->sung, stream::AudioFileFormatName(options.format), options.minus);
  const StemPlan plan = PlanStems(parts, sounds, song->sungChannels);
  if (const int status = MixPartFiles(options, parts, plan, *song, run, err); status != 0) {
    return status;
  }
  for (const PartFile& part : parts) {
    if (!WriteLyricsFile(found, part, run, options.partsDir, err)) {
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
  if (!options.picturePath.empty()) {
    return DrawPicture(options, err);
  }
  if (!options.takePath.empty()) {
    return JudgeTake(options, out, err);
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
