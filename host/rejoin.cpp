// Coming back to a running game. A dropped player's seat is held, with its
// score and bar, until the game ends; the computer plays it meanwhile. A seat
// is given at accept, before the name is known, so a returning player first
// sits in a free slot and is moved after his login: the host tells the
// connection its new seat with "CMD_sendlogininfo", which every client
// answers with a fresh login. A client that knows nothing of rejoining gets
// a seat back whose connection has failed, by name and address; only the key
// given at login, shown again before the next login, evicts a connection
// that still seems alive, since anyone behind the same router can type a name.
#include <algorithm>
#include <random>
#include <utility>

#include "commands.h"
#include "server.h"

namespace tw {

bool TServer::seated(int seat) const { return seats_[seat].connected || held_.held(seat); }

bool TServer::loggedIn(int slot) const { return seats_[slot].connected && loginChecksLeft_[slot] == 0; }

void TServer::holdSeat(int slot) {
  const Seat& s = seats_[slot];
  if (!gameRunning_ || slot > seatCount || slot == kicked_ || !s.inGame || s.name.empty()) return;
  held_.hold(slot, s.name, addressGroup(peers_[slot]), keys_[slot]);
  log_("seat " + std::to_string(slot) + ": held for " + s.name + " from " + peers_[slot] +
       " until the game ends");
}

bool TServer::rejoin(int slot) {
  const std::string name = seats_[slot].name;
  const std::string address = peers_[slot];
  const std::string key = std::exchange(shownKeys_[slot], std::string());
  if (!gameRunning_ || name.empty()) return false;
  // The old connection of a player who is back may not have been seen to
  // drop yet (a lost network shows no close): with the key, the new one wins.
  for (int s = 1; s <= seatCount && !key.empty(); ++s) {
    if (s == slot || !seats_[s].connected || !seats_[s].inGame || keys_[s] != key) continue;
    log_("seat " + std::to_string(s) + ": " + seats_[s].name + " is back from " + address +
         " on a new connection; the old one goes");
    disconnectsock(s);
    break;
  }
  int seat = key.empty() ? 0 : held_.findKey(key);
  if (seat == 0) seat = held_.find(name, addressGroup(address));
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
  connection_[to] = ++connections_;
  toldSeat_[to] = to;
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

void TServer::giveRejoinKey(int slot) {
  if (slot > seatCount) return;  // a spectator's slot is not held
  static constexpr char kDigits[] = "0123456789abcdef";
  // Not the game's generator: its draws show on the board.
  std::random_device source;
  std::string key;
  while (key.size() < kRejoinKeyLength) {
    for (std::uint32_t bits = source(), n = 0; n < 8 && key.size() < kRejoinKeyLength; ++n, bits >>= 4)
      key += kDigits[bits & 15];
  }
  keys_[slot] = key;
  sendTo(slot, MessageBuilder(cmd::rejoinkey).field(slot).field(key).done());
}

void TServer::rejoinkey(int from, FieldReader& body) {
  body.next();  // the sender's seat, checked before
  const std::string_view key = body.rest();
  if (loggedIn(from) || key.size() != kRejoinKeyLength) {
    log_(refusal(from, cmd::rejoinkey, loggedIn(from) ? "already logged in" : "not a key"));
    return;
  }
  shownKeys_[from] = std::string(key);
}

}  // namespace tw
