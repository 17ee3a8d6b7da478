// Reading and writing the PROXY protocol's line.
#include "net/proxy_line.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>

namespace tw {
namespace {

constexpr std::string_view kStart = "PROXY ";

ProxyLine bad(std::string why) {
  ProxyLine out;
  out.status = ProxyLine::Status::Bad;
  out.why = std::move(why);
  return out;
}

bool digits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// Decimal without leading zeros, as the protocol writes numbers.
bool number(std::string_view text, unsigned most, unsigned& out) {
  if (!digits(text) || text.size() > 5 || (text.size() > 1 && text[0] == '0')) return false;
  out = 0;
  for (char c : text) out = out * 10 + unsigned(c - '0');
  return out <= most;
}

bool ipv4(std::string_view text, std::string& out) {
  std::size_t start = 0;
  for (int part = 0; part < 4; ++part) {
    const std::size_t dot = part < 3 ? text.find('.', start) : text.size();
    if (dot == std::string_view::npos) return false;
    unsigned octet = 0;
    if (!number(text.substr(start, dot - start), 255, octet)) return false;
    start = dot + 1;
  }
  out = std::string(text);
  return true;
}

bool ipv6(std::string_view text, std::string& out) {
  if (text.empty() || text.size() > 45) return false;
  for (char c : text) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.';
    if (!ok) return false;
  }
  const std::string copy(text);
  std::array<unsigned char, 16> raw{};
  if (inet_pton(AF_INET6, copy.c_str(), raw.data()) != 1) return false;
  // An IPv4 player behind an IPv6 relay counts as the IPv4 address he is.
  const bool mapped = std::all_of(raw.begin(), raw.begin() + 10, [](unsigned char b) { return b == 0; }) &&
                      raw[10] == 0xFF && raw[11] == 0xFF;
  std::array<char, INET6_ADDRSTRLEN> shown{};
  if (mapped) {
    if (!inet_ntop(AF_INET, raw.data() + 12, shown.data(), shown.size())) return false;
  } else if (!inet_ntop(AF_INET6, raw.data(), shown.data(), shown.size())) {
    return false;
  }
  out = shown.data();
  return true;
}

bool isIpv6(const std::string& address) { return address.find(':') != std::string::npos; }

std::string asIpv6(const std::string& address) { return isIpv6(address) ? address : "::ffff:" + address; }

}  // namespace

ProxyLine readProxyLine(std::string_view bytes) {
  const std::size_t known = std::min(bytes.size(), kStart.size());
  if (bytes.substr(0, known) != kStart.substr(0, known)) return bad("not a PROXY line");
  const std::size_t end = bytes.substr(0, kMaxProxyLine).find("\r\n");
  if (end == std::string_view::npos) {
    if (bytes.size() >= kMaxProxyLine) return bad("PROXY line longer than 107 bytes");
    if (bytes.find('\n') != std::string_view::npos) return bad("PROXY line ends without CRLF");
    return ProxyLine{};
  }
  std::array<std::string_view, 5> f;
  std::string_view rest = bytes.substr(kStart.size(), end - kStart.size());
  for (std::size_t i = 0; i < f.size(); ++i) {
    const std::size_t space = rest.find(' ');
    if ((space == std::string_view::npos) != (i == f.size() - 1)) {
      if (i == 0 && rest == "UNKNOWN") return bad("PROXY UNKNOWN names no player");
      return bad("PROXY line needs 5 fields");
    }
    f[i] = rest.substr(0, space);
    rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
  }
  ProxyLine out;
  const bool v6 = f[0] == "TCP6";
  if (!v6 && f[0] != "TCP4") return bad("PROXY: TCP4 or TCP6");
  const auto address = v6 ? ipv6 : ipv4;
  if (!address(f[1], out.source) || !address(f[2], out.destination)) return bad("PROXY: bad address");
  unsigned sourcePort = 0, destinationPort = 0;
  if (!number(f[3], 65535, sourcePort) || !number(f[4], 65535, destinationPort)) return bad("PROXY: bad port");
  out.sourcePort = std::uint16_t(sourcePort);
  out.destinationPort = std::uint16_t(destinationPort);
  out.length = end + 2;
  out.status = ProxyLine::Status::Ok;
  return out;
}

std::string proxyLine(const std::string& source, std::uint16_t sourcePort, const std::string& destination,
                      std::uint16_t destinationPort) {
  const bool v6 = isIpv6(source) || isIpv6(destination);
  return std::string("PROXY ") + (v6 ? "TCP6 " : "TCP4 ") + (v6 ? asIpv6(source) : source) + " " +
         (v6 ? asIpv6(destination) : destination) + " " + std::to_string(sourcePort) + " " +
         std::to_string(destinationPort) + "\r\n";
}

}  // namespace tw
