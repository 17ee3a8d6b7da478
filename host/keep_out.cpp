// Keeping addresses out: a refused connection is answered as a full host
// answers, so a client that follows the wire shows what it always shows. A
// removed player is kept out at every address his name logged in from and,
// by his name, at the next one he tries: a machine has an IPv4 and an IPv6
// address, and nothing else tells the host they belong together.
#include <algorithm>

#include "host/server.h"
#include "net/commands.h"

namespace tw {

namespace {
std::string minutes(int n) { return std::to_string(n) + (n == 1 ? " minute" : " minutes"); }
}  // namespace

int TServer::refuse() {
  transport_.take(kRefusedSlot);
  transport_.send(kRefusedSlot, MessageBuilder(cmd::full).done(true));
  transport_.close(kRefusedSlot);
  return kRefusedSlot;
}

bool TServer::admitted(int slot, std::string_view peer) {
  // Seat 1 (in a game window, its own connection) is outside the limits and
  // does not count against its address; a ban holds for it too, or a removed
  // player could take the host's rights once seat 1 is free.
  if (slot == 1) return !gate_.banned(peer);
  std::vector<AddressGate::Open> open;
  for (int s = 2; s <= kLastSlot; ++s)
    if (const Connection* connection = slots_.at(s)) open.push_back({connection->peer, connection->loggedIn()});
  const AddressGate::Decision decision = gate_.admit(peer, open);
  const AddressLimits& limits = gate_.limits();
  if (decision.first && decision.verdict == AddressGate::Verdict::TooManyWaiting)
    log_("connection from " + std::string(peer) + " refused: " + std::to_string(limits.maxPendingPerAddress) +
         " from that address wait to log in (further ones are refused without a word here)");
  if (decision.first && decision.verdict == AddressGate::Verdict::TooManyPlayers)
    log_("connection from " + std::string(peer) + " refused: " + std::to_string(limits.maxPlayersPerAddress) +
         " players come from that address (further ones are refused without a word here)");
  return decision.verdict == AddressGate::Verdict::Admit;
}

void TServer::keepOut(int slot) {
  const Connection& connection = *slots_.at(slot);
  const std::string& name = connection.name;
  if (slot == 1 || gate_.limits().kickBanMinutes <= 0) return;
  std::vector<std::string> addresses{connection.peer};
  for (const auto& [seen, address] : sightings_)
    if (!name.empty() && seen == name && std::find(addresses.begin(), addresses.end(), address) == addresses.end())
      addresses.push_back(address);
  bool changed = false;
  for (const std::string& address : addresses) {
    // Seat 1 would shut himself out too (on one machine or behind one router).
    if (slots_.connected(1) && addressGroup(slots_.at(1)->peer) == addressGroup(address)) {
      log_("seat " + std::to_string(slot) + ": " + address + " not kept out, seat 1 shares the address");
      continue;
    }
    if (!gate_.ban(address, name)) continue;
    changed = true;
    log_(address + " gets no seat for " + minutes(gate_.limits().kickBanMinutes) + " (" +
         (name.empty() ? "seat " + std::to_string(slot) : name) + " was removed)");
  }
  if (changed && bansChanged_) bansChanged_();
}

bool TServer::keptOutByName(int slot) {
  Connection& connection = *slots_.at(slot);
  const std::string& name = connection.name;
  const std::string& peer = connection.peer;
  if (slot == 1 || !gate_.bannedName(name)) return false;
  log_("seat " + std::to_string(slot) + ": " + name + " was removed and logs in again from " + peer +
       "; closing the connection");
  const bool seatOnesAddress = slots_.connected(1) && addressGroup(slots_.at(1)->peer) == addressGroup(peer);
  if (!seatOnesAddress && !gate_.banned(peer) && gate_.ban(peer, name)) {
    log_(peer + " gets no seat for " + minutes(gate_.limits().kickBanMinutes) + " (" + name + " was removed)");
    if (bansChanged_) bansChanged_();
  }
  slots_.sendTo(slot, MessageBuilder(cmd::full).done(true));
  connection.name.clear();  // never announced; nobody hears it leave by name
  disconnectsock(slot);
  return true;
}

void TServer::noteSighting(int slot) {
  const Connection& connection = *slots_.at(slot);
  std::pair<std::string, std::string> sighting{connection.name, connection.peer};
  if (std::find(sightings_.begin(), sightings_.end(), sighting) != sightings_.end()) return;
  if (sightings_.size() == kSightings) sightings_.erase(sightings_.begin());
  sightings_.push_back(std::move(sighting));
}

bool TServer::letBackIn(std::string_view address) {
  if (!gate_.lift(address)) return false;
  log_(std::string(address) + " may come in again");
  if (bansChanged_) bansChanged_();
  return true;
}

void TServer::bantimerTimer() {
  if (gate_.tick() && bansChanged_) bansChanged_();
}

}  // namespace tw
