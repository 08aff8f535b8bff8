// Voice names to file names, and the volumes of each rehearsal track.
#include "tools/render/part_files.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace quirelle::render {
namespace {

constexpr std::size_t kLongestName = 200;  // bytes; file systems allow 255 with the extension

// The length of the UTF-8 sequence that starts with `lead` (1 for a stray byte).
std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead < 0xF8) {
    return 4;
  }
  if (lead >= 0xE0) {
    return lead < 0xF0 ? 3 : 1;
  }
  return lead >= 0xC0 ? 2 : 1;
}

// C0 and C1 control characters and DEL, as they are written in UTF-8.
bool IsControl(std::string_view character) {
  const auto lead = static_cast<unsigned char>(character[0]);
  if (character.size() == 1) {
    return lead < 0x20 || lead == 0x7F;
  }
  const auto next = static_cast<unsigned char>(character[1]);
  return character.size() == 2 && lead == 0xC2 && next >= 0x80 && next <= 0x9F;
}

std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') {
    text.remove_prefix(1);
  }
  while (!text.empty() && text.back() == ' ') {
    text.remove_suffix(1);
  }
  return text;
}

std::string Folded(std::string_view name) {
  std::string folded(name);
  std::transform(folded.begin(), folded.end(), folded.begin(),
                 [](unsigned char c) { return static_cast<char>(c < 0x80 ? std::tolower(c) : c); });
  return folded;
}

// `name`, or the first of "name (2)", "name (3)", ... not taken yet; the one returned is taken.
std::string Unclaimed(const std::string& name, std::vector<std::string>* taken) {
  std::string candidate = name;
  for (int n = 2; std::find(taken->begin(), taken->end(), Folded(candidate)) != taken->end(); ++n) {
    candidate = name + " (" + std::to_string(n) + ")";
  }
  taken->push_back(Folded(candidate));
  return candidate;
}

}  // namespace

std::string FileNameOfVoice(std::string_view name) {
  std::string kept;
  for (std::size_t at = 0; at < name.size();) {
    const std::size_t length =
        std::min(SequenceLength(static_cast<unsigned char>(name[at])), name.size() - at);
    const std::string_view character = name.substr(at, length);
    at += length;
    if (kept.size() + character.size() > kLongestName) {
      break;
    }
    if (IsControl(character)) {
      kept += ' ';  // a tab or line break between words still parts them
    } else {
      kept += character == "/" ? std::string_view("-") : character;
    }
  }
  std::string_view text = TrimSpaces(kept);
  while (!text.empty() && (text.front() == '.' || text.front() == ' ')) {
    text.remove_prefix(1);
  }
  return std::string(text);
}

std::vector<PartFile> PartFiles(const std::vector<SungVoice>& sung, std::string_view extension,
                                bool minus) {
  std::vector<std::string> taken = {Folded(kTuttiName)};
  std::vector<PartFile> files;
  std::vector<std::string> names;
  for (const SungVoice& voice : sung) {
    std::string name = FileNameOfVoice(voice.name);
    if (name.empty()) {
      name = "Voice " + std::to_string(voice.number);
    }
    names.push_back(Unclaimed(name, &taken));
    PartFile file;
    file.fileName = names.back() + "." + std::string(extension);
    for (const SungVoice& other : sung) {
      file.volumes[other.channel] = kOtherVoicesPercent;
    }
    file.volumes[voice.channel] = 100;
    file.centredChannel = voice.channel;
    files.push_back(std::move(file));
  }
  PartFile tutti;
  tutti.fileName = std::string(kTuttiName) + "." + std::string(extension);
  files.push_back(std::move(tutti));
  for (std::size_t voice = 0; minus && voice < names.size(); ++voice) {
    PartFile missing;
    missing.fileName =
        Unclaimed(names[voice] + kMinusSuffix, &taken) + "." + std::string(extension);
    missing.volumes[sung[voice].channel] = 0;
    files.push_back(std::move(missing));
  }
  return files;
}

namespace {

namespace fs = std::filesystem;

std::string StagedName(const std::string& fileName) {
  return "." + fileName + ".run-" + std::to_string(::getpid());
}

}  // namespace

PartsRun::~PartsRun() {
  if (!finished_) {
    Undo();
  }
}

bool PartsRun::MakeFolder(const std::string& folder, std::string* error) {
  folder_ = folder;
  std::error_code code;
  for (fs::path missing = fs::absolute(folder, code).lexically_normal();
       !code && !missing.empty() && !fs::exists(missing, code); missing = missing.parent_path()) {
    madeFolders_.push_back(missing.string());
    if (missing == missing.parent_path()) {
      break;
    }
  }
  if (!code) {
    fs::create_directories(folder, code);
  }
  if (!code && !fs::is_directory(folder, code)) {
    code = std::make_error_code(std::errc::not_a_directory);
  }
  if (code) {
    *error = "cannot make the folder " + folder + ": " + code.message();
    return false;
  }
  return true;
}

std::string PartsRun::StagedPath(const std::string& fileName) {
  fileNames_.push_back(fileName);
  return (fs::path(folder_) / StagedName(fileName)).string();
}

bool PartsRun::Finish(std::string* error) {
  // A folder in the way is found before any file takes its name, so none has to be taken back.
  for (const std::string& name : fileNames_) {
    std::error_code code;
    if (fs::is_directory(fs::path(folder_) / name, code)) {
      *error = "cannot write " + (fs::path(folder_) / name).string() + ": " +
               std::make_error_code(std::errc::is_a_directory).message();
      Undo();
      return false;
    }
  }
  for (const std::string& name : fileNames_) {
    std::error_code code;
    const fs::path target = fs::path(folder_) / name;
    fs::rename(fs::path(folder_) / StagedName(name), target, code);
    if (code) {
      *error = "cannot write " + target.string() + ": " + code.message();
      Undo();
      return false;
    }
    placed_.push_back(target.string());
  }
  finished_ = true;
  return true;
}

void PartsRun::Undo() {
  std::error_code ignored;  // what is not there was never made
  for (const std::string& name : fileNames_) {
    fs::remove(fs::path(folder_) / StagedName(name), ignored);
  }
  for (const std::string& path : placed_) {
    fs::remove(path, ignored);
  }
  for (const std::string& folder : madeFolders_) {
    fs::remove(folder, ignored);  // only while empty
  }
  fileNames_.clear();
  placed_.clear();
  madeFolders_.clear();
}

}  // namespace quirelle::render
