// Which addresses the game opens in the browser: a whitelist, so that a link
// from a peer never starts another program or reaches a local file.
#include "client/web_addresses.h"

#include <cctype>
#include <charconv>

namespace tw {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}

bool isAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }
bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Every byte is alphanumeric, one of `extra`, or (with `high`) above 0x7F; a
// '%' among `extra` must start two hex digits.
bool onlyOf(std::string_view text, std::string_view extra, bool high = false) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (isAlnum(c) || (high && static_cast<unsigned char>(c) > 0x7F)) continue;
    if (extra.find(c) == std::string_view::npos) return false;
    if (c == '%' && (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2]))) return false;
  }
  return true;
}

bool isPort(std::string_view text) {
  if (text.empty()) return true;
  int port = -1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
  return ec == std::errc() && end == text.data() + text.size() && port >= 0 && port <= 65535 && text.size() <= 5;
}

}  // namespace

bool isWebAddress(std::string_view address) {
  std::string_view rest;
  if (startsWithNoCase(address, "http://"))
    rest = address.substr(7);
  else if (startsWithNoCase(address, "https://"))
    rest = address.substr(8);
  else
    return false;
  const std::size_t end = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, end);
  const std::string_view tail = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
    if (!onlyOf(authority.substr(0, at), "-._~!$&'()*+,;=:%")) return false;
    authority.remove_prefix(at + 1);
  }
  std::string_view host = authority;
  std::string_view port;
  if (!host.empty() && host.front() == '[') {
    const std::size_t close = host.find(']');
    if (close == std::string_view::npos || close == 1) return false;
    for (const char c : host.substr(1, close - 1))
      if (!isHex(c) && c != ':' && c != '.') return false;
    port = host.substr(close + 1);
    if (!port.empty() && port.front() != ':') return false;
    if (!port.empty()) port.remove_prefix(1);
  } else {
    if (const std::size_t colon = host.find(':'); colon != std::string_view::npos) {
      port = host.substr(colon + 1);
      host = host.substr(0, colon);
    }
    if (host.empty() || !onlyOf(host, ".-_")) return false;
  }
  return isPort(port) && onlyOf(tail, "-._~:/?#[]@!$&'()*+,;=%", true);
}

}  // namespace tw
