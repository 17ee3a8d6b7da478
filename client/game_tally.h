// What a finished game and a scored word tell the player's tally. The game
// mirror calls it; the tally of games implements it.
#pragma once

#include <string>
#include <vector>

namespace tw {

// How a finished game went for the player: the own win travels as a value of
// its own, so that no opponent's name can stand for it.
struct GameResult {
  bool ownWin = false;
  std::string winner;  // the winner's name
};

class GameTally {
 public:
  virtual ~GameTally() = default;
  // Adds 1 to a column of the own totals (3: words made).
  virtual void addtomineincrease(int column) = 0;
  // Offers a word and its points as the best in `column` (4); it replaces
  // the best so far only when it is worth more.
  virtual void addtomineset(int column, int points, const std::string& word) = 0;
  // A game ended while the own seat played; `players` are the names in the
  // other playing seats.
  virtual void addgame(const GameResult& result, const std::vector<std::string>& players) = 0;
};

}  // namespace tw
