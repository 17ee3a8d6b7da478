// The levels above Beginner at the table: what each seat remembers of the board, the
// view a turn's choices are made from, and their turns through the same
// paced steps and move handlers as Beginner's.
#include <utility>

#include "host/computer_player.h"
#include "net/commands.h"

namespace tw {

void ComputerPlayer::rememberTurn() {
  if (game_.currentSeat == 0) {  // a new game on a new board
    memory_ = {};
    announced_ = {};
    return;
  }
  for (int x = 1; x <= Game::kBoardWidth; ++x)
    for (int y = 1; y <= Game::kBoardHeight; ++y) {
      const BoardCell& cell = game_.board[x][y];
      // A cell taken into a word gets a new letter that nobody has seen.
      if (!cell.used && !cell.faceUp) continue;
      for (int s = 1; s <= Game::seatCount; ++s) memory_[s][x][y] = cell.used ? 0 : std::uint8_t(cell.code);
    }
  for (int s = 1; s <= Game::seatCount; ++s) {
    const int forget = skillOf(levels_[std::size_t(s)]).forgetPercent;
    if (forget == 0 || !(game_.seats[s].inGame || s == 2)) continue;
    for (auto& column : memory_[s])
      for (auto& code : column)
        if (code != 0 && dice_.below(100) < forget) code = 0;
  }
}

bool ComputerPlayer::peeksThisTurn(int seat) const {
  return seat == game_.currentSeat && (game_.gameMode == "sneak" || (game_.gameMode == "help" && seat == game_.sneakerSeat));
}

SeatView ComputerPlayer::seatView(int seat) const {
  SeatView view;
  for (int n = 1; n <= rules::kBarSize; ++n) view.bar[std::size_t(n)] = game_.seats[seat].letters[n].code;
  const bool peek = peeksThisTurn(seat);
  for (int x = 1; x <= Game::kBoardWidth; ++x)
    for (int y = 1; y <= Game::kBoardHeight; ++y) {
      SeatView::Cell& cell = view.board[std::size_t(x)][std::size_t(y)];
      cell.faceUp = game_.board[x][y].faceUp;
      if (cell.faceUp || peek)
        cell.code = game_.board[x][y].code;
      else
        cell.code = memory_[seat][x][y];
      cell.known = cell.code != 0;
    }
  view.flipsLeft = rules::kMaxFlips - game_.flipsThisTurn;
  return view;
}

// A player's own list is indexed only once a game has a level that
// searches it; the build runs beside the event loop.
void ComputerPlayer::prepareSearch() {
  if (rules_.finder || !rules_.buildFinder) return;
  for (int s = 1; s <= Game::seatCount; ++s)
    if (levels_[std::size_t(s)] != ComputerLevel::Beginner) return finderJob_.start(rules_.buildFinder);
}

// True when the seat's turn waits for the index: the step is tried again
// a tick later, so the game waits while the host serves everyone else.
bool ComputerPlayer::waitsForSearch(int seat) {
  if (rules_.finder || !rules_.buildFinder || levels_[std::size_t(seat)] == ComputerLevel::Beginner) return false;
  finderJob_.start(rules_.buildFinder);
  if ((rules_.finder = finderJob_.ready())) return false;
  armBot(BotStep::Flip, 1);
  return true;
}

const LevelSkill& ComputerPlayer::skillOf(ComputerLevel level) const { return rules_.skills[std::size_t(level)]; }

WordFinder::Part ComputerPlayer::searchPart() const {
  const LevelSkill& skill = skillOf(botLevel_);
  WordFinder::Part part{skill.listPercent, botSalt_};
  // A level plays only the words of the list sizes it knows.
  if (skill.listSize > 0) {
    part.listSize = rules_.listSize;
    part.mostSize = skill.listSize;
  }
  return part;
}

void ComputerPlayer::announceLevel(int seat) {
  const ComputerLevel level = botLevel_;
  if (announced_[seat] == level) return;
  announced_[seat] = level;
  const std::string& name = slots_.name(seat);
  const std::string levelText = "the " + std::string(levelName(level)) + " level.";
  const std::string text = name.empty() ? game_.seats[seat].computerName + " plays at " + levelText
                                        : "The computer plays " + name + "'s turns at " + levelText;
  slots_.broadcast(MessageBuilder(cmd::action).field(seat).last(text + "|clGray").done());
}

void ComputerPlayer::skilledplay(int seat) {
  announceLevel(seat);
  botSalt_ = dice_.next();
  const auto draw = [this](int n) { return dice_.below(n); };
  for (int rounds = 0; rounds < rules::kMaxFlips && game_.onTurn(seat) && game_.flipsThisTurn < rules::kMaxFlips; ++rounds) {
    const int before = game_.flipsThisTurn;
    for (const CellRef cell : chooseFlips(*rules_.finder, seatView(seat), searchPart(), draw))
      moves_.iflip(seat, cell.x, cell.y);
    if (game_.flipsThisTurn == before) break;
  }
  armBot(BotStep::Word, 4);
}

void ComputerPlayer::skilledword(int seat) {
  const auto draw = [this](int n) { return dice_.below(n); };
  const auto choose = [this, seat, &draw] {
    return chooseWord(*rules_.finder, seatView(seat), searchPart(), rules_.checkWord, skillOf(botLevel_).choices,
                      draw);
  };
  std::optional<WordChoice> choice = choose();
  // A poor bar is worth trading: a fresh one with these cells is worth more
  // than the price on average.
  const int buyBelow = skillOf(botLevel_).buyBelow;
  if ((!choice || choice->score < buyBelow) && game_.seats[seat].score >= rules::kBuyPrice) {
    moves_.clickbuy(seat);
    choice = choose();
  }
  if (!choice) {
    moves_.hepass(seat);
    return;
  }
  botWord_ = std::move(choice->refs);
  layOutBotWord(seat);
}

}  // namespace tw
