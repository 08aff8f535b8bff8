// quirelle-render --events end to end: every corpus file gives exit status 0 or 2, and the
// four-voice songs sound all four voices in time order.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Run {
  int status = -1;
  std::string out;
};

Run RunRender(const std::string& args) {
  const std::string command = std::string(QUIRELLE_RENDER_BIN) + " " + args + " 2>/dev/null";
  Run run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return run;
  }
  std::array<char, 65536> chunk;
  std::size_t n = 0;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
    run.out.append(chunk.data(), n);
  }
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

std::string Quote(const fs::path& path) {
  return "'" + path.string() + "'";
}

TEST(RenderCorpus, EveryFileEndsWithStatusZeroOrTwo) {
  int files = 0;
  int played = 0;
  for (const auto& entry : fs::recursive_directory_iterator(QUIRELLE_CORPUS_DIR)) {
    const auto ext = entry.path().extension().string();
    if (!entry.is_regular_file() || ext == ".txt" || ext == ".md" || ext == ".abc" ||
        ext == ".ly" || entry.path().filename().string().rfind("COPYRIGHT", 0) == 0 ||
        entry.path().filename().string().rfind("LICENSE", 0) == 0) {
      continue;
    }
    ++files;
    const Run run = RunRender("--events " + Quote(entry.path()));
    EXPECT_TRUE(run.status == 0 || run.status == 2) << entry.path() << " gave " << run.status;
    played += run.status == 0 ? 1 : 0;
  }
  EXPECT_GT(files, 150);
  EXPECT_GT(played, 130);
}

TEST(RenderCorpus, UnreadableAndUnplayableFilesGiveStatusTwo) {
  const fs::path corpus = QUIRELLE_CORPUS_DIR;
  for (const auto& name : {"jazz-soft-test-midi-files/test-empty-file.mid",
                           "jazz-soft-test-midi-files/test-not-a-midi-file.mid",
                           "midly/Beethoven.rmi", "no-such-file.mid"}) {
    EXPECT_EQ(RunRender("--events " + Quote(corpus / name)).status, 2) << name;
  }
  EXPECT_EQ(RunRender("--tempo 10 --events " + Quote(corpus / "midly")).status, 2);
}

// Checks that the note-ons of channels 1-4 all appear and that times never go back.
void ExpectFourVoicesInTimeOrder(const fs::path& file) {
  const Run run = RunRender("--events " + Quote(file));
  ASSERT_EQ(run.status, 0) << file;
  std::istringstream lines(run.out);
  std::string line;
  unsigned long long lastTime = 0;
  std::set<unsigned> voices;
  while (std::getline(lines, line)) {
    unsigned long long time = 0;
    unsigned tick = 0, status = 0, data1 = 0, data2 = 0;
    const int fields =
        std::sscanf(line.c_str(), "%llu %u %x %x %x", &time, &tick, &status, &data1, &data2);
    ASSERT_GE(fields, 4) << line;
    EXPECT_GE(time, lastTime) << file << ": " << line;
    lastTime = time;
    if (fields == 5 && (status & 0xF0) == 0x90 && data2 != 0 && (status & 0x0F) < 4) {
      voices.insert(status & 0x0F);
    }
  }
  EXPECT_EQ(voices.size(), 4u) << file;
  EXPECT_GT(lastTime, 0u);
}

TEST(RenderCorpus, FourVoiceSongsSoundEveryVoiceInTimeOrder) {
  int checked = 0;
  for (const auto* folder : {"abc2midi", "lilypond"}) {
    for (const auto& entry :
         fs::recursive_directory_iterator(fs::path(QUIRELLE_CORPUS_DIR) / folder)) {
      const auto name = entry.path().filename().string();
      const bool satb =
          name.find("satb") != std::string::npos || name.find("SATB") != std::string::npos;
      if (entry.is_regular_file() &&
          (entry.path().extension() == ".mid" || entry.path().extension() == ".midi") && satb) {
        SCOPED_TRACE(entry.path().string());
        ExpectFourVoicesInTimeOrder(entry.path());
        ++checked;
      }
    }
  }
  EXPECT_GE(checked, 3);
}

TEST(RenderCorpus, TempoPercentScalesTheSongLength) {
  const fs::path song = fs::path(QUIRELLE_CORPUS_DIR) / "debian-timidity";
  for (const auto& entry : fs::directory_iterator(song)) {
    if (entry.path().extension() != ".mid") {
      continue;
    }
    auto lastTime = [&](const std::string& tempo) {
      const Run run = RunRender("--tempo " + tempo + " --events " + Quote(entry.path()));
      EXPECT_EQ(run.status, 0);
      const auto end = run.out.rfind('\n', run.out.size() - 2);
      return std::stoull(run.out.substr(end == std::string::npos ? 0 : end + 1));
    };
    const auto normal = lastTime("100");
    const auto doubled = lastTime("200");
    EXPECT_NEAR(static_cast<double>(doubled), static_cast<double>(normal) / 2,
                normal * 0.01 + 1000);
  }
}

}  // namespace
