// Texts from a file are kept as the file has them; this turns them into text for the window.
#pragma once

#include <string>
#include <string_view>

namespace quirelle::smf {

// UTF-8 when `bytes` are valid UTF-8, else each byte read as Windows-1252; the result is UTF-8.
std::string DisplayText(std::string_view bytes);

}  // namespace quirelle::smf
