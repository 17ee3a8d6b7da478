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

#include "host/server.h"
#include "net/commands.h"

namespace tw {

void TServer::holdSeat(int slot) {
  const Connection* connection = slots_.at(slot);
  if (!game_.gameRunning || slot > seatCount || slot == kicked_ || !connection || !game_.seats[slot].inGame ||
      connection->name.empty())
    return;
  slots_.held.hold(slot, connection->name, addressGroup(connection->peer), connection->key);
  log_("seat " + std::to_string(slot) + ": held for " + connection->name + " from " + connection->peer +
       " until the game ends");
}

bool TServer::rejoin(int slot) {
  Connection& connection = *slots_.at(slot);
  const std::string name = connection.name;
  const std::string address = connection.peer;
  const std::string key = std::exchange(connection.shownKey, std::string());
  if (!game_.gameRunning || name.empty()) return false;
  // The old connection of a player who is back may not have been seen to
  // drop yet (a lost network shows no close): with the key, the new one wins.
  for (int s = 1; s <= seatCount && !key.empty(); ++s) {
    const Connection* old = slots_.at(s);
    if (s == slot || !old || !game_.seats[s].inGame || old->key != key) continue;
    log_("seat " + std::to_string(s) + ": " + old->name + " is back from " + address +
         " on a new connection; the old one goes");
    disconnectsock(s);
    break;
  }
  int seat = key.empty() ? 0 : slots_.held.findKey(key);
  if (seat == 0) seat = slots_.held.find(name, addressGroup(address));
  if (seat == 0 || seat == slot) return false;
  moveConnection(slot, seat);
  return true;
}

void TServer::moveConnection(int from, int to) {
  transport_.move(from, to);
  // The same peer and stream (bytes already on their way belong to it), as
  // a new connection: nothing given in the slot it passed through comes along.
  Connection& connection = slots_.open(to, *slots_.take(from));
  connection.id = ++connections_;
  connection.toldSeat = to;
  connection.name = slots_.held.name(to);
  connection.justWatching = false;
  slots_.held.release(to);
  // Until the login that answers the new seat, the seat may be lost again and
  // is held again; a peer that never answers meets the login deadline.
  connection.loginChecksLeft = kLoginChecks + 1;
  startLoginClock();
  log_("seat " + std::to_string(from) + ": " + connection.name + " returns to seat " + std::to_string(to));
  slots_.sendTo(to, MessageBuilder(cmd::sendlogininfo).field(to).done());
  // A turn that reached the slot he passed through goes on to the next seat,
  // but for seat 2's: the computer plays that one and only paused meanwhile.
  if (from == 2 && game_.currentSeat == 2)
    computer_.resumeTurn();
  else if (from == game_.currentSeat && from != 1)
    turns_.findplayer();
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
  slots_.at(slot)->key = key;
  slots_.sendTo(slot, MessageBuilder(cmd::rejoinkey).field(slot).field(key).done());
}

void TServer::rejoinkey(int from, FieldReader& body) {
  body.next();  // the sender's seat, checked before
  const std::string_view key = body.rest();
  if (slots_.loggedIn(from) || key.size() != kRejoinKeyLength) {
    log_(refusal(from, cmd::rejoinkey, slots_.loggedIn(from) ? "already logged in" : "not a key"));
    return;
  }
  slots_.at(from)->shownKey = std::string(key);
}

}  // namespace tw
