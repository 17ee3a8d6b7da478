// The computer player: plays the turns of an empty seat 2 and of any seat
// whose player just watches, in three paced steps through the same move
// handlers a person's messages reach.
#include "host/computer_player.h"

#include <algorithm>
#include <utility>

#include "host/refusal.h"
#include "net/commands.h"

namespace tw {

namespace {
constexpr int kWordAttempts = 1000;
constexpr int kLetterEntries = 12;  // the bar, then the five cells turned over
}  // namespace

ComputerPlayer::ComputerPlayer(Game& game, Slots& slotTable, PlayerMoves& moves, Dice& dice, HostRules& rules,
                               Timer& computertimer, const LogFn& log)
    : game_(game),
      slots_(slotTable),
      moves_(moves),
      dice_(dice),
      rules_(rules),
      computertimer_(computertimer),
      log_(log) {
  const auto& words = rules_.computerWords;
  for (std::size_t i = 0; i + 10 < words.size(); ++i)
    if (words[i].size() >= 4 && words[i].size() <= 7) ++botChoices_;
}

bool ComputerPlayer::playedByComputer(int seat) const {
  return !slots_.connected(seat) || slots_.justWatching(seat);
}

void ComputerPlayer::startTurn() {
  botWord_.clear();
  armBot(BotStep::Flip, 1);
}

void ComputerPlayer::armBot(BotStep step, int ticks) {
  computertimer_.stop();
  botStep_ = step;
  botCountdown_ = ticks;
  computertimer_.start(botSpeed_);
}

void ComputerPlayer::resumeTurn() {
  if (game_.phase != TurnPhase::Turn || !playedByComputer(game_.currentSeat) || computertimer_.running()) return;
  if (botStep_ == BotStep::None) return startTurn();
  armBot(botStep_, 1);
}

void ComputerPlayer::computertimerTimer() {
  if (--botCountdown_ > 0) return;
  computertimer_.stop();
  if (game_.currentSeat < 1 || !playedByComputer(game_.currentSeat)) return;
  switch (botStep_) {
    case BotStep::Flip:
      computerplay(game_.currentSeat);
      break;
    case BotStep::Word:
      computerword(game_.currentSeat);
      break;
    case BotStep::Submit:
      computerdone(game_.currentSeat);
      break;
    case BotStep::None:
      break;
  }
}

void ComputerPlayer::computerplay(int seat) {
  if (seat != game_.currentSeat || !playedByComputer(seat) || waitsForSearch(seat)) return;
  // The level a turn starts with plays it to the end.
  botLevel_ = rules_.finder ? levels_[std::size_t(seat)] : ComputerLevel::Beginner;
  if (botLevel_ != ComputerLevel::Beginner) return skilledplay(seat);
  std::vector<CellRef> chosen;
  for (int k = 1; k <= rules::kMaxFlips; ++k) {
    // At most five cells are face up in a turn, so a free one is always found.
    CellRef pick;
    do {
      pick = CellRef{dice_.below(Game::kBoardWidth) + 1, dice_.below(Game::kBoardHeight) + 1};
    } while (game_.board[pick.x][pick.y].faceUp || std::find(chosen.begin(), chosen.end(), pick) != chosen.end());
    chosen.push_back(pick);
    moves_.iflip(seat, pick.x, pick.y);
    LetterEntry& entry = game_.seats[seat].letters[rules::kBarSize + k];
    entry.code = game_.board[pick.x][pick.y].code;
    entry.position = pick;
  }
  armBot(BotStep::Word, 4);
}

void ComputerPlayer::computerword(int seat) {
  if (botLevel_ != ComputerLevel::Beginner) return skilledword(seat);
  auto& entries = game_.seats[seat].letters;
  std::array<std::string, kLetterEntries + 1> letters;
  for (int i = 1; i <= kLetterEntries; ++i) letters[i] = converttoletter(entries[i].code);

  const auto& words = rules_.computerWords;
  for (int attempt = 0; botChoices_ > 0 && attempt < kWordAttempts; ++attempt) {
    for (int i = 1; i <= kLetterEntries; ++i) entries[i].used = false;
    // The last ten entries are never drawn; nor are words under four letters
    // (or, in a list that holds them, over seven).
    const std::string* word;
    do {
      word = &words[std::size_t(dice_.below(int(words.size()) - 10))];
    } while (word->size() < 4 || word->size() > 7);

    std::vector<CellRef> refs;
    bool spelled = true;
    for (char letter : *word) {
      int found = 0;
      for (int i = kLetterEntries; i >= 1; --i) {  // cells turned over first: they count double
        if (!entries[i].used && letters[i].size() == 1 && letters[i][0] == letter) {
          found = i;
          break;
        }
      }
      if (found == 0) {
        spelled = false;
        break;
      }
      entries[found].used = true;
      refs.push_back(entries[found].position);
    }
    if (!spelled) continue;

    botWord_ = std::move(refs);
    layOutBotWord(seat);
    return;
  }
  moves_.hepass(seat);
}

void ComputerPlayer::layOutBotWord(int seat) {
  int wordpos = 0;
  for (const CellRef ref : botWord_) {
    ++wordpos;
    if (ref.x == 0)
      moves_.usebarletter(seat, ref.y, wordpos);
    else
      moves_.useboardletter(seat, ref.x, ref.y, wordpos);
  }
  armBot(BotStep::Submit, 3);
}

void ComputerPlayer::computerdone(int seat) {
  if (botWord_.empty()) {
    log_(refusal(seat, cmd::idone, "the computer has no word to submit"));
    return;
  }
  moves_.idone(seat, botWord_);
}

}  // namespace tw
