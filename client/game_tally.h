// What a finished game and a scored word tell the player's tally. The game
// mirror calls it; the tally of games implements it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tw {

class GameTally {
 public:
  // The winner's name in addgame when the own seat won.
  static constexpr std::string_view kOwnWin = "addtomine";

  virtual ~GameTally() = default;
  // Adds 1 to a column of the own totals (3: words made).
  virtual void addtomineincrease(int column) = 0;
  // Offers a word and its points as the best in `column` (4); it replaces
  // the best so far only when it is worth more.
  virtual void addtomineset(int column, int points, const std::string& word) = 0;
  // A game ended while the own seat played. `winner` is the winner's name,
  // or kOwnWin; `players` are the names in the other playing seats.
  virtual void addgame(const std::string& winner, const std::vector<std::string>& players) = 0;
};

}  // namespace tw
