// Every file of the shared corpus goes through the loader, the reader of every track, the scan
// and the bar numbers without leaving its bounds; the malformed and unusual ones are handled
// as the table below says.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/readable_file.h"
#include "smf/event_reader.h"
#include "smf/midi_file.h"
#include "tests/smf/exercise_file.h"
#include "tests/smf/read_recorder.h"

namespace quirelle::smf {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  bool opened = false;
  int loaded = 0;
  std::uint16_t trackCount = 0;
  int tracksInError = 0;            // tracks whose reading ended on a failed read, not on their end
  std::vector<std::string> errors;  // parse error texts, in reading order
  std::string title;
  std::size_t timeSignatures = 0;
  std::uint64_t events = 0;
  bool inBounds = true;
  bool rewindMatches = true;
  bool readersAgree = true;
};

Outcome LoadAndRead(const fs::path& path) {
  Outcome outcome;
  platform::PosixFile posix;
  outcome.opened = posix.Open(path.string());
  if (!outcome.opened) {
    return outcome;
  }
  test::ReadRecorder hooks;
  MidiFile file;
  outcome.loaded = file.LoadFromFile(posix);
  outcome.title = file.title();
  if (!file.HasImage()) {
    return outcome;
  }
  outcome.trackCount = file.trackCount();
  outcome.timeSignatures = file.timeSignatures().entries().size();
  const test::FileOutcome exercised = test::ExerciseFile(file, hooks);
  for (const test::TrackOutcome& track : exercised.tracks) {
    outcome.events += track.events;
    outcome.tracksInError += track.finished ? 0 : 1;
  }
  outcome.errors = hooks.errors;
  outcome.inBounds = exercised.inBounds;
  outcome.rewindMatches = exercised.rewindMatches;
  outcome.readersAgree = exercised.readersAgree;
  return outcome;
}

