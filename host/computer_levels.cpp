// The levels above Beginner at the table: what each seat remembers of the board, the
// view a turn's choices are made from, and their turns through the same
// paced steps and move handlers as Beginner's.
#include <utility>

#include "commands.h"
#include "server.h"

namespace tw {

void TServer::rememberTurn() {
  if (currentSeat_ == 0) {  // a new game on a new board
    memory_ = {};
    announced_ = {};
    return;
  }
  for (int x = 1; x <= kBoardWidth; ++x)
    for (int y = 1; y <= kBoardHeight; ++y) {
      const BoardCell& cell = board_[x][y];
      // A cell taken into a word gets a new letter that nobody has seen.
      if (!cell.used && !cell.faceUp) continue;
      for (int s = 1; s <= seatCount; ++s) memory_[s][x][y] = cell.used ? 0 : std::uint8_t(cell.code);
    }
  for (int s = 1; s <= seatCount; ++s) {
    const int forget = skillOf(levels_[std::size_t(s)]).forgetPercent;
    if (forget == 0 || !(seats_[s].inGame || s == 2)) continue;
    for (auto& column : memory_[s])
      for (auto& code : column)
        if (code != 0 && randomBelow(100) < forget) code = 0;
  }
}

bool TServer::peeksThisTurn(int seat) const {
  return seat == currentSeat_ && (gameMode_ == "sneak" || (gameMode_ == "help" && seat == sneakerSeat_));
}

SeatView TServer::seatView(int seat) const {
  SeatView view;
  for (int n = 1; n <= kBarSize; ++n) view.bar[std::size_t(n)] = seats_[seat].letters[n].code;
  const bool peek = peeksThisTurn(seat);
  for (int x = 1; x <= kBoardWidth; ++x)
    for (int y = 1; y <= kBoardHeight; ++y) {
      SeatView::Cell& cell = view.board[std::size_t(x)][std::size_t(y)];
      cell.faceUp = board_[x][y].faceUp;
      if (cell.faceUp || peek)
        cell.code = board_[x][y].code;
      else
        cell.code = memory_[seat][x][y];
      cell.known = cell.code != 0;
    }
  view.flipsLeft = kMaxFlips - flipsThisTurn_;
  return view;
}

// A player's own list is indexed only once a game has a level that
// searches it; the build runs beside the event loop.
void TServer::prepareSearch() {
  if (rules_.finder || !rules_.buildFinder) return;
  for (int s = 1; s <= seatCount; ++s)
    if (levels_[std::size_t(s)] != ComputerLevel::Beginner) return finderJob_.start(rules_.buildFinder);
}

// True when the seat's turn waits for the index: the step is tried again
// a tick later, so the game waits while the host serves everyone else.
bool TServer::waitsForSearch(int seat) {
  if (rules_.finder || !rules_.buildFinder || levels_[std::size_t(seat)] == ComputerLevel::Beginner) return false;
  finderJob_.start(rules_.buildFinder);
  if ((rules_.finder = finderJob_.ready())) return false;
  armBot(kBotFlip, 1);
  return true;
}

const LevelSkill& TServer::skillOf(ComputerLevel level) const { return rules_.skills[std::size_t(level)]; }

WordFinder::Part TServer::searchPart() const {
  const LevelSkill& skill = skillOf(botLevel_);
  WordFinder::Part part{skill.listPercent, botSalt_};
  // A level plays only the words of the list sizes it knows.
  if (skill.listSize > 0) {
    part.listSize = rules_.listSize;
    part.mostSize = skill.listSize;
  }
  return part;
}

void TServer::announceLevel(int seat) {
  const ComputerLevel level = botLevel_;
  if (announced_[seat] == level) return;
  announced_[seat] = level;
  const Seat& s = seats_[seat];
  const std::string levelText = "the " + std::string(levelName(level)) + " level.";
  const std::string text = s.name.empty() ? s.computerName + " plays at " + levelText
                                          : "The computer plays " + s.name + "'s turns at " + levelText;
  broadcast(MessageBuilder(cmd::action).field(seat).last(text + "|clGray").done());
}

void TServer::skilledplay(int seat) {
  announceLevel(seat);
  botSalt_ = std::uint32_t(rng_());
  const auto draw = [this](int n) { return randomBelow(n); };
  for (int rounds = 0; rounds < kMaxFlips && onTurn(seat) && flipsThisTurn_ < kMaxFlips; ++rounds) {
    const int before = flipsThisTurn_;
    for (const CellRef cell : chooseFlips(*rules_.finder, seatView(seat), searchPart(), draw))
      iflip(seat, cell.x, cell.y);
    if (flipsThisTurn_ == before) break;
  }
  armBot(kBotWord, 4);
}

void TServer::skilledword(int seat) {
  const auto draw = [this](int n) { return randomBelow(n); };
  const auto choose = [this, seat, &draw] {
    return chooseWord(*rules_.finder, seatView(seat), searchPart(), rules_.checkWord, skillOf(botLevel_).choices,
                      draw);
  };
  std::optional<WordChoice> choice = choose();
  // A poor bar is worth trading: a fresh one with these cells is worth more
  // than the price on average.
  const int buyBelow = skillOf(botLevel_).buyBelow;
  if ((!choice || choice->score < buyBelow) && seats_[seat].score >= kBuyPrice) {
    clickbuy(seat);
    choice = choose();
  }
  if (!choice) {
    hepass(seat);
    return;
  }
  botWord_ = std::move(choice->refs);
  layOutBotWord(seat);
}

}  // namespace tw
