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
  lookSeat_ = 0;
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
  } while (!((seated(currentSeat_) && seats_[currentSeat_].inGame) || currentSeat_ == 2));

  if (currentSeat_ == 1 && checkforwin()) {
    // The game is over: no turn begins and no timer runs on.
    timer1_.stop();
    phase_ = 0;
    return;
  }

  if (gameMode_ == rules::modeWord(rules::kHelper)) {
    if (currentSeat_ == 1) chooseSneaker();
    if (currentSeat_ == sneakerSeat_) return giveLook(currentSeat_);
  } else if (gameMode_ == rules::modeWord(rules::kSneakPeek)) {
    return giveLook(currentSeat_);
  }
  finishfindplayer();
}

void TServer::flipthem() {
  std::vector<CellRef> refilled;
  for (int x = 1; x <= kBoardWidth; ++x) {
    for (int y = 1; y <= kBoardHeight; ++y) {
      BoardCell& cell = board_[x][y];
      cell.faceUp = false;
      if (!cell.used) continue;
      cell = BoardCell{getletter(), false, false, false};
      refilled.push_back(CellRef{x, y});
    }
  }
  broadcastBoard(refilled);
}

void TServer::chooseSneaker() {
  // The lowest non-zero score of the round gets the look; seat 1 wins ties
  // because only a strictly lower score replaces the candidate.
  int candidate = 1;
  for (int s = 2; s <= seatCount; ++s) {
    const Seat& seat = seats_[s];
    if (seat.score < seats_[candidate].score && seat.score != 0 && (seated(s) || s == 2)) candidate = s;
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

bool TServer::countsForWin(int seat) const { return seated(seat) || seat == 2; }

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
  // A player away from his held seat still wins under his own name.
  std::string name = winner.name;
  if (name.empty()) name = held_.held(leader) ? held_.name(leader) : winner.computerName;
  broadcast(MessageBuilder(cmd::winner).field(name).done(true));
  log_("game over: " + name + " wins with " + std::to_string(winner.score));
  held_.clear();
  return 1;
}

}  // namespace tw
