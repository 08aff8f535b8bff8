// The words that make a voice sung or accompaniment, and the programs of voices.
#include "smf/voice_roles.h"

#include <algorithm>
#include <iterator>

#include "smf/text.h"

namespace quirelle::smf {
namespace {

// Lower case, as UTF-8; names and their abbreviations as scores and notation programs write them.
constexpr std::string_view kInstruments[] = {"piano",
                                             "pianoforte",
                                             "pno",
                                             "pf",
                                             "pfte",
                                             "klavier",
                                             "flügel",
                                             "fluegel",
                                             "organ",
                                             "orgel",
                                             "orgue",
                                             "organo",
                                             "org",
                                             "keyboard",
                                             "keyboards",
                                             "kbd",
                                             "keys",
                                             "harpsichord",
                                             "hpschd",
                                             "hpd",
                                             "cembalo",
                                             "clavecin",
                                             "clavicembalo",
                                             "guitar",
                                             "gitarre",
                                             "guitare",
                                             "chitarra",
                                             "gtr",
                                             "guit",
                                             "harp",
                                             "harfe",
                                             "harpe",
                                             "arpa",
                                             "strings",
                                             "streicher",
                                             "cordes",
                                             "archi",
                                             "str",
                                             "accompaniment",
                                             "accomp",
                                             "acc",
                                             "begleitung",
                                             "accompagnement",
                                             "accompagnamento",
                                             "continuo",
                                             "celesta",
                                             "violin",
                                             "viola",
                                             "cello",
                                             "violoncello",
                                             "contrabass",
                                             "flute",
                                             "oboe",
                                             "clarinet",
                                             "bassoon",
                                             "trumpet"};

constexpr std::string_view kSingers[] = {"soprano",
                                         "sopranos",
                                         "sopran",
                                         "soprani",
                                         "sop",
                                         "alto",
                                         "altos",
                                         "alt",
                                         "alti",
                                         "contralto",
                                         "altus",
                                         "tenor",
                                         "tenors",
                                         "tenore",
                                         "tenori",
                                         "ténor",
                                         "ten",
                                         "bass",
                                         "basses",
                                         "basso",
                                         "bassi",
                                         "basse",
                                         "bassus",
                                         "baritone",
                                         "bariton",
                                         "baritono",
                                         "baryton",
                                         "bar",
                                         "mezzo",
                                         "mezzosoprano",
                                         "mezzosopran",
                                         "canto",
                                         "cantus",
                                         "quinto",
                                         "quintus",
                                         "sexto",
                                         "sextus",
                                         "superius",
                                         "discantus",
                                         "treble",
                                         "countertenor",
                                         "solo",
                                         "soloist",
                                         "voice",
                                         "voices",
                                         "voix",
                                         "voce",
                                         "voci",
                                         "vox",
                                         "stimme",
                                         "vocal",
                                         "vocals",
                                         "choir",
                                         "chorus",
                                         "chor",
                                         "choeur",
                                         "chœur",
                                         "coro",
                                         "gesang",
                                         "chant",
                                         "dessus",
                                         "taille",
                                         "cantor",
                                         "s",
                                         "a",
                                         "t",
                                         "b",
                                         "sa",
                                         "tb"};

std::string Lowered(std::string_view text) {
  std::string lowered(text);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  });
  return lowered;
}

// The words of a name: runs of letters (any byte of a non-ASCII character counts as one), each
// without the digits that number it ("Soprano1", "S2", "A.1").
std::vector<std::string> Words(std::string_view name) {
  const std::string text = Lowered(DisplayText(name));
  std::vector<std::string> words;
  std::string word;
  auto finish = [&] {
    if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  };
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || byte >= 0x80) {
      word += c;
    } else {
      finish();  // digits, blanks and punctuation part words
    }
  }
  finish();
  return words;
}

template <std::size_t N>
bool HasWordOf(std::string_view name, const std::string_view (&list)[N]) {
  for (const std::string& word : Words(name)) {
    if (std::find(std::begin(list), std::end(list), word) != std::end(list)) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool NamesAnInstrument(std::string_view name) {
  return HasWordOf(name, kInstruments);
}

bool NamesASinger(std::string_view name) {
  return HasWordOf(name, kSingers);
}

bool IsSingersProgram(std::uint8_t program) {
  // Choir Aahs, Voice Oohs, Synth Voice, Lead 6 (voice), Pad 4 (choir).
  return program == 52 || program == 53 || program == 54 || program == 85 || program == 91;
}

std::vector<VoiceRole> VoiceRoles(const std::vector<RoleClues>& voices) {
  bool told = false;
  for (const RoleClues& voice : voices) {
    told = told || voice.program.has_value() || NamesAnInstrument(voice.name) ||
           NamesASinger(voice.name);
  }
  std::vector<VoiceRole> roles(voices.size(), VoiceRole::kSung);
  if (!told) {
    return roles;
  }
  bool anySung = false;
  for (std::size_t i = 0; i < voices.size(); ++i) {
    const RoleClues& voice = voices[i];
    // Without a program change the device plays program 0, a piano.
    const bool accompanies =
        NamesAnInstrument(voice.name) ||
        (!NamesASinger(voice.name) && !IsSingersProgram(voice.program.value_or(0)));
    roles[i] = accompanies ? VoiceRole::kAccompaniment : VoiceRole::kSung;
    anySung = anySung || !accompanies;
  }
  if (!anySung) {
    roles.assign(voices.size(), VoiceRole::kSung);
  }
  return roles;
}

}  // namespace quirelle::smf
