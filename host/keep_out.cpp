// Keeping addresses out: a refused connection is answered as a full host
// answers, so a client that follows the wire shows what it always shows.
#include "commands.h"
#include "server.h"

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
  for (int s = 2; s <= kSlots; ++s)
    if (seats_[s].connected) open.push_back({peers_[s], loginChecksLeft_[s] == 0});
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
  const std::string& address = peers_[slot];
  const std::string& name = seats_[slot].name;
  if (slot == 1 || gate_.limits().kickBanMinutes <= 0) return;
  // Seat 1 would shut himself out too (on one machine or behind one router).
  if (seats_[1].connected && peers_[1] == address) {
    log_("seat " + std::to_string(slot) + ": not kept out, seat 1 shares the address");
    return;
  }
  if (!gate_.ban(address, name)) return;
  log_(address + " gets no seat for " + minutes(gate_.limits().kickBanMinutes) + " (" +
       (name.empty() ? "seat " + std::to_string(slot) : name) + " was removed)");
  if (bansChanged_) bansChanged_();
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
