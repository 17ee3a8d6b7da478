// The computer player: plays the turns of an empty seat 2 and of any seat
// whose player just watches, in three paced steps through the same move
// handlers a person's messages reach.
#include <algorithm>
#include <utility>

#include "commands.h"
#include "server.h"

namespace tw {

namespace {
constexpr int kWordAttempts = 1000;
constexpr int kLetterEntries = 12;  // the bar, then the five cells turned over
}  // namespace

bool TServer::playedByComputer(int seat) const {
  const Seat& s = seats_[seat];
  return !s.connected || s.justWatching;
}

void TServer::armBot(int step, int ticks) {
  computertimer_.stop();
  botStep_ = step;
  botCountdown_ = ticks;
  computertimer_.start(botSpeed_);
}

void TServer::computertimerTimer() {
  Settle settle(*this);
  if (--botCountdown_ > 0) return;
  computertimer_.stop();
  if (currentSeat_ < 1 || !playedByComputer(currentSeat_)) return;
  switch (botStep_) {
    case kBotFlip:
      computerplay(currentSeat_);
      break;
    case kBotWord:
      computerword(currentSeat_);
      break;
    case kBotSubmit:
      computerdone(currentSeat_);
      break;
    default:
      break;
  }
}

void TServer::computerplay(int seat) {
  if (seat != currentSeat_ || !playedByComputer(seat) || waitsForSearch(seat)) return;
  // The level a turn starts with plays it to the end.
  botLevel_ = rules_.finder ? levels_[std::size_t(seat)] : ComputerLevel::Beginner;
  if (botLevel_ != ComputerLevel::Beginner) return skilledplay(seat);
  std::vector<CellRef> chosen;
  for (int k = 1; k <= kMaxFlips; ++k) {
    // At most five cells are face up in a turn, so a free one is always found.
    CellRef pick;
    do {
      pick = CellRef{randomBelow(kBoardWidth) + 1, randomBelow(kBoardHeight) + 1};
    } while (board_[pick.x][pick.y].faceUp || std::find(chosen.begin(), chosen.end(), pick) != chosen.end());
    chosen.push_back(pick);
    iflip(seat, pick.x, pick.y);
    LetterEntry& entry = seats_[seat].letters[kBarSize + k];
    entry.code = board_[pick.x][pick.y].code;
    entry.position = pick;
  }
  armBot(kBotWord, 4);
}

void TServer::computerword(int seat) {
  if (botLevel_ != ComputerLevel::Beginner) return skilledword(seat);
  auto& entries = seats_[seat].letters;
  std::array<std::string, kLetterEntries + 1> letters;
  for (int i = 1; i <= kLetterEntries; ++i) letters[i] = converttoletter(entries[i].code);

  const auto& words = rules_.computerWords;
  for (int attempt = 0; botChoices_ > 0 && attempt < kWordAttempts; ++attempt) {
    for (int i = 1; i <= kLetterEntries; ++i) entries[i].used = false;
    // The last ten entries are never drawn; nor are words under four letters
    // (or, in a list that holds them, over seven).
    const std::string* word;
    do {
      word = &words[std::size_t(randomBelow(int(words.size()) - 10))];
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
  hepass(seat);
}

void TServer::layOutBotWord(int seat) {
  int wordpos = 0;
  for (const CellRef ref : botWord_) {
    ++wordpos;
    if (ref.x == 0)
      usebarletter(seat, ref.y, wordpos);
    else
      useboardletter(seat, ref.x, ref.y, wordpos);
  }
  armBot(kBotSubmit, 3);
}

void TServer::computerdone(int seat) {
  if (botWord_.empty()) {
    log_(refusal(seat, cmd::idone, "the computer has no word to submit"));
    return;
  }
  idone(seat, botWord_);
}

}  // namespace tw
