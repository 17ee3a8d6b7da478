// The default log sink: one line per event on stderr.
#include "log.h"

#include <cstdio>

namespace tw {

void logLine(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

}  // namespace tw
