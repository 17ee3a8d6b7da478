// Games on the local network, as DNS-SD announces them: the TXT records a
// host sends and how a neighbour's records are read, and the bounded list
// of what was found. Plain C++; the Avahi glue feeds and reads it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "discovery/game_listing.h"

namespace tw {

inline constexpr char kLanServiceType[] = "_tilewhirl._tcp";
// Neighbours' records are cut to these before anything else looks at them.
inline constexpr std::size_t kMaxLanTitle = 60;      // bytes of UTF-8
inline constexpr std::size_t kMaxLanRecords = 32;    // TXT strings read of one service
inline constexpr std::size_t kMaxLanGames = 200;     // games listed at most

// "v=1", "name=...", "seats=N/6", "watch=N/3", "state=open|playing".
std::vector<std::string> lanRecords(const GameListing& listing);

// A game found on the network.
struct LanGame {
  std::string service;   // the announced name, unique on the network
  std::string title;
  std::string hostName;  // the machine, as it calls itself
  std::string address;   // numeric, to connect to
  std::uint16_t port = 0;
  int seatsTaken = 0;
  int watchers = 0;
  bool playing = false;
  bool full() const;
  bool operator==(const LanGame&) const = default;
};

// Reads a neighbour's TXT strings into `game`'s title, seats, watchers and
// state. False when they are not of a version this program reads or a
// number is out of range; then `game` is unchanged.
bool readLanRecords(const std::vector<std::string>& records, LanGame& game);

// Text from outside cut to `maxBytes` (never inside a UTF-8 sequence) and
// without control characters.
std::string cleanLanText(std::string_view text, std::size_t maxBytes);

// The games found, at most kMaxLanGames, by service name. A service is seen
// once per network interface and protocol; it stays listed while any of
// those sightings does.
class LanGames {
 public:
  // A sighting of a resolved game; false when the list is full and the
  // service is new, or when nothing changed.
  bool put(const LanGame& game, int sighting);
  // A sighting ended; true when the list changed.
  bool remove(const std::string& service, int sighting);
  // Forgets everything (the daemon went away).
  bool clear();
  std::vector<LanGame> games() const;
  const LanGame* find(const std::string& service) const;
  std::size_t size() const { return games_.size(); }

 private:
  struct Entry {
    LanGame game;
    std::set<int> sightings;
    int addressSighting = 0;
  };
  std::map<std::string, Entry> games_;
};

}  // namespace tw
