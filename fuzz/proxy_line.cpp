// Fuzzes the relayed connection's first line: whatever arrives, the reader
// answers within its bound, and what it accepts it writes back the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/proxy_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const tw::ProxyLine read = tw::readProxyLine(bytes);
  if (read.status == tw::ProxyLine::Status::NeedMore && size >= tw::kMaxProxyLine) __builtin_trap();
  if (read.status == tw::ProxyLine::Status::Ok) {
    if (read.length > tw::kMaxProxyLine || read.length > size) __builtin_trap();
    const tw::ProxyLine again = tw::readProxyLine(
        tw::proxyLine(read.source, read.sourcePort, read.destination, read.destinationPort));
    if (again.status != tw::ProxyLine::Status::Ok || again.source != read.source ||
        again.sourcePort != read.sourcePort)
      __builtin_trap();
  }
  return 0;
}
