// The roster as this copy shows it: the name label of each playing seat
// (with "<Waiting>" for an empty one and the computer's name for seat 2),
// who is just watching, and the spectators of the spy list.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "rules/game_rules.h"

namespace tw {

// Lines this copy makes about a player read right for the solo player's
// name "You": "You have", "You are", "Your turn".
std::string possessive(std::string_view name);
// The name and a verb: `verb` for others, `youVerb` for "You".
std::string sentence(std::string_view name, std::string_view verb, std::string_view youVerb);

class Roster {
 public:
  static constexpr int seatCount = rules::kSeatCount;
  static constexpr int kSlots = rules::kSlotCount;
  static constexpr std::string_view kWaiting = "<Waiting>";

  Roster();

  static bool playingSeat(int seat) { return seat >= 1 && seat <= seatCount; }
  // The computer player's name kept with each seat's label (2..6).
  static std::string_view computerName(int seat);

  // The text of a seat's name label; empty for seats without one.
  const std::string& name(int seat) const;
  bool visible(int seat) const { return playingSeat(seat) && visible_[std::size_t(seat)]; }
  bool watching(int seat) const { return playingSeat(seat) && watching_[std::size_t(seat)]; }
  bool empty(int seat) const { return name(seat) == kWaiting; }
  // The names in the other playing seats that are taken: whom a game of
  // `ownSeat` is tallied against.
  std::vector<std::string> opponents(int ownSeat) const;

  // Changes of playing seats; other seat numbers are ignored.
  void setName(int seat, std::string name, bool visible);
  void setWatching(int seat, bool watching);

  // The spectators, in the order they came.
  struct Spy {
    int seat = 0;
    std::string name;
    friend bool operator==(const Spy&, const Spy&) = default;
  };
  const std::vector<Spy>& spies() const { return spies_; }
  // A spy list entry as shown: seat, ": ", name.
  static std::string spyEntry(const Spy& spy);
  void addSpy(int seat, std::string_view name);
  bool removeSpy(int seat, std::string_view name);
  void clearSpies() { spies_.clear(); }

 private:
  std::array<std::string, seatCount + 1> names_{};
  std::array<bool, seatCount + 1> visible_{};
  std::array<bool, seatCount + 1> watching_{};
  std::vector<Spy> spies_;
};

}  // namespace tw
