// libFuzzer target for the file model: an arbitrary image goes through the loader, the reader
// of every track, the song information scan, the bar numbers, a rewind and a reload. A broken
// bound or a cursor that leaves its track aborts, as do the sanitizers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "smf/event_reader.h"
#include "smf/midi_file.h"
#include "smf/text.h"
#include "tests/smf/exercise_file.h"
#include "tests/smf/fake_load_hooks.h"
#include "tests/smf/image_builder.h"

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

void Exercise(MidiFile& file, test::FakeLoadHooks& hooks) {
  if (!file.HasImage()) {
    Check(file.GetBarNumber(1000) == file.GetBarNumber(1000));
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
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 0xFFFFFFFFu) {
    return 0;
  }
  const test::Bytes bytes(data, data + size);
  test::FakeLoadHooks hooks;
  MidiFile file(hooks);
  // An exact-size block, so that a read past the image is caught.
  file.CreateFromImage(test::ToBlock(bytes), static_cast<std::uint32_t>(size), nullptr);
  Exercise(file, hooks);

  // Again through a file, over the held image: releases it and rebuilds the table.
  test::MemoryFile again(bytes);
  hooks.errors.clear();
  const bool held = file.HasImage();
  file.LoadFromFile(again);
  Check(hooks.freeBuffers == (held ? 1 : 0));
  Exercise(file, hooks);
  return 0;
}
