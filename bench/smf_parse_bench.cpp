// How fast the file model loads a file and reads every event of every track, against libsmf doing
// the same and against a plain memcpy of the same bytes. The files: a made-up 21.6 MB one and real
// ones from the corpus, small and large.
//
// What each side does per iteration:
// - ours: loads the image from memory (chunk layout, track table, song information scan), then
//   reads every event of every track with ReadEvent and touches its fields;
// - libsmf: smf_load_from_memory parses every event of every track into its own event records,
//   then smf_get_next_event walks them all in time order and touches each; then they are freed;
// - memcpy: copies the file's bytes once.
// Before timing, both parsers count the events of every file (end-of-track events left out, as
// libsmf keeps none); the benchmark fails when the counts differ, as then they did not do the
// same work.
#include <benchmark/benchmark.h>
#include <smf.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/readable_file.h"
#include "smf/event_reader.h"
#include "smf/midi_file.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kTracks = 16;
constexpr std::size_t kTrackBytes = 1'350'000;  // 16 tracks make about 21.6 MB

// A small deterministic generator, so that every run parses the same file.
class Random {
 public:
  std::uint32_t Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 8;
  }

 private:
  std::uint32_t state_ = 12345;
};

void PutVarLen(Bytes& out, std::uint32_t value) {
  std::uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = value & 0x7F;
    value >>= 7;
  } while (value != 0);
  while (n > 1) {
    out.push_back(groups[--n] | 0x80);
  }
  out.push_back(groups[0]);
}

