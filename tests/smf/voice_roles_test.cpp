// Which voices a singer rehearses and which accompany, from the names and programs that notation
// programs and choir exports write.
#include "smf/voice_roles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quirelle::smf {
namespace {

constexpr auto kSung = VoiceRole::kSung;
constexpr auto kAcc = VoiceRole::kAccompaniment;

struct RolesCase {
  const char* name;
  std::vector<RoleClues> voices;
  std::vector<VoiceRole> roles;
};

const RolesCase kRolesCases[] = {
    {"EnglishChoirAndPiano",
     {{"Soprano", 52}, {"Alto", 52}, {"Tenor", 52}, {"Bass", 52}, {"Piano", 0}},
     {kSung, kSung, kSung, kSung, kAcc}},
    {"GermanNamesAnyCase",
     {{"SOPRAN", {}}, {"alt 1", {}}, {"Tenor", {}}, {"Bass", {}}, {"Orgel", {}}, {"KLAVIER", {}}},
     {kSung, kSung, kSung, kSung, kAcc, kAcc}},
    {"FrenchNames",
     {{"Soprano", {}}, {"Ténor", {}}, {"Basse", {}}, {"Chœur", {}}, {"Orgue", {}}},
     {kSung, kSung, kSung, kSung, kAcc}},
    {"ItalianMadrigalFiveParts",
     {{"Canto", 0}, {"Quinto", 0}, {"Alto", 0}, {"Tenore", 0}, {"Basso", 0}},
     {kSung, kSung, kSung, kSung, kSung}},
    {"ItalianAccompaniment",
     {{"Coro", {}}, {"Voce", {}}, {"Organo", {}}, {"Arpa", {}}},
     {kSung, kSung, kAcc, kAcc}},
    {"ShortFormsAsWholeWords",
     {{"S1", {}}, {"A.2", {}}, {"Pno.", {}}, {"Pf", {}}, {"Strings", {}}, {"Pianist", {}}},
     {kSung, kSung, kAcc, kAcc, kAcc, kAcc}},
    {"AnInstrumentsNameWinsOverSolo", {{"Solo", 0}, {"Piano solo", 53}}, {kSung, kAcc}},
    {"VoicesProgramsWithoutNames",
     {{"", 52}, {"", 53}, {"", 54}, {"", 85}, {"", 91}, {"", 0}, {"", 48}, {"", {}}},
     {kSung, kSung, kSung, kSung, kSung, kAcc, kAcc, kAcc}},
    {"AnOtherNameGoesByItsProgram",
     {{"Part 1", 52}, {"Part 2", 19}, {"Melody", {}}},
     {kSung, kAcc, kAcc}},
    {"NeitherNamesNorProgramsIsAllSung",
     {{"", {}}, {"Track 2", {}}, {"", {}}},
     {kSung, kSung, kSung}},
    {"NothingSungIsAllSung", {{"Piano", 0}, {"Harp", 46}}, {kSung, kSung}},
};

class RolesTable : public ::testing::TestWithParam<RolesCase> {};

TEST_P(RolesTable, TellsSungFromAccompaniment) {
  EXPECT_EQ(VoiceRoles(GetParam().voices), GetParam().roles);
}

INSTANTIATE_TEST_SUITE_P(Files, RolesTable, ::testing::ValuesIn(kRolesCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quirelle::smf
