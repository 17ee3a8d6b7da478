// The moves of a turn: flips, the word-building relays, buying, passing, and
// the check and score of a submitted word.
#include "host/server.h"
#include "net/commands.h"

namespace tw {

namespace {
std::string cellText(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }
}  // namespace

void TServer::relayMove(int seat, const std::string& message) {
  // A watching player's own screen follows the word the computer builds for him.
  if (slots_.justWatching(seat))
    slots_.broadcast(message);
  else
    slots_.sendToAllBut(seat, message);
}

// ---- Flips ---------------------------------------------------------------------

void TServer::iflip(int, FieldReader& body) {
  const int seat = body.nextInt();
  const int x = body.nextInt();
  const int y = body.nextInt();
  iflip(seat, x, y);
}

void TServer::iflip(int seat, int x, int y) {
  if (!game_.onTurn(seat) || game_.flipsThisTurn >= kMaxFlips) return;
  if (!rules::onBoard(x, y)) {
    log_(refusal(seat, cmd::iflip, "cell " + cellText(x, y) + " is off the board"));
    return;
  }
  BoardCell& cell = game_.board[x][y];
  if (cell.faceUp) {
    log_(refusal(seat, cmd::iflip, "cell " + cellText(x, y) + " is already face up"));
    return;
  }
  ++game_.flipsThisTurn;
  cell.faceUp = true;
  view_.revealFlip(x, y);
  slots_.broadcast(MessageBuilder(cmd::heflip)
                .field(seat)
                .field(x)
                .field(y)
                .field(game_.flipsThisTurn == kMaxFlips ? "t" : "f")
                .field(kMaxFlips - game_.flipsThisTurn)
                .done(true));
}

// ---- Word-building relays ---------------------------------------------------------

namespace {
bool wordPositionOk(int wordpos, int seat, std::string_view command, const LogFn& log) {
  if (wordpos >= 1 && wordpos <= TServer::kWordPositions) return true;
  log(refusal(seat, command, "word position " + std::to_string(wordpos) + " is out of range"));
  return false;
}
}  // namespace

void TServer::usebarletter(int, FieldReader& body) {
  const int seat = body.nextInt();
  const int slot = body.nextInt();
  const int wordpos = body.nextInt();
  usebarletter(seat, slot, wordpos);
}

void TServer::usebarletter(int seat, int slot, int wordpos) {
  if (!game_.onTurn(seat)) return;
  if (slot < 1 || slot > kBarSize) {
    log_(refusal(seat, cmd::usebarletter, "bar slot " + std::to_string(slot) + " is out of range"));
    return;
  }
  if (!wordPositionOk(wordpos, seat, cmd::usebarletter, log_)) return;
  relayMove(seat, MessageBuilder(cmd::heusebarletter)
                      .field(seat)
                      .field(wordpos)
                      .field(game_.seats[seat].letters[slot].code)
                      .done(true));
}

void TServer::useboardletter(int, FieldReader& body) {
  const int seat = body.nextInt();
  const int x = body.nextInt();
  const int y = body.nextInt();
  const int wordpos = body.nextInt();
  useboardletter(seat, x, y, wordpos);
}

void TServer::useboardletter(int seat, int x, int y, int wordpos) {
  if (!game_.onTurn(seat)) return;
  if (!rules::onBoard(x, y)) {
    log_(refusal(seat, cmd::useboardletter, "cell " + cellText(x, y) + " is off the board"));
    return;
  }
  if (!wordPositionOk(wordpos, seat, cmd::useboardletter, log_)) return;
  if (!game_.board[x][y].faceUp) {
    // Its letter goes to the others with the move; a face-down one is not theirs to learn.
    log_(refusal(seat, cmd::useboardletter,
                 "cell " + cellText(x, y) + " is face down and cannot go into the word"));
    return;
  }
  relayMove(seat, MessageBuilder(cmd::heuseboardletter)
                      .field(seat)
                      .field(x)
                      .field(y)
                      .field(wordpos)
                      .field(game_.board[x][y].code)
                      .done(true));
}

void TServer::clickclear(int, FieldReader& body) {
  const int seat = body.nextInt();
  clickclear(seat, body.rest());
}

void TServer::clickclear(int seat, std::string_view rest) {
  if (!game_.onTurn(seat)) return;
  relayMove(seat, MessageBuilder(cmd::heclickclear).field(seat).last(rest).done());
}

// ---- Buying and passing --------------------------------------------------------------

void TServer::clickbuy(int, FieldReader& body) { clickbuy(body.nextInt()); }

void TServer::clickbuy(int seat) {
  if (!game_.onTurn(seat)) return;
  SeatGame& buyer = game_.seats[seat];
  if (buyer.score < kBuyPrice) {
    slots_.sendTo(seat, MessageBuilder(cmd::notenough).field(seat).done(true));
    return;
  }
  MessageBuilder tiles(cmd::mytiles);
  tiles.field(seat);
  for (int n = 1; n <= kBarSize; ++n) {
    buyer.letters[n].code = getletter();
    buyer.letters[n].used = false;
    tiles.field(n).field(buyer.letters[n].code);
  }
  buyer.score -= kBuyPrice;
  slots_.sendTo(seat, tiles.done());
  slots_.broadcast(MessageBuilder(cmd::buytiles).field(seat).field(buyer.score).field(kBuyPrice).done(true));
}

void TServer::hepass(int, FieldReader& body) { hepass(body.nextInt()); }

void TServer::hepass(int seat) {
  if (!game_.onTurn(seat)) return;
  slots_.broadcast(MessageBuilder(cmd::hepasses).field(seat).done(true));
  turns_.enterPhase(TurnPhase::Pause, 4);
}

// ---- Submitting a word -------------------------------------------------------------

std::vector<CellRef> TServer::readWord(FieldReader& refs) {
  std::vector<CellRef> word;
  for (const auto& group : refs.groups(1)) {
    try {
      word.push_back(parseCell(group[0]));
    } catch (const BadNumber&) {
      word.push_back(CellRef{0, 0});  // an unreadable reference is an empty position
    }
  }
  return word;
}

void TServer::idone(int, FieldReader& body) {
  const int seat = body.nextInt();
  idone(seat, readWord(body));
}

void TServer::flipthemover(int seat) {
  for (int x = 1; x <= kBoardWidth; ++x)
    for (int y = 1; y <= kBoardHeight; ++y) game_.board[x][y].used = false;
  for (int n = 1; n <= kBarSize; ++n) game_.seats[seat].letters[n].used = false;
}

TServer::TakenWord TServer::takeLetters(int seat, const std::vector<CellRef>& word) {
  TakenWord taken;
  // Marks of this word alone: the computer leaves its own marks on the bar
  // while it spells, and a slot must not be counted twice.
  std::array<bool, kBarSize + 1> slotTaken{};
  int number = 0;
  const auto refuse = [&](const std::string& what, const char* why) {
    taken.refused = "letter " + std::to_string(number) + ": " + what + " " + why;
    return taken;
  };
  for (const CellRef ref : word) {
    ++number;
    if (ref.x == 0 && ref.y == 0) {
      taken.emptyPosition = true;
      return taken;
    }
    int code = 0;
    if (ref.x != 0) {
      const std::string cell = "cell " + cellText(ref.x, ref.y);
      if (!rules::onBoard(ref.x, ref.y)) return refuse(cell, "is off the board");
      BoardCell& boardCell = game_.board[ref.x][ref.y];
      if (!boardCell.faceUp) return refuse(cell, "is face down");
      if (boardCell.used) return refuse(cell, "is already in the word");
      boardCell.used = true;
      code = boardCell.code;
      taken.makeup.boardValue += letterworth(code);
      ++taken.makeup.boardLetters;
    } else {
      const int n = ref.y;
      const std::string slot = "bar slot " + std::to_string(n);
      if (n < 1 || n > kBarSize) return refuse(slot, "is not on the bar");
      if (slotTaken[n]) return refuse(slot, "is already in the word");
      slotTaken[n] = true;
      LetterEntry& entry = game_.seats[seat].letters[n];
      entry.used = true;
      code = entry.code;
      taken.makeup.barValue += letterworth(code);
      ++taken.makeup.barLetters;
    }
    taken.letters += converttoletter(code);
    taken.codes.push_back(code);
  }
  return taken;
}

void TServer::idone(int seat, const std::vector<CellRef>& word) {
  if (!game_.onTurn(seat)) return;
  const TakenWord taken = takeLetters(seat, word);
  if (taken.emptyPosition) {
    slots_.broadcast(MessageBuilder(cmd::hepasses).field(seat).done(true));
    turns_.enterPhase(TurnPhase::EmptyDone, 3);
    return;
  }
  if (!taken.refused.empty()) {
    flipthemover(seat);
    log_(refusal(seat, cmd::idone, taken.refused));
    return;
  }
  if (!rules_.checkWord || !rules_.checkWord(taken.letters)) {
    flipthemover(seat);
    slots_.sendTo(seat, MessageBuilder(cmd::invalid).field(seat).done(true));
    return;
  }

  const int wordScore = rules::wordScore(taken.makeup);
  SeatGame& mover = game_.seats[seat];
  mover.score += wordScore;
  MessageBuilder message(cmd::hisword);
  message.field(seat).field(taken.letters).field(mover.score).field(wordScore);
  for (int code : taken.codes) message.field(code);
  slots_.broadcast(message.done());
  turns_.enterPhase(TurnPhase::Pause, 4);
}

}  // namespace tw