void PutMeta(Bytes& out, std::uint8_t type, const std::string& text) {
  out.push_back(0xFF);
  out.push_back(type);
  PutVarLen(out, static_cast<std::uint32_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
}

void PutBigEndian(Bytes& out, std::uint32_t value, int size) {
  for (int shift = (size - 1) * 8; shift >= 0; shift -= 8) {
    out.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

// Notes under running status (note-offs as note-ons of velocity 0), with now and then a text
// event, a controller and a system-exclusive message.
Bytes MakeTrack(int index, Random& random) {
  Bytes data;
  const auto status = static_cast<std::uint8_t>(0x90 | (index & 0x0F));
  data.push_back(0x00);
  PutMeta(data, 0x03, "Voice " + std::to_string(index + 1));
  if (index == 0) {
    data.push_back(0x00);
    PutMeta(data, 0x51, std::string("\x07\xA1\x20", 3));
    data.push_back(0x00);
    PutMeta(data, 0x58, std::string("\x04\x02\x18\x08", 4));
  }
  data.push_back(0x00);
  data.push_back(status);
  data.push_back(60);
  data.push_back(100);
  // A meta or system-exclusive event is followed by a status byte again: readers differ on
  // whether running status survives them, and this file is to be read alike by all.
  bool restate = false;
  for (std::uint32_t n = 1; data.size() < kTrackBytes; ++n) {
    const std::uint32_t r = random.Next();
    PutVarLen(data, (r & 7) == 0 ? 120 + (r >> 4) % 400 : (r >> 4) % 100);
    if (n % 997 == 0) {
      PutMeta(data, 0x01, "lyric " + std::to_string(n));
      restate = true;
    } else if (n % 4999 == 0) {
      const Bytes sysex = {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
      data.insert(data.end(), sysex.begin(), sysex.end());
      restate = true;
    } else if (n % 1499 == 0) {
      data.push_back(static_cast<std::uint8_t>(0xB0 | (index & 0x0F)));
      data.push_back(7);
      data.push_back((r >> 12) & 0x7F);
      restate = true;
    } else {
      if (restate) {
        data.push_back(status);
        restate = false;
      }
      data.push_back(36 + (r >> 12) % 60);
      data.push_back((n & 1) ? 0 : 40 + (r >> 20) % 80);
    }
  }
  data.push_back(0x00);
  PutMeta(data, 0x2F, "");
  return data;
}

const Bytes& LargeFile() {
  static const Bytes file = [] {
    Random random;
    Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, kTracks, 0x01, 0xE0};
    for (int i = 0; i < kTracks; ++i) {
      const Bytes track = MakeTrack(i, random);
      out.insert(out.end(), {'M', 'T', 'r', 'k'});
      PutBigEndian(out, static_cast<std::uint32_t>(track.size()), 4);
      out.insert(out.end(), track.begin(), track.end());
    }
    return out;
  }();
  return file;
}

class MemoryFile final : public quirelle::platform::ReadableFile {
 public:
  explicit MemoryFile(const Bytes& bytes) : bytes_(bytes) {}
  std::uint64_t Length() const override { return bytes_.size(); }
  std::uint32_t Read(void* buffer, std::uint32_t count) override {
    const std::size_t n = std::min<std::size_t>(count, bytes_.size() - offset_);
    std::memcpy(buffer, bytes_.data() + offset_, n);
    offset_ += n;
    return static_cast<std::uint32_t>(n);
  }

 private:
  const Bytes& bytes_;
  std::size_t offset_ = 0;
};

// Reads every track to its end, using every event as a consumer would. False on a read error.
// `events` leaves out the end-of-track events.
[[gnu::noinline]] bool ReadEveryEvent(quirelle::smf::MidiFile& file, std::uint64_t& events,
                                      std::uint32_t& sum) {
  quirelle::smf::TrackEvent event;
  std::uint64_t count = 0;
  std::uint32_t total = 0;
  for (quirelle::smf::TrackCursor& cursor : file.tracks()) {
    while (quirelle::smf::ReadEvent(cursor, event) == 1) {
      total += event.status + event.data1 + event.data2 + event.time;
      count += event.IsEndOfTrack() ? 0 : 1;
    }
    if (!cursor.finished()) {
      return false;
    }
  }
  events = count;
  sum = total;
  return true;
}

// One load and read of `bytes`; the event count, or -1 when the load or a read failed.
std::int64_t OursOnce(const Bytes& bytes) {
  quirelle::smf::MidiFile file;
  MemoryFile input(bytes);
  if (file.LoadFromFile(input) != 1) {
    return -1;
  }
  std::uint64_t events = 0;
  std::uint32_t sum = 0;
  if (!ReadEveryEvent(file, events, sum)) {
    return -1;
  }
  benchmark::DoNotOptimize(sum);
  return static_cast<std::int64_t>(events);
}

// libsmf's own smf_delete renumbers a track's remaining events after each one it frees, which
// takes minutes for a file of this size. The events are freed here one by one after being
// detached, then the emptied file is deleted: a cost in libsmf's favour.
void FreeLibSmf(smf_t* smf) {
  for (int n = 1; n <= smf->number_of_tracks; ++n) {
    smf_track_t* track = smf_get_track_by_number(smf, n);
    for (guint i = 0; i < track->events_array->len; ++i) {
      auto* event = static_cast<smf_event_t*>(g_ptr_array_index(track->events_array, i));
      event->track = nullptr;
      smf_event_delete(event);
    }
    g_ptr_array_set_size(track->events_array, 0);
    track->number_of_events = 0;
  }
  smf_delete(smf);
}

// The same with libsmf; -1 when it refused the file.
std::int64_t LibSmfOnce(const Bytes& bytes) {
  smf_t* smf = smf_load_from_memory(bytes.data(), static_cast<int>(bytes.size()));
  if (smf == nullptr) {
    return -1;
  }
  std::int64_t events = 0;
  std::uint32_t sum = 0;
  while (smf_event_t* event = smf_get_next_event(smf)) {
    sum += event->midi_buffer[0] + event->time_pulses;
    events += smf_event_is_eot(event) ? 0 : 1;
  }
  benchmark::DoNotOptimize(sum);
  FreeLibSmf(smf);
  return events;
}

void Parse(benchmark::State& state, const Bytes& bytes, std::int64_t (*once)(const Bytes&)) {
  std::int64_t events = 0;
  for (auto _ : state) {
    events = once(bytes);
    if (events < 0) {
      state.SkipWithError("the file was refused");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  state.counters["events"] = static_cast<double>(events);
}

void Memcpy(benchmark::State& state) {
  const Bytes& bytes = LargeFile();
  Bytes copy(bytes.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), bytes.data(), bytes.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

struct NamedFile {
  std::string name;
  Bytes bytes;
};

// The made-up file first, then corpus files from small to large, each read cleanly by both.
std::vector<NamedFile> Files() {
  std::vector<NamedFile> files = {{"synthetic", LargeFile()}};
  for (const char* path :
       {"abc2midi/satb1_old_hundredth.mid",
        "debian-timidity/doc__timidity__examples__test_sample.mid",
        "debian-playmidi/doc__playmidi__examples__gmstriving.mid",
        "debian-openttd-openmsx/games__openttd__baseset__openmsx__keep_on_rolling.mid",
        "jazz-soft-test-midi-files/test-all-gs-sounds.mid"}) {
    std::ifstream in(std::string(QUIRELLE_CORPUS_DIR) + "/" + path, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string name(path);
    files.push_back({name.substr(name.rfind('/') + 1), std::move(bytes)});
  }
  return files;
}

// Keeps each benchmark's seconds per iteration, for the summary.
class SummaryReporter final : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0) {
        // CPU time: the machine is shared, and the wall clock counts other people's work.
        const std::string name = run.benchmark_name();
        seconds[name.substr(0, name.find("/min_time"))] =
            run.cpu_accumulated_time / static_cast<double>(run.iterations);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> seconds;
};

double MegabytesPerSecond(const SummaryReporter& reporter, const std::string& name,
                          std::size_t bytes) {
  const auto found = reporter.seconds.find(name);
  if (found == reporter.seconds.end() || found->second <= 0) {
    return 0;
  }
  return static_cast<double>(bytes) / found->second / 1e6;
}

double Ratio(double a, double b) {
  return b > 0 ? a / b : 0;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::vector<NamedFile> files = Files();  // built before timing starts
  bool countsAgree = true;
  for (const NamedFile& file : files) {
    const std::int64_t ours = OursOnce(file.bytes);
    const std::int64_t libsmf = LibSmfOnce(file.bytes);
    std::printf("%s: %zu bytes, %lld events read by ours, %lld by libsmf\n", file.name.c_str(),
                file.bytes.size(), static_cast<long long>(ours), static_cast<long long>(libsmf));
    if (ours < 0 || ours != libsmf) {
      std::fprintf(stderr, "smf-parse: the parsers do not agree on %s\n", file.name.c_str());
      countsAgree = false;
    }
  }
  if (!countsAgree) {
    return 1;
  }
  for (const NamedFile& file : files) {
    const double minTime = file.name == "synthetic" ? 2.0 : 0.5;
    benchmark::RegisterBenchmark(("smf_parse/ours/" + file.name).c_str(), Parse, file.bytes,
                                 &OursOnce)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(minTime);
    benchmark::RegisterBenchmark(("smf_parse/libsmf/" + file.name).c_str(), Parse, file.bytes,
                                 &LibSmfOnce)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(minTime / 2);
  }
  benchmark::RegisterBenchmark("smf_parse/memcpy/synthetic", Memcpy)
      ->Unit(benchmark::kMillisecond)
      ->MinTime(2.0);
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const std::size_t size = files.front().bytes.size();
  const double ours = MegabytesPerSecond(reporter, "smf_parse/ours/synthetic", size);
  const double libsmf = MegabytesPerSecond(reporter, "smf_parse/libsmf/synthetic", size);
  const double copy = MegabytesPerSecond(reporter, "smf_parse/memcpy/synthetic", size);
  std::printf("\nsynthetic: %.1f MB, %d tracks\n", static_cast<double>(size) / 1e6, kTracks);
  std::printf("ours:   %10.1f MB/s\nlibsmf: %10.1f MB/s\nmemcpy: %10.1f MB/s\n", ours, libsmf,
              copy);
  std::string corpus;
  for (std::size_t i = 1; i < files.size(); ++i) {
    const std::size_t bytes = files[i].bytes.size();
    const double a = MegabytesPerSecond(reporter, "smf_parse/ours/" + files[i].name, bytes);
    const double b = MegabytesPerSecond(reporter, "smf_parse/libsmf/" + files[i].name, bytes);
    std::printf("%s: ours %.1f MB/s, libsmf %.1f MB/s, ours / libsmf = %.2f\n",
                files[i].name.c_str(), a, b, Ratio(a, b));
    char part[64];
    std::snprintf(part, sizeof part, "%s%.1f", corpus.empty() ? "" : ",", Ratio(a, b));
    corpus += part;
  }
  std::printf("ours / libsmf = %.2f (goal >= 10), ours / memcpy = %.3f (goal >= 0.10)\n",
              Ratio(ours, libsmf), Ratio(ours, copy));
  std::printf(
      "SUMMARY smf-parse: same event counts in %zu files; synthetic ours=%.1f libsmf=%.1f"
      " memcpy=%.1f MB/s vs_libsmf=%.2f vs_memcpy=%.3f; corpus vs_libsmf=%s\n",
      files.size(), ours, libsmf, copy, Ratio(ours, libsmf), Ratio(ours, copy), corpus.c_str());
  return 0;
}
