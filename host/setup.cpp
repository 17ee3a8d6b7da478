// Starting a game: the options, fresh seats, the board and the bars.
#include "host/server.h"
#include "net/commands.h"

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
  game_.gameRunning = true;
  computer_.stop();
  // A new game starts with whoever is there.
  slots_.held.clear();
  game_.gameMode = m->word;
  game_.playToScore = readOption(playTo, 100, kMaxPlayToScore, "play-to score", log_);
  game_.turnSeconds = readOption(seconds, 60, kMaxTurnSeconds, "turn seconds", log_);
  game_.viewable = viewable != "f";

  slots_.broadcast(MessageBuilder(cmd::startgame)
                       .field(name)
                       .field(game_.playToScore)
                       .field(game_.turnSeconds)
                       .field(mode)
                       .field(four)
                       .done(true));

  for (int s = 1; s <= seatCount; ++s) {
    SeatGame& seat = game_.seats[s];
    seat.score = 0;
    seat.inGame = true;
    for (int n = 1; n <= kBarSize; ++n) seat.letters[n] = LetterEntry{0, false, CellRef{0, n}};
    if (Connection* connection = slots_.at(s)) connection->justWatching = false;
  }
  game_.fourPlayer = four;
  if (game_.fourPlayer == "1") game_.seats[5].inGame = game_.seats[6].inGame = false;
  game_.sneakerSeat = 0;
  game_.currentSeat = 0;
  log_("game started by " + name + ": to " + std::to_string(game_.playToScore) + ", " +
       std::to_string(game_.turnSeconds) + " s a turn, " +
       (game_.gameMode.empty() ? std::string(rules::modeWord(rules::kBlind)) : game_.gameMode));

  computer_.prepareSearch();
  makeboard();
  dealtiles();
  turns_.findplayer();
}

void TServer::makeboard() {
  view_.newBoard();
  std::vector<CellRef> all;
  for (int x = 1; x <= kBoardWidth; ++x) {
    for (int y = 1; y <= kBoardHeight; ++y) {
      game_.board[x][y] = BoardCell{getletter(), false, false, false};
      all.push_back(CellRef{x, y});
    }
  }
  view_.broadcastBoard(all);
}

void TServer::dealtiles() {
  for (int s = 1; s <= seatCount; ++s) {
    MessageBuilder message(cmd::mytiles);
    message.field(s);
    for (int n = 1; n <= kBarSize; ++n) {
      LetterEntry& entry = game_.seats[s].letters[n];
      entry.code = getletter();
      entry.used = false;
      message.field(n).field(entry.code);
    }
    slots_.sendTo(s, message.done());
  }
}

}  // namespace tw
