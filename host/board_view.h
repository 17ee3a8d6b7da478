// BoardView: what each seat is told of the board. Remembering where the
// letters lie is the game, so a letter is told only once its cell is turned
// up in view of everyone, or to the one seat that looks at the whole board
// before its turn. The look belongs to the connection that held the seat
// when it was given: a later connection in that slot is told what everyone
// was told. Every message that carries board codes gets them here.
#pragma once

#include <cstdint>
#include <vector>

#include "host/game.h"
#include "host/slots.h"
#include "net/framing.h"

namespace tw {

class BoardView {
 public:
  BoardView(Game& game, Slots& slotTable) : game_(game), slots_(slotTable) {}

  // An open board tells every seat every letter, as hosts did before the
  // board was made fair. A change holds from the next game on: letters kept
  // back in this one would not reach the players with their flips.
  bool openNext() const { return openNext_; }
  void setOpenNext(bool open) { openNext_ = open; }

  // A new board is laid: the setting for it is taken, and nobody looks.
  void newBoard();
  bool looks(int seat) const;
  // The code `seat` is told of a cell: 0 when its letter is not his to know.
  int toldCode(int seat, int x, int y) const;
  // A catch-up tells only what everyone has been told.
  void sendBoard(int slot, const std::vector<CellRef>& cells, bool catchUp = false);
  void broadcastBoard(const std::vector<CellRef>& cells);
  // A cell turned up in view of everyone.
  void revealFlip(int x, int y);
  // The seat looks at the whole board before its turn; its player is shown
  // the letters he has not been told and "CMD_sneak".
  void giveLook(int seat);
  void endLook() { lookSeat_ = 0; }

 private:
  Game& game_;
  Slots& slots_;
  bool open_ = false;  // this game's
  bool openNext_ = false;
  int lookSeat_ = 0;                  // the seat that looks at the whole board this turn; 0 none
  std::uint64_t lookConnection_ = 0;  // the connection that looks in it; 0 none
};

}  // namespace tw