std::vector<fs::path> CorpusFiles() {
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(QUIRELLE_CORPUS_DIR)) {
    if (entry.is_regular_file()) {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(Corpus, EveryFileLoadsReadsAndScansInBounds) {
  const std::vector<fs::path> files = CorpusFiles();
  ASSERT_GT(files.size(), 100u) << "corpus missing at " << QUIRELLE_CORPUS_DIR;
  int midiFiles = 0;
  for (const fs::path& path : files) {
    SCOPED_TRACE(path.string());
    const Outcome o = LoadAndRead(path);
    ASSERT_TRUE(o.opened);
    EXPECT_TRUE(o.inBounds);
    EXPECT_TRUE(o.rewindMatches);
    EXPECT_TRUE(o.readersAgree);
    const std::string ext = path.extension().string();
    if (ext == ".mid" || ext == ".midi" || ext == ".kar") {
      ++midiFiles;
    } else if (ext != ".rmi") {
      EXPECT_EQ(o.loaded, 0) << "a text or licence file is not a MIDI file";
    }
  }
  EXPECT_GT(midiFiles, 100);
}

// What the loader does with the malformed or unusual files of the corpus.
struct Expected {
  std::string path;  // below the corpus folder
  int loaded;
  std::uint16_t trackCount;
  std::uint64_t events;  // delivered by reading every track to its end
  int tracksInError;
  std::vector<std::string> errors;
};

const std::vector<Expected>& MalformedFiles();

TEST(Corpus, MalformedFilesAreHandledAsExpected) {
  for (const Expected& e : MalformedFiles()) {
    SCOPED_TRACE(e.path);
    const Outcome o = LoadAndRead(fs::path(QUIRELLE_CORPUS_DIR) / e.path);
    ASSERT_TRUE(o.opened);
    EXPECT_EQ(o.loaded, e.loaded);
    EXPECT_EQ(o.trackCount, e.trackCount);
    EXPECT_EQ(o.events, e.events);
    EXPECT_EQ(o.tracksInError, e.tracksInError);
    EXPECT_EQ(o.errors, e.errors);
  }
}

std::string Jazz(const std::string& name) {
  return "jazz-soft-test-midi-files/" + name;
}

const std::vector<Expected>& MalformedFiles() {
  static const std::vector<Expected> files = [] {
    std::vector<Expected> list = {
        // Not Standard MIDI Files at offset 0: refused.
        {Jazz("test-empty-file.mid"), 0, 0, 0, 0, {}},
        {Jazz("test-not-a-midi-file.mid"), 0, 0, 0, 0, {}},
        {"midly/Beethoven.rmi", 0, 0, 0, 0, {}},  // RIFF RMID wrapper
        // 30 tracks announced, 3 present: the fourth chunk header is missing.
        {"midly/PiDamaged.mid", 0, 0, 0, 0, {}},
        // Header and one track holding only its end-of-track event.
        {Jazz("test-empty.mid"), 1, 1, 1, 0, {}},
        // The end-of-track event lacks its length byte: read error after 21 events.
        {Jazz("test-corrupt-file-missing-byte.mid"), 1, 1, 21, 1, {kMetaTruncatedLength}},
        // The byte after the last chunk is never looked at.
        {Jazz("test-corrupt-file-extra-byte.mid"), 1, 1, 22, 0, {}},
        // Every format loads the same way.
        {Jazz("test-2-tracks-type-0.mid"), 1, 2, 40, 0, {}},
        {Jazz("test-2-tracks-type-2.mid"), 1, 2, 40, 0, {}},
        // A "Junk" chunk before the track is passed over and not counted.
        {Jazz("test-non-midi-track.mid"), 1, 1, 30, 0, {}},
        // Running status carries on across a meta or system-exclusive event.
        {Jazz("test-running-status-metaevent.mid"), 1, 1, 22, 0, {}},
        {Jazz("test-running-status-sysex.mid"), 1, 1, 22, 0, {}},
        {Jazz("test-vlq-2-byte.mid"), 1, 1, 22, 0, {}},
        {Jazz("test-vlq-3-byte.mid"), 1, 1, 22, 0, {}},
        {Jazz("test-vlq-4-byte.mid"), 1, 1, 22, 0, {}},
        {Jazz("test-track-length.mid"), 1, 1, 8, 0, {}},
        {Jazz("test-silence-all-notes-off.mid"), 1, 1, 6, 0, {}},
        {Jazz("test-silence-end-of-track.mid"), 1, 1, 4, 0, {}},
        {Jazz("test-silence-text-metaevent.mid"), 1, 1, 5, 0, {}},
        // A zero-length track, and a last track that ends after a sysex without end-of-track:
        // both finish cleanly.
        {"midly/SysExTest.mid", 1, 3, 7, 0, {}},
        // Two files glued together: the header announces one track; the second MThd follows it
        // and is never looked at.
        {"debian-fretsonfire-songs-muldjord/"
         "fretsonfire__data__songs__muldjord__armygeddon__notes.mid",
         1,
         1,
         6624,
         0,
         {}},
        // Running status continues after a zero-length text event.
        {"debian-freedink-data/dink__dink__Sound__104.mid", 1, 4, 4113, 0, {}},
    };
    // Status bytes F1..F6 and F8..FE stop the track silently after its first four events.
    for (const char* name : {"all", "f1-xx", "f2-xx-xx", "f3-xx", "f4", "f5", "f6", "f8", "f9",
                             "fa", "fb", "fc", "fd", "fe"}) {
      list.push_back({Jazz(std::string("test-illegal-message-") + name + ".mid"), 1, 1, 4, 1, {}});
    }
    // Note velocities with the top bit set are taken as they stand.
    const std::pair<const char*, std::uint64_t> songwrite[] = {
        {"accordeon", 29}, {"chant", 17}, {"flute", 24}, {"guitare", 22}, {"lyre", 15}};
    for (const auto& [name, events] : songwrite) {
      list.push_back({std::string("debian-songwrite/songwrite3__data__son_") + name + ".mid",
                      1,
                      1,
                      events,
                      0,
                      {}});
    }
    return list;
  }();
  return files;
}

}  // namespace
}  // namespace quirelle::smf
