// Slots: the host's connection slots, the seats held for dropped players, and
// sending. Slots 1..6 are the playing seats and 7..9 the spectators; the
// refused slot takes a connection only to refuse it, and the waiting slots
// after it hold newcomers that must first show who they are.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "host/connection.h"
#include "host/held_seats.h"
#include "host/host_transport.h"
#include "rules/game_rules.h"

namespace tw {

class Slots {
 public:
  static constexpr int kSeats = rules::kSeatCount;
  static constexpr int kSlots = rules::kSlotCount;  // seats 1..6 and spectators 7..9
  static constexpr int kRefused = kSlots + 1;
  static constexpr int kFirstWaiting = kRefused + 1;
  static constexpr int kLast = kRefused + kSeats;
  // A peer that stops reading is dropped once this much waits to go to it.
  static constexpr std::size_t kMaxUnsentBytes = 4 * 1024 * 1024;

  explicit Slots(HostTransport& transport) : transport_(transport) {}

  static bool inRange(int slot) { return slot >= 1 && slot <= kLast; }
  static bool waiting(int slot) { return slot >= kFirstWaiting && slot <= kLast; }

  // The connection in `slot`; null when there is none.
  Connection* at(int slot) { return inRange(slot) && open_[slot] ? &*open_[slot] : nullptr; }
  const Connection* at(int slot) const { return inRange(slot) && open_[slot] ? &*open_[slot] : nullptr; }
  bool connected(int slot) const { return at(slot) != nullptr; }
  bool loggedIn(int slot) const { return connected(slot) && at(slot)->loggedIn(); }
  // Connected, or held for its dropped player.
  bool seated(int seat) const { return connected(seat) || held.held(seat); }
  // The name the connection in `slot` logged in with; empty when none.
  const std::string& name(int slot) const;
  bool justWatching(int slot) const { return connected(slot) && at(slot)->justWatching; }

  Connection& open(int slot, Connection connection);
  // Takes the connection out of `slot`, which is then free.
  std::optional<Connection> take(int slot) { return std::exchange(open_[slot], std::nullopt); }
  void forget(int slot) { open_[slot].reset(); }

  // The highest seat or spectator slot handed out so far; it never shrinks.
  int slotCount() const { return slotCount_; }
  void counted(int slot) { slotCount_ = std::max(slotCount_, slot); }

  // A send to a slot without a connection, or to one that fell behind, is dropped.
  void sendTo(int slot, const std::string& message);
  // To every seat and spectator.
  void broadcast(const std::string& message);
  void sendToAllBut(int slot, const std::string& message);

  HeldSeats held;

 private:
  HostTransport& transport_;
  std::array<std::optional<Connection>, kLast + 1> open_{};  // 0 unused
  int slotCount_ = 0;
};

}  // namespace tw
