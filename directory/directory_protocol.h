// The line protocol between a game host and the directory, written down once
// for both ends. One long-lived TCP connection, opened by the host; every line
// is tab-separated fields ending in '\n', at most kMaxLine bytes with its end.
//
// Host to directory:
//   REGISTER <protocol> <game port> <public|invite> <game version> <code|-> <secret|-> <title>
//       once, first; code and secret are the ones a previous registration gave
//   STATE <seats taken 0-6> <watchers 0-3> <open|playing> <computer level 0-9, 0 none>
//       within a second of a change
//   PING
//       when nothing else was said for kPingMs; the directory drops a game silent for kSilenceMs
//   RECHECK <game port>
//       the way in changed (the home router opened the game port, perhaps as
//       another port): list the game at this port and check it again; a REACH
//       line follows. Checks run one at a time; one asked for meanwhile runs after.
//       A relayed game stays relayed (REACH relayed again) unless the check
//       reaches it: then it is listed at this port and its relay port is freed.
//   RELAY
//       takes the directory's offer to relay the game (only after its RELAY line)
//   JOIN <token>
//       the first line of a fresh connection to the registration port, opened on
//       OPEN <token>: from then on the connection carries that player. The
//       directory sends one PROXY protocol v1 line naming him (see proxy_line.h),
//       then his bytes, and copies the host's back to him.
// Directory to host:
//   CODE <code> <secret>             the game is registered under this invite code
//   REACH direct                     the directory reached the game port and the host answered
//   REACH unreachable <why>          registered, reachable by nobody: not listed; also the
//                                    answer to RELAY when the relay is refused, and why
//   RELAY                            after REACH unreachable: the directory can relay the game
//   REACH relayed <port>             players reach the game at this port of the directory (the
//                                    address the host registered at); listed there
//   OPEN <token>                     a player came to the relay port: connect and say JOIN <token>
//                                    within kJoinMs, or he is sent away
//   PONG
//   ERROR <why>                      a refusal; the directory closes the connection after it
//
// The reachability check goes to the game port itself (see cmd::dirprobe).
//
// Compatibility: a host logs and ignores a line it does not know, so the
// directory may add lines freely; the directory refuses one (ERROR, then
// closes), so a host sends a newer line only where the refusal does no harm.
// RECHECK is such a line: a directory that does not know it refuses it, and
// the host, registering again with its code, gets the same check that way.
// The relay needs no such care and stays within protocol 1: a directory offers it only after REACH
// unreachable, and a host takes it only when offered, so a host or a directory
// that knows nothing of it ignores the one line it does not know (a host) or
// is never sent one (a directory), and goes on as before.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace tw::dir {

inline constexpr int kProtocol = 1;
inline constexpr std::size_t kMaxLine = 512;
inline constexpr std::size_t kMaxTitle = 60;
inline constexpr std::size_t kMaxVersion = 16;
inline constexpr std::size_t kSecretLength = 32;
inline constexpr int kPingMs = 10000;
inline constexpr int kSilenceMs = 30000;
inline constexpr std::uint16_t kRegistrationPort = 7790;
inline constexpr std::uint16_t kLookupPort = 7791;
inline constexpr std::size_t kTokenLength = 32;
inline constexpr int kJoinMs = 10000;

// Invite codes: six characters of an alphabet without look-alikes (no 0/O, 1/I/L).
inline constexpr std::string_view kCodeAlphabet = "23456789ABCDEFGHJKMNPQRSTUVWXYZ";
inline constexpr std::size_t kCodeLength = 6;

// "K7M2QX" as people read it: "K7M-2QX".
std::string showCode(std::string_view code);
// What a person typed ("k7m-2qx", " K7M 2QX ") as a code, or nothing when it
// cannot be one.
std::optional<std::string> readCode(std::string_view typed);

// Host text made safe to keep and show: control bytes dropped, at most `limit` bytes.
std::string cleanText(std::string_view text, std::size_t limit);

struct GameState {
  int seatsTaken = 0;
  int watchers = 0;
  bool playing = false;
  int computerLevel = 0;
  bool operator==(const GameState&) const = default;
};

struct Register {
  int protocol = kProtocol;
  int port = 0;
  bool isPublic = false;
  std::string version;
  std::string code;    // empty: none yet
  std::string secret;  // empty: none yet
  std::string title;
};
struct State {
  GameState state;
};
struct Ping {};
struct Recheck {
  int port = 0;
};
struct TakeRelay {};
struct Join {
  std::string token;
};
// A line that could not be read, and why, for the ERROR line.
struct BadLine {
  std::string why;
};
using HostLine = std::variant<Register, State, Ping, Recheck, TakeRelay, Join, BadLine>;

struct Code {
  std::string code;
  std::string secret;
};
struct Reach {
  bool direct = false;
  std::string why;
  int relayPort = 0;  // not 0: relayed there
};
struct RelayOffer {};
struct Open {
  std::string token;
};
struct Pong {};
struct Refusal {
  std::string why;
};
using DirectoryLine = std::variant<Code, Reach, RelayOffer, Open, Pong, Refusal, BadLine>;

// Lines without their '\n'.
HostLine parseHostLine(std::string_view line);
DirectoryLine parseDirectoryLine(std::string_view line);

// Lines with their '\n'; every text is cleaned, so each is one bounded line.
std::string registerLine(const Register& r);
std::string stateLine(const GameState& s);
std::string pingLine();
std::string recheckLine(int port);
std::string takeRelayLine();
std::string joinLine(const std::string& token);
std::string codeLine(const Code& c);
std::string reachLine(const Reach& r);
std::string relayOfferLine();
std::string openLine(const std::string& token);
std::string pongLine();
std::string errorLine(std::string_view why);

// Splits one connection's bytes into lines, holding at most kMaxLine bytes of
// an unfinished one.
class LineReader {
 public:
  enum class Fed { Ok, TooLong };
  // Appends bytes; complete lines (without '\n', a '\r' before it dropped) are
  // handed to `take` one by one.
  template <typename Take>
  Fed feed(std::string_view bytes, Take&& take) {
    for (char c : bytes) {
      if (c == '\n') {
        if (!pending_.empty() && pending_.back() == '\r') pending_.pop_back();
        take(std::string_view(pending_));
        pending_.clear();
      } else if (pending_.size() + 1 >= kMaxLine) {
        pending_.clear();
        return Fed::TooLong;
      } else {
        pending_.push_back(c);
      }
    }
    return Fed::Ok;
  }

 private:
  std::string pending_;
};

}  // namespace tw::dir
