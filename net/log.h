// One line per event, to stderr unless a test captures it.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tw {

using LogFn = std::function<void(const std::string& line)>;

// Writes one line to stderr, made loggable first.
void logLine(const std::string& line);

// The line with every control byte (a line break, an escape sequence) and
// every backslash written as \xNN: names and versions come from peers, and
// none may start a line of its own or drive the terminal.
std::string loggable(std::string_view line);

}  // namespace tw
