// The directory's registry: host connections and their games, invite codes,
// reachability, silence expiry and per-address limits, driven by the clock
// its caller passes in. Plain C++: the program binds it to sockets, tests to
// a recording fake.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <variant>

#include "directory/directory_protocol.h"
#include "directory/storage.h"

namespace tw::dir {

struct Limits {
  int gamesPerAddress = 10;   // host connections (registered or about to be) per source address
  int lookupsPerMinute = 30;  // invite look-ups per address
  int silenceMs = kSilenceMs;
  std::size_t maxConnections = 20000;  // host connections in all
  std::size_t maxLookupAddresses = 100000;
  int httpConnectionsPerAddress = 8;  // look-up connections open at once per address
  // The relay: ports firstRelayPort..lastRelayPort (0: no relay), one per
  // relayed game, at most relayGames of them, each carrying at most
  // relayBytesPerSecond (0: no limit).
  int firstRelayPort = 0;
  int lastRelayPort = 0;
  int relayGames = 500;
  int relayBytesPerSecond = 64 * 1024;
};

// What the registry asks of the sockets.
class RegistryOutput {
 public:
  virtual ~RegistryOutput() = default;
  virtual void send(int connection, const std::string& line) = 0;
  // Close after what was sent; the registry has already forgotten the connection.
  virtual void close(int connection) = 0;
  // Connect to address:port and check that the host there answers `nonce`;
  // the answer comes back as Registry::probed.
  virtual void probe(int connection, const std::string& address, int port, const std::string& nonce) = 0;
  // Starts relaying the game of `connection` on `port`: gives the address that
  // players are told to connect to there, or nothing when the port cannot be taken.
  virtual std::optional<std::string> relay(int /*connection*/, int /*port*/) { return std::nullopt; }
  // The game of `connection` left; its relay port closes.
  virtual void unrelay(int /*connection*/) {}
  // `connection` said JOIN and carries a relayed player from now on; `rest` is
  // what came after its line. The registry has forgotten it.
  virtual void joined(int connection, const std::string& /*token*/, std::string_view /*rest*/) { close(connection); }
};

class Registry {
 public:
  using Random = std::function<std::uint64_t()>;
  Registry(Storage& storage, RegistryOutput& out, Limits limits, Random random);

  // A host connection from `address`; false (after an ERROR line) when refused.
  bool opened(int connection, const std::string& address, std::int64_t nowMs);
  void received(int connection, std::string_view bytes, std::int64_t nowMs);
  // The connection closed from the host's end, or broke.
  void closed(int connection);
  // Drops connections silent for the silence time.
  void tick(std::int64_t nowMs);
  // The reachability check for `connection` ended.
  void probed(int connection, bool reached, const std::string& why, std::int64_t nowMs);

  std::size_t connections() const { return links_.size(); }
  std::size_t relayed() const { return relayPorts_.size(); }

 private:
  struct Link {
    std::string address;
    LineReader reader;
    std::int64_t heardMs = 0;
    bool registered = false;
    Listing game;
    std::string secret;
    std::string nonce;
    bool probing = false;
    int checkPort = 0;    // the port being checked
    int recheckPort = 0;  // a RECHECK that came during a check
    bool offered = false;  // the relay was offered
    int relayPort = 0;
  };
  void line(int connection, Link& link, std::string_view text, std::int64_t nowMs);
  void enrol(int connection, Link& link, const Register& r, std::int64_t nowMs);
  void check(int connection, Link& link, int port);
  void startRelay(int connection, Link& link, std::int64_t nowMs);
  void stopRelay(int connection, Link& link);
  void refuse(int connection, const std::string& why);
  void forget(int connection);
  std::string randomHex(std::size_t length);
  std::string newCode(const std::string& secret, std::int64_t nowMs);

  Storage& storage_;
  RegistryOutput& out_;
  Limits limits_;
  Random random_;
  std::map<int, Link> links_;
  std::unordered_map<std::string, int> perAddress_;
  std::set<int> relayPorts_;
  int nextRelayPort_ = 0;
};

// The HTTP side's look-ups: the public list and invite codes, with the per-address
// limit on invite look-ups. Safe to call from several threads.
class Lookups {
 public:
  Lookups(Storage& storage, Limits limits) : storage_(storage), limits_(limits) {}

  struct TooMany {};
  struct NotFound {};
  using Invite = std::variant<Listing, NotFound, TooMany>;
  Invite invite(const std::string& address, std::string_view typed, std::int64_t nowMs);
  // Public, reachable games, oldest first.
  std::vector<Listing> publicGames(std::int64_t nowMs);

 private:
  struct Window {
    std::int64_t startMs = 0;
    int count = 0;
  };
  bool allow(const std::string& address, std::int64_t nowMs);

  Storage& storage_;
  Limits limits_;
  std::mutex mutex_;
  std::unordered_map<std::string, Window> windows_;
};

}  // namespace tw::dir
