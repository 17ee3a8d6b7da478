// The end every build-time generator shares: a file that could not be
// written whole is removed, so that the build fails instead of compiling
// half of it.
#pragma once

#include <cstdio>
#include <fstream>
#include <iostream>

namespace tw {

// Closes `out`, written to `path`; the program's exit status.
inline int finishGenerated(std::ofstream& out, const char* path) {
  out.close();
  if (out) return 0;
  std::cerr << path << ": cannot write\n";
  std::remove(path);
  return 1;
}

}  // namespace tw
