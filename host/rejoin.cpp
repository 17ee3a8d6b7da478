// Coming back to a running game. A dropped player's seat is held, with its
// score and bar, until the game ends; the computer plays it meanwhile. A seat
// is given at accept, before the name is known, so a returning player first
// sits in a free slot and is moved after his login: the host tells the
// connection its new seat with "CMD_sendlogininfo", which every client
// answers with a fresh login. No client needs to know about rejoining.
#include <algorithm>

#include "commands.h"
#include "server.h"

namespace tw {

bool TServer::seated(int seat) const { return seats_[seat].connected || held_.held(seat); }

void TServer::holdSeat(int slot) {
  const Seat& s = seats_[slot];
  if (!gameRunning_ || slot > seatCount || slot == kicked_ || !s.inGame || s.name.empty()) return;
  held_.hold(slot, s.name, peers_[slot]);
  log_("seat " + std::to_string(slot) + ": held for " + s.name + " from " + peers_[slot] +
       " until the game ends");
}

bool TServer::rejoin(int slot) {
  const std::string name = seats_[slot].name;
  const std::string address = peers_[slot];
  if (!gameRunning_ || name.empty()) return false;
  // The old connection of a player who is back may not have been seen to
  // drop yet (a lost network shows no close): the new one wins.
  for (int s = 1; s <= seatCount; ++s) {
    const Seat& old = seats_[s];
    if (s == slot || !old.connected || !old.inGame || old.name != name || peers_[s] != address) continue;
    log_("seat " + std::to_string(s) + ": " + name + " is back from " + address +
         " on a new connection; the old one goes");
    disconnectsock(s);
    break;
  }
  const int seat = held_.find(name, address);
  if (seat == 0 || seat == slot) return false;
  moveConnection(slot, seat);
  return true;
}

void TServer::moveConnection(int from, int to) {
  transport_.move(from, to);
  Seat& seat = seats_[to];
  seat.connected = true;
  seat.name = held_.name(to);
  seat.justWatching = false;
  held_.release(to);
  peers_[to] = std::move(peers_[from]);
  // Bytes already on their way from the peer belong to the same stream.
  inboxes_[to] = std::move(inboxes_[from]);
  inboxes_[from] = Inbox{};
  lagging_[to] = lagging_[from];
  forget(from);
  // Until the login that answers the new seat, the seat may be lost again and
  // is held again; a peer that never answers meets the login deadline.
  loginChecksLeft_[to] = kLoginChecks + 1;
  if (!logintimer_.running()) logintimer_.start(std::max(1, loginDeadlineMs_ / kLoginChecks));
  log_("seat " + std::to_string(from) + ": " + seat.name + " returns to seat " + std::to_string(to));
  sendTo(to, MessageBuilder(cmd::sendlogininfo).field(to).done());
  // A turn that reached the slot he passed through goes on to the next seat.
  if (from == currentSeat_ && from != 1) findplayer();
}

}  // namespace tw
