// Texts from a file are kept as the file has them; this turns them into text for the window.
#pragma once

#include <string>
#include <string_view>

namespace quirelle::smf {

// UTF-8 when `bytes` are valid UTF-8, else each byte read as Windows-1252; the result is UTF-8.
std::string DisplayText(std::string_view bytes);

// `bytes` without the blanks around them (spaces, tabs, line breaks and the zero bytes some
// programs pad names with); empty when they are all blank.
std::string_view TrimBlanks(std::string_view bytes);

// The song's title for the window: its text, or when that is blank the file's name without its
// folder and extension.
std::string DisplayTitle(std::string_view titleBytes, std::string_view filePath);

}  // namespace quirelle::smf
