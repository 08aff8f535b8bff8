// A readable file whose bytes are in memory, for handing made-up songs to the loader.
#pragma once

#include "platform/readable_file.h"

namespace quirelle::testing {

using MemoryFile = platform::MemoryFile;

}  // namespace quirelle::testing
