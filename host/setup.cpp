// Starting a game: the options, fresh seats, the board and the bars, and the
// letter supply with its frequencies and values.
#include "commands.h"
#include "server.h"

namespace tw {

namespace {

// Limits that keep a peer's numbers from overflowing the turn clock or making
// a game that ends before it starts; outside them the defaults apply.
constexpr int kMaxPlayToScore = 100000;
constexpr int kMaxTurnSeconds = 3600;

int readOption(std::string_view text, int fallback, int max, const char* what, const LogFn& log) {
  const int value = toIntOr(text, fallback);
  if (value >= 1 && value <= max) return value;
  log(std::string("startgame: ") + what + " " + std::to_string(value) + " is out of range; using " +
      std::to_string(fallback));
  return fallback;
}

}  // namespace

int TServer::randomBelow(int n) {
  if (n <= 1) return 0;
  // Rejection keeps the draw uniform and the same on every standard library.
  const std::uint32_t range = std::uint32_t(n);
  const std::uint32_t limit = std::uint32_t(0xFFFFFFFFu - (0xFFFFFFFFu % range + 1) % range);
  std::uint32_t r;
  do r = std::uint32_t(rng_());
  while (r > limit);
  return int(r % range);
}

int TServer::getletter() {
  const int r = randomBelow(rules::kDrawRange) + 1;
  for (const auto& range : rules::kLetterDraw)
    if (r <= range.last) return range.letter - 'a' + 1;
  return 26;
}

int TServer::letterworth(int code) { return rules::letterValue(code); }

std::string TServer::converttoletter(int code) {
  if (code < 1 || code > 26) return {};
  return std::string(1, char('a' + code - 1));
}

void TServer::startgame(int from, FieldReader& body) {
  const std::string name(body.next());
  const std::string_view playTo = body.next();
  const std::string_view seconds = body.next();
  const std::string_view viewable = body.next();
  const std::string mode(body.next());
  const std::string four(body.next());

  // The players would be told a mode that the host does not play.
  const rules::GameMode* m = rules::modeByNumber(mode);
  if (!m) {
    log_(refusal(from, cmd::startgame, "unknown game mode " + mode.substr(0, 16)));
    return;
  }
  gameRunning_ = true;
  computertimer_.stop();
  // A new game starts with whoever is there.
  held_.clear();
  gameMode_ = m->word;
  playToScore_ = readOption(playTo, 100, kMaxPlayToScore, "play-to score", log_);
  turnSeconds_ = readOption(seconds, 60, kMaxTurnSeconds, "turn seconds", log_);
  viewable_ = viewable != "f";

  broadcast(MessageBuilder(cmd::startgame)
                .field(name)
                .field(playToScore_)
                .field(turnSeconds_)
                .field(mode)
                .field(four)
                .done(true));

  for (int s = 1; s <= seatCount; ++s) {
    Seat& seat = seats_[s];
    seat.score = 0;
    seat.justWatching = false;
    seat.inGame = true;
    for (int n = 1; n <= kBarSize; ++n) seat.letters[n] = LetterEntry{0, false, CellRef{0, n}};
  }
  fourPlayer_ = four;
  if (fourPlayer_ == "1") seats_[5].inGame = seats_[6].inGame = false;
  sneakerSeat_ = 0;
  currentSeat_ = 0;
  log_("game started by " + name + ": to " + std::to_string(playToScore_) + ", " +
       std::to_string(turnSeconds_) + " s a turn, " +
       (gameMode_.empty() ? std::string(rules::modeWord(rules::kBlind)) : gameMode_));

  prepareSearch();
  makeboard();
  dealtiles();
  findplayer();
}

void TServer::makeboard() {
  openBoard_ = openBoardNext_;
  lookSeat_ = 0;
  std::vector<CellRef> all;
  for (int x = 1; x <= kBoardWidth; ++x) {
    for (int y = 1; y <= kBoardHeight; ++y) {
      board_[x][y] = BoardCell{getletter(), false, false, false};
      all.push_back(CellRef{x, y});
    }
  }
  broadcastBoard(all);
}

void TServer::dealtiles() {
  for (int s = 1; s <= seatCount; ++s) {
    MessageBuilder message(cmd::mytiles);
    message.field(s);
    for (int n = 1; n <= kBarSize; ++n) {
      LetterEntry& entry = seats_[s].letters[n];
      entry.code = getletter();
      entry.used = false;
      message.field(n).field(entry.code);
    }
    sendTo(s, message.done());
  }
}

}  // namespace tw
