// Credits text of the About box. The multi-line edit wraps at its width; entries 1 to 3 end in
// a run of blanks that fills their last line, so that each following entry starts a new line.
#include "ui/res/string_table.h"

#include <utility>

#include "ui/res/resource_ids.h"

namespace quirelle::res {
namespace {

// A line of the edit holds about 95 blanks; a run of 100 fills what is left of any line.
constexpr std::pair<int, std::string_view> kStrings[] = {
    {kIdsCredits1,
     "Quirelle plays Standard MIDI Files for singers who rehearse their parts."
     "                                                            "
     "                                        "},
    {kIdsCredits2,
     "A voice is one track's notes on one MIDI channel (never channel 10, the drums), counted "
     "in the order of the tracks; the first four each have their own volume, and the tempo goes "
     "from 20 % to 500 %."
     "                                                            "
     "                                        "},
    {kIdsCredits3,
     "Written by the Quirelle developers."
     "                                                            "
     "                                        "},
    {kIdsCredits4,
     "Quirelle comes with no warranty. Source, news and help: https://quirelle.example"},
};

}  // namespace

std::optional<std::string_view> FindString(int id) {
  for (const auto& [key, text] : kStrings) {
    if (key == id) {
      return text;
    }
  }
  return std::nullopt;
}

}  // namespace quirelle::res
