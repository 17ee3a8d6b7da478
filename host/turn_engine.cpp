// The turn engine: the timed phases of timer1, the step that ends a turn and
// picks the next seat, the sneak-peek pause, the start of a turn, time up and
// the end-of-round winner check.
#include "host/turn_engine.h"

#include "net/commands.h"

namespace tw {

void TurnEngine::enterPhase(TurnPhase phase, int ticks) {
  timer1_.stop();
  game_.phase = phase;
  game_.countdown = ticks;
  timer1_.start(kTurnTickMs);
}

void TurnEngine::timer1Timer() {
  if (--game_.countdown >= 1) return;
  timer1_.stop();
  switch (game_.phase) {
    case TurnPhase::Pause:
    case TurnPhase::EmptyDone:
      findplayer();
      break;
    case TurnPhase::Turn:
      timeup();
      break;
    case TurnPhase::Sneak:
      finishfindplayer();
      break;
    case TurnPhase::None:
      break;
  }
}

void TurnEngine::findplayer() {
  // Whatever the computer had planned for the turn that ends is void.
  computer_.stop();
  game_.flipsThisTurn = 0;
  view_.endLook();
  computer_.rememberTurn();
  flipthem();

  if (game_.currentSeat != 0) {
    SeatGame& mover = game_.seats[game_.currentSeat];
    MessageBuilder refill(cmd::mytiles);
    refill.field(game_.currentSeat);
    bool any = false;
    for (int n = 1; n <= rules::kBarSize; ++n) {
      LetterEntry& entry = mover.letters[n];
      if (!entry.used) continue;
      entry.code = dice_.getletter();
      entry.used = false;
      refill.field(n).field(entry.code);
      any = true;
    }
    if (any) slots_.sendTo(game_.currentSeat, refill.done());
  }

  // Seat 2 always plays (the computer when nobody sits there), so this ends.
  do {
    game_.currentSeat = game_.currentSeat % Game::seatCount + 1;
  } while (!((slots_.seated(game_.currentSeat) && game_.seats[game_.currentSeat].inGame) || game_.currentSeat == 2));

  if (game_.currentSeat == 1 && checkforwin()) {
    // The game is over: no turn begins and no timer runs on.
    timer1_.stop();
    game_.phase = TurnPhase::None;
    return;
  }

  if (game_.gameMode == rules::modeWord(rules::kHelper)) {
    if (game_.currentSeat == 1) chooseSneaker();
    if (game_.currentSeat == game_.sneakerSeat) return giveLook();
  } else if (game_.gameMode == rules::modeWord(rules::kSneakPeek)) {
    return giveLook();
  }
  finishfindplayer();
}

void TurnEngine::giveLook() {
  view_.giveLook(game_.currentSeat);
  enterPhase(TurnPhase::Sneak, 5);
}

void TurnEngine::flipthem() {
  std::vector<CellRef> refilled;
  for (int x = 1; x <= Game::kBoardWidth; ++x) {
    for (int y = 1; y <= Game::kBoardHeight; ++y) {
      BoardCell& cell = game_.board[x][y];
      cell.faceUp = false;
      if (!cell.used) continue;
      cell = BoardCell{dice_.getletter(), false, false, false};
      refilled.push_back(CellRef{x, y});
    }
  }
  view_.broadcastBoard(refilled);
}

void TurnEngine::chooseSneaker() {
  // The lowest non-zero score of the round gets the look; seat 1 wins ties
  // because only a strictly lower score replaces the candidate.
  int candidate = 1;
  for (int s = 2; s <= Game::seatCount; ++s) {
    const SeatGame& seat = game_.seats[s];
    if (seat.score < game_.seats[candidate].score && seat.score != 0 && (slots_.seated(s) || s == 2)) candidate = s;
  }
  game_.sneakerSeat = game_.seats[candidate].score != 0 ? candidate : 0;
  slots_.broadcast(MessageBuilder(cmd::sneaker).field(game_.sneakerSeat).done(true));
}

void TurnEngine::finishfindplayer() {
  slots_.broadcast(MessageBuilder(cmd::nextplayer).field(game_.currentSeat).done(true));
  if (game_.viewable) {
    MessageBuilder tiles(cmd::theirtiles);
    tiles.field(game_.currentSeat);
    for (int n = 1; n <= rules::kBarSize; ++n) tiles.field(n).field(game_.seats[game_.currentSeat].letters[n].code);
    slots_.sendToAllBut(game_.currentSeat, tiles.done());
  }
  if (computer_.playedByComputer(game_.currentSeat)) computer_.startTurn();
  enterPhase(TurnPhase::Turn, game_.turnSeconds + 4);
}

void TurnEngine::timeup() {
  slots_.broadcast(MessageBuilder(cmd::timeup).field(game_.currentSeat).done(true));
  enterPhase(TurnPhase::Pause, 4);
}

bool TurnEngine::countsForWin(int seat) const { return slots_.seated(seat) || seat == 2; }

int TurnEngine::checkforwin() {
  bool reached = false;
  for (int s = 1; s <= Game::seatCount; ++s)
    if (countsForWin(s) && game_.seats[s].score >= game_.playToScore) reached = true;
  if (!reached) return 0;

  int leader = 1;
  for (int s = 2; s <= Game::seatCount; ++s)
    if (countsForWin(s) && game_.seats[s].score > game_.seats[leader].score) leader = s;
  for (int s = 1; s <= Game::seatCount; ++s) {
    if (s != leader && countsForWin(s) && game_.seats[s].score == game_.seats[leader].score) {
      slots_.broadcast(MessageBuilder(cmd::tie).done(true));
      log_("tie at " + std::to_string(game_.seats[leader].score) + ": another round");
      return 0;
    }
  }
  game_.gameRunning = false;
  const SeatGame& winner = game_.seats[leader];
  // A player away from his held seat still wins under his own name.
  std::string name = slots_.name(leader);
  if (name.empty()) name = slots_.held.held(leader) ? slots_.held.name(leader) : winner.computerName;
  slots_.broadcast(MessageBuilder(cmd::winner).field(name).done(true));
  log_("game over: " + name + " wins with " + std::to_string(winner.score));
  slots_.held.clear();
  return 1;
}

}  // namespace tw
