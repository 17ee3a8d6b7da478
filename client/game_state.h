// The game as the client mirrors it: the board, the user's bar and word row,
// the seats' scores and results, the turn clock and the panels over the
// button row. Plain data; the mirror's handlers change it and the window
// draws it.
#pragma once

#include <array>
#include <string>

#include "rules/game_rules.h"

namespace tw {

struct GameState {
  static constexpr int kBoardWidth = rules::kBoardWidth;
  static constexpr int kBoardHeight = rules::kBoardHeight;
  static constexpr int kBarSize = rules::kBarSize;
  static constexpr int kWordPositions = rules::kWordPositions;
  static constexpr int kSeatCount = rules::kSeatCount;
  // Tile images: 1..26 faces, this the back, faces + kFaded the faded faces.
  static constexpr int kBack = 27;
  static constexpr int kFaded = 27;
  // Width of the time bar at rest and per second of the turn.
  static constexpr int kTimeBarWidth = 225;
  static constexpr int kTimeBarSpan = 224;

  struct Cell {
    int code = 0;  // kBack while the letter is not known
    bool faceUp = false;
    bool inWord = false;  // some player took it into the word row: shown faded
    bool picked = false;  // the user took it into their own word this turn
  };
  struct WordPosition {
    std::string cell = "0,0";  // origin: "x,y", "0,slot" or "0,0" when empty
    int face = 0;              // tile code shown; 0 shows nothing
    bool boardLetter = false;  // the letter came from the board
    bool marker = false;       // the board-letter marker is shown
  };
  struct BarSlot {
    int code = 0;      // the tile last dealt to the slot
    int tag = 0;       // the code while the tile is usable, 0 once it is in the word
    int position = 0;  // where on screen the slot's image stands, 1..7
  };
  struct SeatLine {
    std::string score = "0";
    std::string bonus;  // the seat's last result
  };

  GameState() {
    for (int n = 1; n <= kBarSize; ++n) bar[std::size_t(n)].position = n;
    // Before the first game the board shows its backs.
    for (auto& column : board)
      for (auto& c : column) c.code = kBack;
  }

  Cell& cell(int x, int y) { return board[std::size_t(x)][std::size_t(y)]; }
  const Cell& cell(int x, int y) const { return board[std::size_t(x)][std::size_t(y)]; }
  // The image a cell shows: the back, the face, or the faded face.
  int cellImage(int x, int y) const {
    const Cell& c = cell(x, y);
    if (c.code == 0) return 0;
    if (c.code == kBack) return kBack;  // its letter is not known here
    if (c.inWord || (sneakPeek && c.faceUp)) return c.code + kFaded;
    return c.faceUp ? c.code : kBack;
  }
  // True while the user may move: their turn, and the clock not run out.
  bool onTurn(int ownSeat) const { return ownSeat != 0 && seatOnTurn == ownSeat; }

  std::array<std::array<Cell, kBoardHeight + 1>, kBoardWidth + 1> board{};  // [x][y], 1-based
  std::array<BarSlot, kBarSize + 1> bar{};                                  // 1..7
  std::array<WordPosition, kWordPositions + 1> word{};                      // 1..10
  std::array<SeatLine, kSeatCount + 1> seats{};                             // 1..6

  int seatOnTurn = 0;  // whose moves count; 0 nobody
  int turnCount = 0;   // turns announced so far; keyboard focus follows a new one
  int markedSeat = 0;  // the seat whose labels show red, under the turn marker
  int wordLength = 0;
  int flipsMade = 0;
  bool building = false;  // the five flips are done: the word may be built
  int selectedSlot = 0;   // raised by a right-click for swapping; 0 none
  int secondsLeft = 0;
  int turnTime = 60;
  int barScale = kTimeBarSpan / 60;

  std::string status = "Welcome to Tilewhirl";
  std::string timePerTurn = "Time Per Turn: 60 secs";
  std::string gameMode = "Game Mode: " + std::string(rules::kGameModes[0].caption);
  std::string playToScore = "Play to Score: 250";
  std::string clock = "Time: 0:00";
  bool clockRed = false;
  int timeBar = kTimeBarWidth;

  bool moveButtons = false;
  bool startButton = false;
  bool winnerShown = false;
  std::string winnerText;
  bool theirTilesShown = false;
  std::string theirTilesLabel;
  std::array<int, kBarSize + 1> theirTiles{};
  int sneakerSeat = 0;     // the seat the sneak-peek marker stands by; 0 hidden
  bool sneakPeek = false;  // the whole board is shown faded for a look before the turn
  bool fourPlayer = false;
};

}  // namespace tw
