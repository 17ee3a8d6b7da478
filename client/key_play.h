// KeyPlay: a turn played from the keyboard. A focus cell on the board and a
// focus place on the bar stand in for the mouse pointer; each key becomes
// the same click the mouse would make, so the mirror's move rules decide.
// Also the words a screen reader says for a cell, a bar slot and a word
// position.
#pragma once

#include <functional>
#include <string>

#include "client/game_mirror.h"

namespace tw {

class KeyPlay {
 public:
  enum class Key { Left, Right, Up, Down, Space, Select, Backspace, Return, Escape, Letter };
  // Where the keyboard focus is.
  enum class Place { Board, Bar };

  KeyPlay(GameMirror& game, std::function<int()> ownSeat);

  // Handles a key; false when it means nothing here, so the window may use
  // it. `letter` is the typed letter for Key::Letter.
  bool press(Place place, Key key, char letter = 0);
  // True once per turn of ours, at its start: the focus cell is back at the
  // top-left cell and the board may take the focus.
  bool turnStarted();

  int focusX() const { return x_; }
  int focusY() const { return y_; }
  // The bar's focus place, 1..7 from the left, and the slot standing there.
  int focusPlace() const { return place_; }
  int focusSlot() const;

  // What a cell, a bar slot and a word position show, in words.
  static std::string cellWords(const GameState& state, int x, int y);
  static std::string slotWords(const GameState& state, int slot);
  static std::string wordWords(const GameState& state, int position);

 private:
  bool onTurn() const;
  bool typeLetter(int code);

  GameMirror& game_;
  std::function<int()> ownSeat_;
  int x_ = 1, y_ = 1, place_ = 1;
  int seenTurn_ = 0;
};

}  // namespace tw
