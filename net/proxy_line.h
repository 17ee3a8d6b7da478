// The first line of a relayed connection (the PROXY protocol's text version
// 1): who the player really is. Read by one pure function, so that the only
// place that believes an address from the stream is small and fuzzed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tw {

struct ProxyLine {
  enum class Status { NeedMore, Ok, Bad };
  Status status = Status::NeedMore;
  // Ok: the player's address in its usual form (an IPv4-mapped IPv6 address as
  // IPv4) and port, where it connected to, and the bytes the line took, CRLF included.
  std::string source;
  std::string destination;
  std::uint16_t sourcePort = 0;
  std::uint16_t destinationPort = 0;
  std::size_t length = 0;
  // Bad: why.
  std::string why;
};

// The longest line the protocol allows, CRLF included.
inline constexpr std::size_t kMaxProxyLine = 107;

// Reads the line at the start of `bytes`: NeedMore while its end has not come
// (and it may still be one), Ok, or Bad. "UNKNOWN" is Bad: a relay that cannot
// name the player is not believed either.
ProxyLine readProxyLine(std::string_view bytes);

// The line for a TCP connection from source to destination (IPv6 when either is).
std::string proxyLine(const std::string& source, std::uint16_t sourcePort, const std::string& destination,
                      std::uint16_t destinationPort);

}  // namespace tw
