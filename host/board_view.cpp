// What each seat is told of the board. Remembering where the letters lie is
// the game, so a letter is told only once its cell is turned up in view of
// everyone, or to the one seat that looks at the whole board before its turn.
// Every message that carries board codes gets them here.
#include "commands.h"
#include "server.h"

namespace tw {

int TServer::toldCode(int seat, int x, int y) const {
  const BoardCell& cell = board_[x][y];
  if (openBoard_ || cell.seen || cell.faceUp || (seat != 0 && seat == lookSeat_)) return cell.code;
  return 0;  // face down, letter not told
}

void TServer::sendBoard(int slot, const std::vector<CellRef>& cells) {
  if (cells.empty()) return;
  MessageBuilder message(cmd::theboard);
  for (const CellRef c : cells) message.field(c.x).field(c.y).field(toldCode(slot, c.x, c.y));
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
  std::vector<CellRef> hidden;
  for (int x = 1; x <= kBoardWidth; ++x)
    for (int y = 1; y <= kBoardHeight; ++y)
      if (toldCode(0, x, y) == 0) hidden.push_back(CellRef{x, y});
  sendBoard(seat, hidden);
  sendTo(seat, MessageBuilder(cmd::sneak).field(seat).done(true));
  enterPhase(kPhaseSneak, 5);
}

}  // namespace tw
