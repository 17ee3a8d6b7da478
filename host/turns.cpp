// The turn engine: the timed phases of timer1, the step that ends a turn and
// picks the next seat, the sneak-peek pause, the start of a turn, time up and
// the end-of-round winner check.
#include "commands.h"
#include "server.h"

namespace tw {

void TServer::enterPhase(int phase, int ticks) {
  timer1_.stop();
  phase_ = phase;
  countdown_ = ticks;
  timer1_.start(kTurnTickMs);
}

void TServer::timer1Timer() {
  Settle settle(*this);
  if (--countdown_ >= 1) return;
  timer1_.stop();
  switch (phase_) {
    case kPhasePause:
    case kPhaseEmptyDone:
      findplayer();
      break;
    case kPhaseTurn:
      timeup();
      break;
    case kPhaseSneak:
      finishfindplayer();
      break;
    default:
      break;
  }
}

void TServer::findplayer() {
  // Whatever the computer had planned for the turn that ends is void.
  computertimer_.stop();
  flipsThisTurn_ = 0;
  rememberTurn();
  flipthem();

  if (currentSeat_ != 0) {
    Seat& mover = seats_[currentSeat_];
    MessageBuilder refill(cmd::mytiles);
    refill.field(currentSeat_);
    bool any = false;
    for (int n = 1; n <= kBarSize; ++n) {
      LetterEntry& entry = mover.letters[n];
      if (!entry.used) continue;
      entry.code = getletter();
      entry.used = false;
      refill.field(n).field(entry.code);
      any = true;
    }
    if (any) sendTo(currentSeat_, refill.done());
  }

  // Seat 2 always plays (the computer when nobody sits there), so this ends.
  do {
    currentSeat_ = currentSeat_ % seatCount + 1;
  } while (!((seats_[currentSeat_].connected && seats_[currentSeat_].inGame) || currentSeat_ == 2));

  if (currentSeat_ == 1 && checkforwin()) {
    // The game is over: no turn begins and no timer runs on.
    timer1_.stop();
    phase_ = 0;
    return;
  }

  if (gameMode_ == "help") {
    if (currentSeat_ == 1) chooseSneaker();
    if (currentSeat_ == sneakerSeat_) {
      sendTo(currentSeat_, MessageBuilder(cmd::sneak).field(currentSeat_).done(true));
      enterPhase(kPhaseSneak, 5);
      return;
    }
  } else if (gameMode_ == "sneak") {
    sendTo(currentSeat_, MessageBuilder(cmd::sneak).field(currentSeat_).done(true));
    enterPhase(kPhaseSneak, 5);
    return;
  }
  finishfindplayer();
}

void TServer::flipthem() {
  MessageBuilder refilled(cmd::theboard);
  bool any = false;
  for (int x = 1; x <= kBoardWidth; ++x) {
    for (int y = 1; y <= kBoardHeight; ++y) {
      BoardCell& cell = board_[x][y];
      cell.faceUp = false;
      if (!cell.used) continue;
      cell.code = getletter();
      cell.used = false;
      refilled.field(x).field(y).field(cell.code);
      any = true;
    }
  }
  if (any) broadcast(refilled.done());
}

void TServer::chooseSneaker() {
  // The lowest non-zero score of the round gets the look; seat 1 wins ties
  // because only a strictly lower score replaces the candidate.
  int candidate = 1;
  for (int s = 2; s <= seatCount; ++s) {
    const Seat& seat = seats_[s];
    if (seat.score < seats_[candidate].score && seat.score != 0 && (seat.connected || s == 2)) candidate = s;
  }
  sneakerSeat_ = seats_[candidate].score != 0 ? candidate : 0;
  broadcast(MessageBuilder(cmd::sneaker).field(sneakerSeat_).done(true));
}

void TServer::finishfindplayer() {
  broadcast(MessageBuilder(cmd::nextplayer).field(currentSeat_).done(true));
  if (viewable_) {
    MessageBuilder tiles(cmd::theirtiles);
    tiles.field(currentSeat_);
    for (int n = 1; n <= kBarSize; ++n) tiles.field(n).field(seats_[currentSeat_].letters[n].code);
    sendToAllBut(currentSeat_, tiles.done());
  }
  if (playedByComputer(currentSeat_)) {
    botWord_.clear();
    armBot(kBotFlip, 1);
  }
  enterPhase(kPhaseTurn, turnSeconds_ + 4);
}

void TServer::timeup() {
  broadcast(MessageBuilder(cmd::timeup).field(currentSeat_).done(true));
  enterPhase(kPhasePause, 4);
}

bool TServer::countsForWin(int seat) const { return seats_[seat].connected || seat == 2; }

int TServer::checkforwin() {
  bool reached = false;
  for (int s = 1; s <= seatCount; ++s)
    if (countsForWin(s) && seats_[s].score >= playToScore_) reached = true;
  if (!reached) return 0;

  int leader = 1;
  for (int s = 2; s <= seatCount; ++s)
    if (countsForWin(s) && seats_[s].score > seats_[leader].score) leader = s;
  for (int s = 1; s <= seatCount; ++s) {
    if (s != leader && countsForWin(s) && seats_[s].score == seats_[leader].score) {
      broadcast(MessageBuilder(cmd::tie).done(true));
      log_("tie at " + std::to_string(seats_[leader].score) + ": another round");
      return 0;
    }
  }
  gameRunning_ = false;
  const Seat& winner = seats_[leader];
  const std::string& name = winner.name.empty() ? winner.computerName : winner.name;
  broadcast(MessageBuilder(cmd::winner).field(name).done(true));
  log_("game over: " + name + " wins with " + std::to_string(winner.score));
  return 1;
}

}  // namespace tw
