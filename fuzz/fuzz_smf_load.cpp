// libFuzzer target for the file model and the stream builder: an arbitrary image goes through the
// loader, the reader of every track, the song information scan, the bar numbers, a rewind and a
// reload, and then through an engine whose device refuses to open, whose builder fills buffers to
// the song's end, once whole and once as a passage played up to three times. A broken bound, a
// cursor that leaves its track, a fill that makes no progress or a bar number that goes back
// aborts, as do the sanitizers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "player/midi_stream_player.h"
#include "player/stream_buffer.h"
#include "smf/event_reader.h"
#include "smf/midi_file.h"
#include "smf/text.h"
#include "tests/smf/exercise_file.h"
#include "tests/smf/image_builder.h"
#include "tests/smf/read_recorder.h"
#include "tests/support/refusing_driver.h"

namespace {

using quirelle::smf::MidiFile;
namespace test = quirelle::smf::test;

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

bool KnownMessage(const std::string& message) {
  namespace smf = quirelle::smf;
  for (const char* known :
       {smf::kMissingRunningStatus, smf::kSysExTruncatedLength, smf::kSysExTruncated,
        smf::kMetaTruncatedLength, smf::kMetaTruncated, smf::kOutOfMemory}) {
    if (message == known) {
      return true;
    }
  }
  return false;
}

// The bar list goes forward in bars and ticks, and each bar's tick shows that bar.
void CheckBarList(const MidiFile& file) {
  std::int64_t lastBar = -1;
  std::int64_t lastTick = -1;
  int listed = 0;
  file.ForEachBar([&](std::int32_t bar, std::uint32_t tick) {
    Check(bar > lastBar && tick > lastTick);
    Check(file.GetBarNumber(tick) == bar);
    Check(file.BarStartTick(bar) == tick);
    lastBar = bar;
    lastTick = tick;
    return ++listed < 256;
  });
}

void Exercise(MidiFile& file, test::ReadRecorder& hooks) {
  if (!file.HasImage()) {
    return;
  }
  Check(file.tracks().size() == file.trackCount());
  const test::FileOutcome outcome = test::ExerciseFile(file, hooks);
  Check(outcome.inBounds);
  Check(outcome.rewindMatches);
  Check(outcome.readersAgree);
  for (const std::string& message : hooks.errors) {
    Check(KnownMessage(message));
  }
  // The window shows these; the conversion must take any bytes.
  Check(!quirelle::smf::DisplayText(file.title()).empty() || file.title().empty());
  for (const std::string& name : file.channelNames()) {
    Check(!quirelle::smf::DisplayText(name).empty() || name.empty());
  }
  // Voices never play on the drums' channel, nor off the sixteen.
  for (const quirelle::smf::Voice& voice : file.voiceMap().voices()) {
    Check(voice.playedOn < 16 && voice.channel != 9 && voice.playedOn != 9);
  }
  CheckBarList(file);
}

// Every event the builder wrote is a whole 12-byte record of a kind the device plays.
void CheckWritten(const quirelle::player::StreamBuffer& buffer) {
  namespace stream = quirelle::stream;
  Check(buffer.bytesUsed <= quirelle::player::kStreamBufferBytes);
  Check(buffer.bytesUsed % sizeof(stream::MIDIEVENT) == 0);
  for (std::uint32_t at = 0; at < buffer.bytesUsed; at += sizeof(stream::MIDIEVENT)) {
    stream::MIDIEVENT event;
    std::memcpy(&event, buffer.block.get() + at, sizeof event);
    const std::uint32_t kind = stream::MevtEventType(event.dwEvent) & 0x3F;
    Check(kind == stream::MEVT_SHORTMSG || kind == stream::MEVT_TEMPO || kind == stream::MEVT_NOP);
  }
}

// Bar numbers never go back as the position moves on through the song and past it; a song has
// bar numbers everywhere or (SMPTE time) nowhere.
void CheckBarsGoForward(const quirelle::player::CMidiStreamPlayer& engine, std::uint32_t end) {
  const std::optional<std::int32_t> first = engine.GetBarNumber(0);
  std::int32_t last = first.value_or(0);
  constexpr std::uint32_t kSteps = 64;
  for (std::uint32_t step = 1; step <= kSteps + 1; ++step) {
    const auto position = step > kSteps
                              ? 0xFFFFFFFFu
                              : static_cast<std::uint32_t>(std::uint64_t{end} * step / kSteps);
    const std::optional<std::int32_t> bar = engine.GetBarNumber(position);
    Check(bar.has_value() == first.has_value());
    if (bar) {
      Check(*bar >= last);
      last = *bar;
    }
  }
}

// Loads the image into an engine without a device and fills buffers until the song ends or a
// read error stops it. Each fill consumes at least one event, or marks the song finished, so the
// number of fills is bounded by the image's size.
void DriveBuilder(const test::Bytes& bytes, const quirelle::player::Passage& passage,
                  std::uint32_t pickup = 0) {
  namespace player = quirelle::player;
  quirelle::testing::RefusingDriver driver;
  player::CMidiStreamPlayer engine(driver);
  engine.SetPassage(passage);
  engine.SetPickup(pickup);
  engine.CreateFromImage(test::ToBlock(bytes), static_cast<std::uint32_t>(bytes.size()));
  if (!engine.file().HasImage()) {
    return;
  }
  player::StreamBuffer buffer;
  buffer.block = quirelle::platform::AllocateBlock(player::kStreamBufferBytes);
  buffer.header.lpData = buffer.block.get();
  int result = 0;
  int emptyFills = 0;
  bool ended = false;
  // Each repeat reads the song again, with up to 17 count-in events and releases of 16 channels.
  const std::size_t fills = passage.plays * (bytes.size() + 2 + 17 + 16 * 130);
  for (std::size_t fill = 0; fill <= fills; ++fill) {
    buffer.ResetForFill();
    result = engine.FillBuffer(fill == 0, buffer);
    CheckWritten(buffer);
    if (result != 0) {
      ended = true;
      break;
    }
    emptyFills += buffer.bytesUsed == 0 ? 1 : 0;
    Check(emptyFills <= static_cast<int>(passage.plays));
  }
  Check(ended);
  Check(result == player::kFillSongEnded || result == player::kFillReadError);
  CheckBarsGoForward(engine, engine.runningTotal());
  CheckBarList(engine.file());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 0xFFFFFFFFu) {
    return 0;
  }
  const test::Bytes bytes(data, data + size);
  test::ReadRecorder hooks;
  MidiFile file;
  // An exact-size block, so that a read past the image is caught.
  file.CreateFromImage(test::ToBlock(bytes), static_cast<std::uint32_t>(size));
  Exercise(file, hooks);

  // Again through a file, over the held image: releases it and rebuilds the table.
  test::MemoryFile again(bytes);
  hooks.errors.clear();
  file.LoadFromFile(again);
  Exercise(file, hooks);

  DriveBuilder(bytes, {});
  // And as a passage the input's last bytes choose: a start, an end, up to three plays, a count-in.
  if (size >= 4) {
    const std::uint8_t* tail = data + size - 4;
    quirelle::player::Passage passage;
    passage.fromTick = std::uint32_t{tail[0]} << 4;
    passage.endTick = tail[1] == 0 ? quirelle::player::Passage::kSongEnd
                                   : passage.fromTick + (std::uint32_t{tail[1]} << 4);
    passage.plays = 1 + tail[2] % 3;
    passage.countIn = (tail[3] & 1) != 0;
    DriveBuilder(bytes, passage, (tail[3] >> 1) & 7);
  }
  return 0;
}
