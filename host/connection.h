// Connection: one peer's connection to the host, from its accept to its
// close. Everything the host keeps of a connection lives here, so that
// forgetting one is dropping one object, and nothing given to it (a seat's
// key, the look at the board, a chat allowance) passes to the next
// connection in its slot. What belongs to the seat instead (score, bar, a
// seat held for a dropped player) is kept apart and outlives it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "net/inbox.h"

namespace tw {

struct Connection {
  // Limits on what one connection may make the host hold.
  static constexpr std::size_t kMaxPendingBytes = 64 * 1024;
  static constexpr std::size_t kMaxQueuedMessages = 256;
  static constexpr std::size_t kMaxQueuedBytes = 256 * 1024;

  Connection(std::uint64_t id, std::string peer, int toldSeat, int loginChecks, int chatTokens)
      : id(id), peer(std::move(peer)), toldSeat(toldSeat), loginChecksLeft(loginChecks), chatTokens(chatTokens) {}

  bool loggedIn() const { return loginChecksLeft == 0; }

  // New at every accept and move: what was given to one connection is given
  // by its number, never by its slot.
  std::uint64_t id;
  std::string peer;  // the address it connects from
  int toldSeat;      // the seat it was told to log in as
  std::string name;  // from its login; empty before
  bool justWatching = false;  // the computer plays its seat's turns
  // Checks of the login deadline left; 0 once logged in.
  int loginChecksLeft;
  std::string key;       // the rejoin key given at its login
  std::string shownKey;  // a key it showed before its login
  // Its unfinished bytes and the messages waiting for the pump.
  Inbox inbox{{kMaxQueuedMessages, kMaxQueuedBytes, kMaxPendingBytes}, Inbox::Overflow::Report};
  // It reads too slowly; it is dropped when the event under way ends.
  bool lagging = false;
  // Relayed lines it may send now, and whether its waiting ones were logged.
  int chatTokens;
  bool chatHeld = false;
};

}  // namespace tw
