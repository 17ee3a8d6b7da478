// What each seat is told of the board, decided in one place.
#include "host/board_view.h"

#include "net/commands.h"

namespace tw {

void BoardView::newBoard() {
  open_ = openNext_;
  lookSeat_ = 0;
}

bool BoardView::looks(int seat) const {
  const Connection* connection = slots_.at(seat);
  return seat != 0 && seat == lookSeat_ && lookConnection_ != 0 && connection && connection->id == lookConnection_;
}

int BoardView::toldCode(int seat, int x, int y) const {
  const BoardCell& cell = game_.board[x][y];
  if (open_ || cell.seen || cell.faceUp || looks(seat)) return cell.code;
  return 0;  // face down, letter not told
}

void BoardView::sendBoard(int slot, const std::vector<CellRef>& cells, bool catchUp) {
  if (cells.empty()) return;
  MessageBuilder message(cmd::theboard);
  for (const CellRef c : cells) message.field(c.x).field(c.y).field(toldCode(catchUp ? 0 : slot, c.x, c.y));
  slots_.sendTo(slot, message.done());
}

void BoardView::broadcastBoard(const std::vector<CellRef>& cells) {
  for (int s = 1; s <= slots_.slotCount(); ++s) sendBoard(s, cells);
}

void BoardView::revealFlip(int x, int y) {
  game_.board[x][y].seen = true;
  // An open board has told the letter already.
  if (!open_) broadcastBoard({CellRef{x, y}});
}

void BoardView::giveLook(int seat) {
  lookSeat_ = seat;
  // The computer looks through its own memory; nobody in the slot is told.
  lookConnection_ = slots_.loggedIn(seat) ? slots_.at(seat)->id : 0;
  std::vector<CellRef> hidden;
  for (int x = 1; x <= Game::kBoardWidth; ++x)
    for (int y = 1; y <= Game::kBoardHeight; ++y)
      if (toldCode(0, x, y) == 0) hidden.push_back(CellRef{x, y});
  if (lookConnection_ != 0) {
    sendBoard(seat, hidden);
    slots_.sendTo(seat, MessageBuilder(cmd::sneak).field(seat).done(true));
  }
}

}  // namespace tw
