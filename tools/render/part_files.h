// The rehearsal tracks of `quirelle-render --parts`: for each sung voice a file where it sings at
// full volume from the centre over the other sung voices, quieter, and the accompaniment as it
// is; and the tutti with every voice at full volume; each file named after its voice. With
// --minus, also each sung voice missing: silent, the others at full volume.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quirelle::render {

// The volume of the other voices in a voice's track, as --volumes takes it.
inline constexpr std::uint32_t kOtherVoicesPercent = 30;
inline constexpr const char* kTuttiName = "Tutti";
inline constexpr const char* kMinusSuffix = " minus";

struct PartFile {
  std::string fileName;  // "Soprano.wav"
  // By channel: 100 for every channel no sung voice plays on.
  std::array<std::uint32_t, 16> volumes{100, 100, 100, 100, 100, 100, 100, 100,
                                        100, 100, 100, 100, 100, 100, 100, 100};
  std::optional<std::uint32_t> centredChannel;  // the voice's channel (0-based); none for tutti
};

// A sung voice: its name as the window shows it (UTF-8), its number as --info gives it and the
// channel it plays on (0-based).
struct SungVoice {
  std::string name;
  std::uint32_t number = 0;
  std::uint32_t channel = 0;
};

// A voice's name made fit for a file name: no '/' (it becomes '-'), no control characters (each
// becomes a space), no spaces around it, no leading dots, at most 200 bytes (whole characters).
// Empty when nothing is left. `name` is UTF-8.
std::string FileNameOfVoice(std::string_view name);

// The sung voices' tracks, then the tutti, then with `minus` each sung voice missing ("NAME
// minus"). A voice without a usable name is "Voice N". Names that would clash (ignoring the case
// of ASCII letters, as some file systems do) get " (2)", " (3)", ... and the tutti keeps its name.
std::vector<PartFile> PartFiles(const std::vector<SungVoice>& sung, std::string_view extension,
                                bool minus = false);

// What one --parts run leaves: all of its files or nothing. Each part is written under a hidden
// name and all take their own names together at the end, so a run that fails leaves nothing of
// itself (files of the same names from before stay as they were), not even the folders it made.
class PartsRun {
 public:
  PartsRun() = default;
  PartsRun(const PartsRun&) = delete;
  PartsRun& operator=(const PartsRun&) = delete;
  ~PartsRun();  // an unfinished run takes back its files and folders

  // Makes `folder` with its missing parents; false with the reason in `error`.
  bool MakeFolder(const std::string& folder, std::string* error);
  // Where the part `fileName` of the folder goes until Finish.
  std::string StagedPath(const std::string& fileName);
  // Gives every staged file its name; false with the reason in `error`, and then the run is undone.
  bool Finish(std::string* error);

 private:
  void Undo();

  std::string folder_;
  std::vector<std::string> madeFolders_;  // deepest first
  std::vector<std::string> fileNames_;
  std::vector<std::string> placed_;  // files already under their names when Finish failed
  bool finished_ = false;
};

}  // namespace quirelle::render
