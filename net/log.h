// One line per event, to stderr unless a test captures it.
#pragma once

#include <functional>
#include <string>

namespace tw {

using LogFn = std::function<void(const std::string& line)>;

// Writes one line to stderr.
void logLine(const std::string& line);

}  // namespace tw
