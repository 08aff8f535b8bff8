// The string table: the four pieces of the About box's credits text.
#pragma once

#include <optional>
#include <string_view>

namespace quirelle::res {

// UTF-8; nothing for an id the table lacks.
std::optional<std::string_view> FindString(int id);

}  // namespace quirelle::res
