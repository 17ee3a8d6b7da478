// The default log sink: one line per event on stderr, whatever a peer put in it.
#include "net/log.h"

#include <cstdio>

namespace tw {

std::string loggable(std::string_view line) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(line.size());
  for (const char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7f && byte != '\\') {
      out += c;
      continue;
    }
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
  }
  return out;
}

void logLine(const std::string& line) {
  std::fprintf(stderr, "%s\n", loggable(line).c_str());
  std::fflush(stderr);
}

}  // namespace tw
