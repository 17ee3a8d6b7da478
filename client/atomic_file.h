// Files a player cares about (settings, tally) are written beside the old one
// and renamed over it, so a crash or a full disk never leaves half a file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tw {

// Writes `bytes` to a new file beside `path`, flushes it to the disk and renames it over
// `path`. On failure the old file is untouched, the new one removed, and
// `error` (when given) says why.
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error = nullptr);

// Reads a whole file of at most `limit` bytes; false when it is missing,
// unreadable or larger.
bool readWholeFile(const std::string& path, std::size_t limit, std::string& out);

}  // namespace tw
