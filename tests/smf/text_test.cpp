// Display texts: UTF-8 kept, everything else read as Windows-1252.
#include "smf/text.h"

#include <gtest/gtest.h>

#include <string>

namespace quirelle::smf {
namespace {

struct TextCase {
  const char* name;
  std::string bytes;
  std::string shown;
};

const TextCase kTextCases[] = {
    {"Empty", "", ""},
    {"Ascii", "Soprano 1", "Soprano 1"},
    {"ValidUtf8IsKept", "Sopran\xC3\xB6", "Sopran\xC3\xB6"},
    {"FourByteUtf8IsKept", "\xF0\x9F\x8E\xB5", "\xF0\x9F\x8E\xB5"},
    {"LatinOneLetters", "\xE9t\xE9", "\xC3\xA9t\xC3\xA9"},
    {"EuroSignAndQuotes", "\x80 \x93x\x94", "\xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D"},
    {"UnassignedBytesKeepTheirCodePoints", "\x81\x8D\x8F\x90\x9D",
     "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
    {"LastOfTheTable", "\x9F\xFF", "\xC5\xB8\xC3\xBF"},
    {"OverlongFormIsNotUtf8", "\xC0\x80", "\xC3\x80\xE2\x82\xAC"},
    {"SurrogateIsNotUtf8", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
    {"AboveTheLastCodePointIsNotUtf8", "\xF4\x90\x80\x80",
     "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},
    {"CutSequenceIsNotUtf8", "ab\xC3", "ab\xC3\x83"},
    {"OneBadByteMakesTheWholeTextSingleByte", "\xC3\xB6 \xF6", "\xC3\x83\xC2\xB6 \xC3\xB6"},
};

class TextTable : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextTable, ShowsTheText) {
  EXPECT_EQ(DisplayText(GetParam().bytes), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Texts, TextTable, ::testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DisplayText, EmbeddedZeroIsKept) {
  EXPECT_EQ(DisplayText(std::string("a\0b", 3)), std::string("a\0b", 3));
}

}  // namespace
}  // namespace quirelle::smf
