// Reading and writing the lines between a game host and the directory.
#include "directory/directory_protocol.h"

#include <array>
#include <charconv>
#include <vector>

namespace tw::dir {
namespace {

// Splits at tabs; the last field takes the rest of the line when `rest` is set.
std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  while (out.size() < 16) {
    const std::size_t tab = line.find('\t', start);
    out.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return out;
}

std::optional<int> number(std::string_view text, int low, int high) {
  if (text.empty() || text.size() > 6) return std::nullopt;
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
  return value;
}

bool isHex(std::string_view text, std::size_t length) {
  if (text.size() != length) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

bool isSecret(std::string_view text) { return isHex(text, kSecretLength); }

std::string join(std::initializer_list<std::string_view> parts) {
  std::string line;
  for (auto part : parts) {
    if (!line.empty()) line += '\t';
    line += part;
  }
  line += '\n';
  return line;
}

}  // namespace

std::string showCode(std::string_view code) {
  if (code.size() != kCodeLength) return std::string(code);
  return std::string(code.substr(0, 3)) + "-" + std::string(code.substr(3));
}

std::optional<std::string> readCode(std::string_view typed) {
  std::string code;
  for (char c : typed) {
    if (c == '-' || c == ' ' || c == '\t') continue;
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    if (kCodeAlphabet.find(c) == std::string_view::npos || code.size() == kCodeLength) return std::nullopt;
    code += c;
  }
  if (code.size() != kCodeLength) return std::nullopt;
  return code;
}

std::string cleanText(std::string_view text, std::size_t limit) {
  std::string out;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) continue;
    if (out.size() == limit) break;
    out += c;
  }
  return out;
}

HostLine parseHostLine(std::string_view line) {
  if (line.size() >= kMaxLine) return BadLine{"line too long"};
  const auto f = fields(line);
  const std::string_view verb = f[0];
  if (verb == "PING") return f.size() == 1 ? HostLine(Ping{}) : HostLine(BadLine{"PING takes nothing"});
  if (verb == "RECHECK") {
    const auto port = f.size() == 2 ? number(f[1], 1, 65535) : std::nullopt;
    if (!port) return BadLine{"RECHECK: the game port is 1-65535"};
    return Recheck{*port};
  }
  if (verb == "RELAY") return f.size() == 1 ? HostLine(TakeRelay{}) : HostLine(BadLine{"RELAY takes nothing"});
  if (verb == "JOIN") {
    if (f.size() != 2 || !isHex(f[1], kTokenLength)) return BadLine{"JOIN takes a token"};
    return Join{std::string(f[1])};
  }
  if (verb == "STATE") {
    if (f.size() != 5) return BadLine{"STATE takes 4 fields"};
    const auto seats = number(f[1], 0, 6);
    const auto watchers = number(f[2], 0, 3);
    const auto level = number(f[4], 0, 9);
    if (!seats || !watchers || !level || (f[3] != "open" && f[3] != "playing"))
      return BadLine{"STATE: seats 0-6, watchers 0-3, open or playing, level 0-9"};
    return State{{*seats, *watchers, f[3] == "playing", *level}};
  }
  if (verb == "REGISTER") {
    if (f.size() < 2) return BadLine{"REGISTER takes 7 fields"};
    const auto protocol = number(f[1], 1, 999);
    if (!protocol) return BadLine{"REGISTER: no protocol number"};
    if (*protocol != kProtocol) return BadLine{"protocol " + std::to_string(*protocol) + " is not spoken here (1 is)"};
    if (f.size() != 8) return BadLine{"REGISTER takes 7 fields"};
    Register r;
    r.protocol = *protocol;
    const auto port = number(f[2], 1, 65535);
    if (!port) return BadLine{"REGISTER: the game port is 1-65535"};
    r.port = *port;
    if (f[3] != "public" && f[3] != "invite") return BadLine{"REGISTER: public or invite"};
    r.isPublic = f[3] == "public";
    r.version = cleanText(f[4], kMaxVersion);
    if (r.version.empty()) return BadLine{"REGISTER: no game version"};
    if (f[5] != "-" || f[6] != "-") {
      const auto code = readCode(f[5]);
      if (!code || !isSecret(f[6])) return BadLine{"REGISTER: a code needs its secret"};
      r.code = *code;
      r.secret = std::string(f[6]);
    }
    r.title = cleanText(f[7], kMaxTitle);
    return r;
  }
  return BadLine{"unknown line"};
}

DirectoryLine parseDirectoryLine(std::string_view line) {
  if (line.size() >= kMaxLine) return BadLine{"line too long"};
  const auto f = fields(line);
  const std::string_view verb = f[0];
  if (verb == "PONG" && f.size() == 1) return Pong{};
  if (verb == "CODE" && f.size() == 3) {
    const auto code = readCode(f[1]);
    if (!code || !isSecret(f[2])) return BadLine{"CODE: a code and its secret"};
    return Code{*code, std::string(f[2])};
  }
  if (verb == "REACH" && f.size() == 2 && f[1] == "direct") return Reach{true, ""};
  if (verb == "REACH" && f.size() == 3 && f[1] == "unreachable") return Reach{false, cleanText(f[2], 200)};
  if (verb == "REACH" && f.size() == 3 && f[1] == "relayed") {
    const auto port = number(f[2], 1, 65535);
    if (!port) return BadLine{"REACH relayed: a port"};
    return Reach{false, "", *port};
  }
  if (verb == "RELAY" && f.size() == 1) return RelayOffer{};
  if (verb == "OPEN" && f.size() == 2 && isHex(f[1], kTokenLength)) return Open{std::string(f[1])};
  if (verb == "ERROR" && f.size() >= 2) return Refusal{cleanText(line.substr(6), 200)};
  return BadLine{"unknown line"};
}

std::string registerLine(const Register& r) {
  const std::string port = std::to_string(r.port);
  const std::string protocol = std::to_string(r.protocol);
  const bool hasCode = !r.code.empty() && !r.secret.empty();
  return join({"REGISTER", protocol, port, r.isPublic ? "public" : "invite", cleanText(r.version, kMaxVersion),
               hasCode ? cleanText(r.code, kCodeLength) : "-", hasCode ? cleanText(r.secret, kSecretLength) : "-",
               cleanText(r.title, kMaxTitle)});
}

std::string stateLine(const GameState& s) {
  return join({"STATE", std::to_string(s.seatsTaken), std::to_string(s.watchers), s.playing ? "playing" : "open",
               std::to_string(s.computerLevel)});
}

std::string pingLine() { return "PING\n"; }
std::string recheckLine(int port) { return join({"RECHECK", std::to_string(port)}); }
std::string takeRelayLine() { return "RELAY\n"; }
std::string joinLine(const std::string& token) { return join({"JOIN", cleanText(token, kTokenLength)}); }
std::string relayOfferLine() { return "RELAY\n"; }
std::string openLine(const std::string& token) { return join({"OPEN", cleanText(token, kTokenLength)}); }
std::string codeLine(const Code& c) { return join({"CODE", c.code, c.secret}); }
std::string reachLine(const Reach& r) {
  if (r.relayPort > 0) return join({"REACH", "relayed", std::to_string(r.relayPort)});
  return r.direct ? join({"REACH", "direct"}) : join({"REACH", "unreachable", cleanText(r.why, 200)});
}
std::string pongLine() { return "PONG\n"; }
std::string errorLine(std::string_view why) { return join({"ERROR", cleanText(why, 200)}); }

}  // namespace tw::dir
