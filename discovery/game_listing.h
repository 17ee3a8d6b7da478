// What a host tells the world about its game, and the small interface through
// which the host hands it to whatever announces it (the local network, the
// directory). Plain C++: the host's glue fills it, the announcers read it.
#pragma once

#include <cstdint>
#include <string>

namespace tw {

struct GameListing {
  std::string title;
  std::uint16_t port = 0;
  int seatsTaken = 0;
  int watchers = 0;
  bool playing = false;
  std::string computerLevel;  // empty when no computer plays
  bool operator==(const GameListing&) const = default;
};

// Told the current listing whenever it changes, and told to withdraw it when
// the host stops listening. Implementations never call back into the host.
class ListingSink {
 public:
  virtual ~ListingSink() = default;
  virtual void publish(const GameListing& listing) = 0;
  virtual void withdraw() = 0;
};

// How players reach the game, as its directory last found: it reached the
// game port, or the port the home router opened for it, relays it, or
// nothing works.
struct Reachability {
  enum class Way { Unreachable, Direct, PortMapped, Relayed };
  Way way = Way::Unreachable;
  std::string why;      // Unreachable: what the directory found
  std::string relay;    // Relayed: "host:port" of the directory's relay
  int gamePort = 0;     // the port players connect to on this machine
  int mappedPort = 0;   // PortMapped: the router's port that leads to it
  bool operator==(const Reachability&) const = default;
};

// One line for the log: "Ann's game on port 4000: 2/6 seats, 1/3 watching, open".
std::string describe(const GameListing& listing);

}  // namespace tw
