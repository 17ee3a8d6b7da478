// TurnEngine: the timed turns of timer1. It ends one turn and picks the next
// seat, gives the sneak peek, starts a turn, calls time up, and checks for a
// winner when a round is complete.
#pragma once

#include "host/board_view.h"
#include "host/computer_player.h"
#include "host/dice.h"
#include "host/game.h"
#include "host/slots.h"
#include "net/log.h"
#include "net/timer.h"

namespace tw {

class TurnEngine {
 public:
  static constexpr int kTurnTickMs = 1000;

  TurnEngine(Game& game, Slots& slotTable, BoardView& view, ComputerPlayer& computer, Dice& dice, Timer& timer1,
             const LogFn& log)
      : game_(game), slots_(slotTable), view_(view), computer_(computer), dice_(dice), timer1_(timer1), log_(log) {}

  void timer1Timer();
  // Stops the clock, enters the phase and starts the clock for `ticks`.
  void enterPhase(TurnPhase phase, int ticks);
  // Ends the turn under way and starts the next seat's.
  void findplayer();
  // The host stops: no phase runs out.
  void stop() { timer1_.stop(); }

 private:
  void flipthem();
  void chooseSneaker();
  // The current seat looks at the whole board before its turn starts.
  void giveLook();
  void finishfindplayer();
  void timeup();
  int checkforwin();
  bool countsForWin(int seat) const;

  Game& game_;
  Slots& slots_;
  BoardView& view_;
  ComputerPlayer& computer_;
  Dice& dice_;
  Timer& timer1_;
  const LogFn& log_;
};

}  // namespace tw
