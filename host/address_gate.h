// Who may come in, judged by the peer's address: only a few connections from
// one address may wait to log in at once (so one machine cannot hold every
// seat with idle sockets), the operator may cap the players of one address,
// and the address of a removed player is kept out for a while. IPv6
// addresses count by their /64, which one home or machine gets whole. The
// host's slot table says which connections are open; this keeps the bans.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/timer.h"

namespace tw {

// 0 switches a limit off.
struct AddressLimits {
  int maxPendingPerAddress = 2;
  // Enough for friends behind one router, too few for one address to hold
  // every slot.
  int maxPlayersPerAddress = 4;
  int kickBanMinutes = 10;
};

// What addresses are counted and kept out by: an IPv4 address whole (an
// IPv4-mapped IPv6 one as IPv4), an IPv6 address by its first 64 bits, as
// "2001:db8:0:1::/64"; text that is neither, as it stands.
std::string addressGroup(std::string_view address);

class AddressGate {
 public:
  // Bans count down in steps of this length, so one lasts at most a step
  // longer than asked.
  static constexpr int kTickMs = 10000;

  // A connection the host holds: where from, and whether it has logged in.
  struct Open {
    std::string_view address;
    bool loggedIn = false;
  };
  enum class Verdict { Admit, Banned, TooManyWaiting, TooManyPlayers };
  struct Decision {
    Verdict verdict = Verdict::Admit;
    // The first refusal for a limit since the address last got in; later ones
    // are not worth a log line each.
    bool first = false;
  };
  struct Ban {
    std::string address;
    std::string name;  // of the player removed: for the host's list, and kept out too
    std::int64_t msLeft = 0;
    std::string group;  // addressGroup(address)
  };

  explicit AddressGate(Timer& timer) : timer_(timer) {}

  void setLimits(const AddressLimits& limits) { limits_ = limits; }
  const AddressLimits& limits() const { return limits_; }

  // Whether one more connection from `address` may come in beside `open`.
  Decision admit(std::string_view address, const std::vector<Open>& open);

  // Keeps `address` out for the ban time; false when bans are off or the
  // address is empty. A second ban of the address starts its time afresh.
  bool ban(const std::string& address, const std::string& name);
  // False when the address was not banned.
  bool lift(std::string_view address);
  bool banned(std::string_view address) const;
  // True while a ban made for a player of this name lasts.
  bool bannedName(std::string_view name) const;
  const std::vector<Ban>& bans() const { return bans_; }
  // The timer's tick: gives true when a ban ended.
  bool tick();

 private:
  Timer& timer_;
  AddressLimits limits_;
  std::vector<Ban> bans_;
  std::vector<std::string> refused_;  // addresses whose refusal has been reported
};

}  // namespace tw
