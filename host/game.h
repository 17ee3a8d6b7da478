// Game: the game as the host holds it (the seats' scores and letters, the
// board, the turn), shared by the parts that play it: setup and moves in
// TServer, the turn engine, the board view and the computer player. Plain
// data; the rules live in those parts.
#pragma once

#include <array>
#include <string>

#include "net/framing.h"
#include "rules/game_rules.h"

namespace tw {

// The lower-case letter of a tile code; no letter for any other code.
inline std::string converttoletter(int code) {
  if (code < 1 || code > 26) return {};
  return std::string(1, char('a' + code - 1));
}

// One letter of a seat: entries 1..7 are the bar, 8..12 the cells the computer
// turned over this turn.
struct LetterEntry {
  int code = 0;
  bool used = false;
  CellRef position;  // 0,n for bar slot n, x,y for a board cell
};

// A playing seat's part of the game. It outlives the connections that sit in
// it: a dropped player's score and bar wait for him.
struct SeatGame {
  int score = 0;
  std::string computerName;
  std::array<LetterEntry, 13> letters{};  // 1..12; entry 0 is unused
  bool inGame = false;
};

struct BoardCell {
  int code = 0;
  bool faceUp = false;
  bool used = false;
  bool seen = false;  // turned up in view of everyone since it was laid
};

// The turn phases, kept as the tag of timer1 and numbered as its tags are.
enum class TurnPhase {
  None = 0,       // no game, or the game is over
  Pause = 1,      // after a word, a pass or time up
  Turn = 2,       // a turn runs; moves are accepted
  EmptyDone = 3,  // after an empty Done
  Sneak = 4,      // a look at the board before a turn
};

struct Game {
  static constexpr int seatCount = rules::kSeatCount;
  static constexpr int kBoardWidth = rules::kBoardWidth;
  static constexpr int kBoardHeight = rules::kBoardHeight;

  bool onTurn(int seat) const { return phase == TurnPhase::Turn && seat == currentSeat; }

  std::array<SeatGame, seatCount + 1> seats{};  // 1..6; 0 unused
  std::array<std::array<BoardCell, kBoardHeight + 1>, kBoardWidth + 1> board{};  // [x][y], 1-based
  bool gameRunning = false;
  TurnPhase phase = TurnPhase::None;
  int countdown = 0;  // ticks of timer1 left in the phase
  int currentSeat = 0;
  int flipsThisTurn = 0;
  int playToScore = 100;
  int turnSeconds = 60;
  std::string gameMode;
  std::string fourPlayer;
  bool viewable = false;
  int sneakerSeat = 0;
};

}  // namespace tw
