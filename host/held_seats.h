// Seats kept during a game for players whose connection dropped. A player is
// known by the key his connection was given, or by his name and the address
// he connects from: a name alone would let anyone take over a dropped
// player's score by typing it.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "rules/game_rules.h"

namespace tw {

class HeldSeats {
 public:
  static constexpr int kSeats = rules::kSeatCount;

  // Keeps `seat` (1..6) for this player; other seat numbers are ignored.
  void hold(int seat, std::string name, std::string address, std::string key = {});
  void release(int seat);
  void clear();

  bool held(int seat) const;
  // The name the seat is held for; empty when it is not held.
  const std::string& name(int seat) const;
  // The lowest seat held for this name and address; 0 when none is.
  int find(std::string_view name, std::string_view address) const;
  // The seat held for this key; 0 when none is (or the key is empty).
  int findKey(std::string_view key) const;

 private:
  struct Entry {
    bool held = false;
    std::string name;
    std::string address;
    std::string key;
  };
  std::array<Entry, kSeats + 1> entries_{};  // 1..6
};

}  // namespace tw
