// What each seat is told of the board. Remembering where the letters lie is
// the game, so a letter is told only once its cell is turned up in view of
// everyone, or to the one seat that looks at the whole board before its turn.
// The look belongs to the connection that held the seat when it was given:
// a later connection in that slot is told what everyone was told. Every
// message that carries board codes gets them here.
#include "commands.h"
#include "server.h"

namespace tw {

bool TServer::looks(int seat) const {
  return seat != 0 && seat == lookSeat_ && lookConnection_ != 0 && connection_[seat] == lookConnection_;
}

int TServer::toldCode(int seat, int x, int y) const {
  const BoardCell& cell = board_[x][y];
  if (openBoard_ || cell.seen || cell.faceUp || looks(seat)) return cell.code;
  return 0;  // face down, letter not told
}

void TServer::sendBoard(int slot, const std::vector<CellRef>& cells, bool catchUp) {
  if (cells.empty()) return;
  MessageBuilder message(cmd::theboard);
  for (const CellRef c : cells) message.field(c.x).field(c.y).field(toldCode(catchUp ? 0 : slot, c.x, c.y));
  sendTo(slot, message.done());
}

void TServer::broadcastBoard(const std::vector<CellRef>& cells) {
  for (int s = 1; s <= slotCount_; ++s) sendBoard(s, cells);
}

void TServer::revealFlip(int x, int y) {
  board_[x][y].seen = true;
  // An open board has told the letter already.
  if (!openBoard_) broadcastBoard({CellRef{x, y}});
}

void TServer::giveLook(int seat) {
  lookSeat_ = seat;
  // The computer looks through its own memory; nobody in the slot is told.
  lookConnection_ = seats_[seat].connected && loggedIn(seat) ? connection_[seat] : 0;
  std::vector<CellRef> hidden;
  for (int x = 1; x <= kBoardWidth; ++x)
    for (int y = 1; y <= kBoardHeight; ++y)
      if (toldCode(0, x, y) == 0) hidden.push_back(CellRef{x, y});
  if (lookConnection_ != 0) {
    sendBoard(seat, hidden);
    sendTo(seat, MessageBuilder(cmd::sneak).field(seat).done(true));
  }
  enterPhase(kPhaseSneak, 5);
}

}  // namespace tw
