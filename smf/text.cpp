// Turns a text from a file into UTF-8 for the window: files written on other systems often
// hold UTF-8 already; the rest are taken as Windows-1252, the usual single-byte code page.
#include "smf/text.h"

#include <array>
#include <cstdint>

namespace quirelle::smf {

namespace {

// Windows-1252 0x80..0x9F. The five unassigned bytes keep their C1 code points.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence starting at `i`, or 0 when there is none.
std::size_t SequenceLength(std::string_view s, std::size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  std::size_t n = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;  // bounds of the second byte
  if (c < 0x80) {
    return 1;
  } else if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    low = c == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
    high = c == 0xED ? 0x9F : 0xBF;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    low = c == 0xF0 ? 0x90 : 0x80;
    high = c == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (s.size() - i < n) {
    return 0;
  }
  const auto second = static_cast<unsigned char>(s[i + 1]);
  if (second < low || second > high) {
    return 0;
  }
  for (std::size_t k = 2; k < n; ++k) {
    if (!IsContinuation(static_cast<unsigned char>(s[i + k]))) {
      return 0;
    }
  }
  return n;
}

bool IsValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = SequenceLength(s, i);
    if (n == 0) {
      return false;
    }
    i += n;
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

char32_t FromWindows1252(unsigned char c) {
  if (c >= 0x80 && c <= 0x9F) {
    return kHighControls[c - 0x80];
  }
  return c;
}

}  // namespace

std::string DisplayText(std::string_view bytes) {
  if (IsValidUtf8(bytes)) {
    return std::string(bytes);
  }
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    AppendUtf8(out, FromWindows1252(static_cast<unsigned char>(c)));
  }
  return out;
}

std::string_view TrimBlanks(std::string_view bytes) {
  constexpr std::string_view kBlanks(" \t\r\n\v\f\0", 7);
  const std::size_t first = bytes.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) {
    return {};
  }
  return bytes.substr(first, bytes.find_last_not_of(kBlanks) - first + 1);
}

std::string DisplayTitle(std::string_view titleBytes, std::string_view filePath) {
  if (!TrimBlanks(titleBytes).empty()) {
    return DisplayText(titleBytes);
  }
  std::string_view name = filePath.substr(filePath.find_last_of('/') + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string_view::npos && dot != 0) {
    name = name.substr(0, dot);
  }
  return DisplayText(name);
}

}  // namespace quirelle::smf
