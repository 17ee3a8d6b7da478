// Seats kept during a game for players whose connection dropped. A player is
// known by his name and the address he connects from: a name alone would let
// anyone take over a dropped player's score by typing it.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "game_rules.h"

namespace tw {

class HeldSeats {
 public:
  static constexpr int kSeats = rules::kSeatCount;

  // Keeps `seat` (1..6) for this player; other seat numbers are ignored.
  void hold(int seat, std::string name, std::string address);
  void release(int seat);
  void clear();

  bool held(int seat) const;
  // The name the seat is held for; empty when it is not held.
  const std::string& name(int seat) const;
  // The lowest seat held for this name and address; 0 when none is.
  int find(std::string_view name, std::string_view address) const;

 private:
  struct Entry {
    bool held = false;
    std::string name;
    std::string address;
  };
  std::array<Entry, kSeats + 1> entries_{};  // 1..6
};

}  // namespace tw
