// The mirror's handlers of the host's game messages and the turn clock.
#include "client/game_mirror.h"

#include <algorithm>
#include <cctype>

#include "client/chat_line.h"
#include "client/game_tally.h"
#include "client/roster.h"
#include "net/commands.h"
#include "net/framing.h"
#include "rules/system_seed.h"

namespace tw {

namespace {

constexpr int kClockMs = 1000;
constexpr int kFallbackTurnTime = 60;

std::string modeCaption(const rules::GameMode& mode) { return "Game Mode: " + std::string(mode.caption); }

bool validCode(int code) { return code >= 1 && code <= rules::kLetterCount; }

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = char(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

GameMirror::GameMirror(MirrorSession& session, GameView& view, Timer& turntime, LogFn log)
    : session_(session), view_(view), turntime_(turntime), log_(log ? std::move(log) : LogFn(logLine)) {
  seedFromSystem(rng_);
}

// ---- Helpers ---------------------------------------------------------------------

int GameMirror::ownSeat() const { return session_.ownSeat(); }

const std::string& GameMirror::seatName(int seat) const { return session_.seatName(seat); }

void GameMirror::setStatus(std::string text) {
  state_.status = std::move(text);
  changed(kStatusChanged);
}

void GameMirror::systemLine(const std::string& text) { session_.status(text); }

void GameMirror::playsounds(const std::string& name) { session_.playsounds(name); }

bool GameMirror::labelledSeat(int seat, std::string_view handler) {
  if (Roster::playingSeat(seat)) return true;
  log_("client: " + std::string(handler) + " for seat " + std::to_string(seat) + " ignored");
  return false;
}

bool GameMirror::onBoard(int x, int y, std::string_view handler) {
  if (rules::onBoard(x, y)) return true;
  log_("client: " + std::string(handler) + " names cell " + std::to_string(x) + "," + std::to_string(y) +
       " off the board; ignored");
  return false;
}

void GameMirror::setTurnTime(int seconds) {
  // The time bar's scale divides by the turn time.
  state_.turnTime = seconds > 0 ? seconds : kFallbackTurnTime;
  state_.barScale = GameState::kTimeBarSpan / state_.turnTime;
  state_.timePerTurn = "Time Per Turn: " + std::to_string(state_.turnTime) + "secs";
}

void GameMirror::lowerBar() { state_.selectedSlot = 0; }

void GameMirror::showStartButton(bool shown) {
  state_.startButton = shown;
  changed(kPanelsChanged);
}

// ---- Game start and the turn -----------------------------------------------------

void GameMirror::clearall() {
  for (int s = 1; s <= GameState::kSeatCount; ++s) {
    state_.seats[std::size_t(s)] = GameState::SeatLine{};
    session_.setWatchMark(s, false);
  }
  for (int x = 1; x <= GameState::kBoardWidth; ++x)
    for (int y = 1; y <= GameState::kBoardHeight; ++y) state_.cell(x, y) = GameState::Cell{GameState::kBack};
  state_.sneakPeek = false;
  state_.theirTilesShown = false;
  lowerBar();
  changed(kBoardChanged | kBarChanged | kSeatsChanged | kPanelsChanged);
}

void GameMirror::startthegame(std::string_view body) {
  FieldReader f(body);
  const std::string name(f.next());
  const std::string playTo(f.next());
  const std::string_view seconds = f.next();
  const std::string_view mode = f.next();
  const std::string_view four = f.next();

  state_.startButton = false;
  state_.moveButtons = false;
  session_.uncheckJustWatch();
  state_.winnerShown = false;
  state_.sneakerSeat = 0;
  clearall();

  if (const rules::GameMode* m = rules::modeByNumber(mode)) state_.gameMode = modeCaption(*m);
  setTurnTime(toIntOr(seconds, kFallbackTurnTime));
  state_.playToScore = "Play to Score: " + playTo;
  systemLine(sentence(name, "has started a game.", "have started a game."));
  if (session_.seatEmpty(2)) session_.setSeatLabel(2, std::string(Roster::computerName(2)));
  state_.fourPlayer = four != "0";
  changed(kSeatsChanged | kPanelsChanged | kCaptionsChanged);
}

void GameMirror::getnextplayer(std::string_view body) {
  FieldReader f(body);
  const int seat = f.nextInt();
  if (!labelledSeat(seat, "nextplayer")) return;
  state_.seatOnTurn = seat;
  ++state_.turnCount;
  state_.flipsMade = 0;
  state_.wordLength = 0;
  state_.building = false;
  state_.theirTilesShown = false;
  state_.seats[std::size_t(seat)].bonus.clear();
  state_.markedSeat = seat;
  for (auto& column : state_.board)
    for (auto& cell : column)
      if (cell.faceUp || cell.inWord) cell.faceUp = cell.inWord = cell.picked = false;
  state_.sneakPeek = false;
  for (auto& position : state_.word) position = GameState::WordPosition{};
  if (seat == ownSeat()) {
    state_.status = "Choose 5 tiles to flip.";
    playsounds(session_.mirrorOptions().newTurnSound ? "turnnew" : "turn");
  } else {
    state_.status = possessive(seatName(seat)) + " turn.";
    state_.moveButtons = false;
  }
  state_.secondsLeft = state_.turnTime;
  turntime_.start(kClockMs);
  changed(kBoardChanged | kWordRowChanged | kSeatsChanged | kStatusChanged | kPanelsChanged);
}

void GameMirror::turntimeTimer() {
  state_.secondsLeft -= 1;
  if (state_.secondsLeft < 1) {
    // Out of time: the user's moves are refused from here on. The clock
    // repeats this until a handler stops it; only a change is redrawn.
    const bool same = state_.secondsLeft == 0 && state_.timeBar == 0 && state_.seatOnTurn == 0;
    state_.secondsLeft = 0;
    state_.clock = "Time: 0:00";
    state_.timeBar = 0;
    state_.seatOnTurn = 0;
    if (!same) changed(kClockChanged);
    return;
  }
  const int s = state_.secondsLeft;
  if (s == 20 || s == 15 || s <= 10) playsounds("tick");
  showClock();
}

void GameMirror::showClock() {
  state_.timeBar = state_.barScale * state_.secondsLeft;
  state_.clockRed = state_.secondsLeft < 20;
  const int s = state_.secondsLeft;
  const int part = s % 60;
  state_.clock = "Time: " + std::to_string(s / 60) + (part < 10 ? ":0" : ":") + std::to_string(part);
  changed(kClockChanged);
}

// ---- The board and the bars ------------------------------------------------------------

void GameMirror::theboard(std::string_view body) {
  FieldReader f(body);
  for (const auto& group : f.groups(3)) {
    const int x = toInt(group[0]);
    const int y = toInt(group[1]);
    int code = toInt(group[2]);
    if (!onBoard(x, y, "theboard")) continue;
    if (code == 0) {
      // A face-down cell whose letter the host keeps back until it is turned up.
      code = GameState::kBack;
    } else if (!validCode(code)) {
      log_("client: theboard: tile code " + std::to_string(code) + " at " + std::to_string(x) + "," +
           std::to_string(y) + " shown as no tile");
      code = 0;
    }
    GameState::Cell& cell = state_.cell(x, y);
    // The user's own flip shows face up at the click; its letter comes just
    // before the host's answer.
    const bool awaited = cell.faceUp && cell.code == GameState::kBack && !cell.inWord && validCode(code);
    cell = GameState::Cell{code};
    cell.faceUp = awaited;
    changed(kBoardChanged);  // a bad group further on stops the handler with the board as far as it went
  }
}

void GameMirror::dealTile(int slot, int code) {
  if (!validCode(code)) {
    log_("client: Tile is blank " + std::to_string(code));
    code = 0;
  }
  GameState::BarSlot& s = state_.bar[std::size_t(slot)];
  s.code = code;
  s.tag = code;
}

void GameMirror::mytiles(std::string_view body) {
  FieldReader f(body);
  if (f.nextInt() != ownSeat()) return;
  for (const auto& group : f.groups(2)) {
    const int slot = toInt(group[0]);
    const int code = toInt(group[1]);
    if (slot < 1 || slot > GameState::kBarSize) {
      log_("client: mytiles names bar slot " + std::to_string(slot) + "; ignored");
      continue;
    }
    dealTile(slot, code);
    changed(kBarChanged);
  }
  lowerBar();
  changed(kBarChanged);
}

void GameMirror::theirtiles(std::string_view body) {
  FieldReader f(body);
  const int seat = f.nextInt();
  if (!labelledSeat(seat, "theirtiles")) return;
  state_.theirTilesLabel = seatName(seat) + " Tiles:";
  for (const auto& group : f.groups(2)) {
    const int slot = toInt(group[0]);
    const int code = toInt(group[1]);
    if (slot < 1 || slot > GameState::kBarSize) continue;
    state_.theirTiles[std::size_t(slot)] = validCode(code) ? code : 0;
  }
  if (seat != ownSeat() && session_.mirrorOptions().seeTheirs) state_.theirTilesShown = true;
  changed(kPanelsChanged);
}

void GameMirror::isflipped(std::string_view body) {
  FieldReader f(body);
  if (f.nextInt() != ownSeat()) return;
  for (const auto& pair : f.groups(2)) {
    const int x = toInt(pair[0]);
    const int y = toInt(pair[1]);
    if (onBoard(x, y, "isflipped")) state_.cell(x, y).faceUp = true;
  }
  changed(kBoardChanged);
}

// ---- Moves of the player on turn, relayed -------------------------------------------------

void GameMirror::heflip(std::string_view body) {
  FieldReader f(body);
  const int seat = f.nextInt();
  const int x = f.nextInt();
  const int y = f.nextInt();
  f.next();  // the last-flip flag follows from the flips left
  if (!onBoard(x, y, "heflip")) return;
  state_.cell(x, y).faceUp = true;
  changed(kBoardChanged);
  if (seat == ownSeat()) {
    const int left = f.nextInt();
    if (left <= 0) {
      state_.status = "Create a Word";
      state_.building = true;
      state_.moveButtons = true;
    } else if (left == 1) {
      state_.status = "Choose 1 letter to flip";
    } else {
      state_.status = "Choose " + std::to_string(left) + " letters to flip";
    }
    changed(kStatusChanged | kPanelsChanged);
  }
  playsounds("flip");
}

void GameMirror::heuseboardletter(std::string_view body) {
  FieldReader f(body);
  f.next();  // the mover; every copy shows the same word row
  const int x = f.nextInt();
  const int y = f.nextInt();
  const int position = f.nextInt();
  const int code = f.nextInt();
  if (!onBoard(x, y, "heuseboardletter")) return;
  if (position < 1 || position > GameState::kWordPositions) {
    log_("client: heuseboardletter names word position " + std::to_string(position) + "; ignored");
    return;
  }
  state_.cell(x, y).inWord = true;
  GameState::WordPosition& p = state_.word[std::size_t(position)];
  p.boardLetter = true;
  p.face = validCode(code) ? code : 0;
  changed(kBoardChanged | kWordRowChanged);
  playsounds("puttile");
}

void GameMirror::heusebarletter(std::string_view body) {
  FieldReader f(body);
  f.next();
  const int position = f.nextInt();
  const int code = f.nextInt();
  if (position < 1 || position > GameState::kWordPositions) {
    log_("client: heusebarletter names word position " + std::to_string(position) + "; ignored");
    return;
  }
  state_.word[std::size_t(position)].face = validCode(code) ? code : 0;
  changed(kWordRowChanged);
  playsounds("puttile");
}

void GameMirror::heclickclear(std::string_view body) {
  FieldReader f(body);
  f.next();
  for (const auto& pair : f.groups(2)) {
    const int position = toInt(pair[0]);
    const CellRef origin = parseCell(pair[1]);
    if (position < 1 || position > GameState::kWordPositions) continue;
    GameState::WordPosition& p = state_.word[std::size_t(position)];
    p.face = 0;
    p.boardLetter = false;
    if (origin.x != 0 && onBoard(origin.x, origin.y, "heclickclear"))
      state_.cell(origin.x, origin.y).inWord = false;
    changed(kBoardChanged | kWordRowChanged);
  }
  playsounds("clear");
}

// ---- Ends of a turn ---------------------------------------------------------------------------

void GameMirror::hepasses(std::string_view body) {
  FieldReader f(body);
  const int seat = f.nextInt();
  if (!labelledSeat(seat, "hepasses")) return;
  turntime_.stop();
  setStatus(seatName(seat) + " passed.");
}

void GameMirror::hisword(std::string_view body) {
  FieldReader f(body);
  const int seat = f.nextInt();
  const std::string word(f.next());
  const std::string total(f.next());
  if (!labelledSeat(seat, "hisword")) return;
  turntime_.stop();
  const int points = f.nextInt();
  if (points != 0) {
    const std::string said =
        seatName(seat) + " made: " + upper(word) + " for " + std::to_string(points) + " points.";
    state_.status = said;
    state_.seats[std::size_t(seat)].bonus = "+" + std::to_string(points) + " " + word;
    systemLine(said);
  }
  if (seat == ownSeat() && tally_) {
    tally_->addtomineincrease(3);
    if (points > 0) tally_->addtomineset(4, points, word);
  }
  state_.seats[std::size_t(seat)].score = total;
  for (auto& position : state_.word)
    if (position.boardLetter) position.marker = true;
  changed(kStatusChanged | kSeatsChanged | kWordRowChanged);
  playsounds("goodword");
}

void GameMirror::invalid(std::string_view body) {
  FieldReader f(body);
  if (f.nextInt() != ownSeat()) return;
  state_.status = "Invalid Word";
  if (session_.mirrorOptions().clearWord && state_.wordLength > 0) clickclear();
  state_.seatOnTurn = ownSeat();
  if (state_.secondsLeft > 4) state_.moveButtons = true;
  changed(kStatusChanged | kPanelsChanged);
  playsounds("invalid");
}

void GameMirror::timeup(std::string_view body) {
  FieldReader f(body);
  const int seat = f.nextInt();
  if (!labelledSeat(seat, "timeup")) return;
  state_.secondsLeft = 0;
  if (seat == ownSeat()) {
    setStatus("You have run out of time.");
    clickclear();
  } else {
    setStatus(sentence(seatName(seat), "has run out of time.", "have run out of time."));
  }
  playsounds("timeup");
}

void GameMirror::buytiles(std::string_view body) {
  FieldReader f(body);
  const int seat = f.nextInt();
  const std::string score(f.next());
  const std::string price(f.next());
  if (!labelledSeat(seat, "buytiles")) return;
  GameState::SeatLine& line = state_.seats[std::size_t(seat)];
  line.score = score;
  line.bonus = " - " + price;
  state_.status =
      seat == ownSeat() ? std::string("You bought new tiles.") : seatName(seat) + " bought new tiles.";
  state_.seatOnTurn = seat;
  changed(kSeatsChanged | kStatusChanged);
  playsounds("buy");
}

void GameMirror::notenough(std::string_view body) {
  FieldReader f(body);
  const int seat = f.nextInt();
  state_.seatOnTurn = seat;
  if (seat == ownSeat()) setStatus("You do not have enough points to buy new tiles.");
  playsounds("invalid");
}

void GameMirror::tie(std::string_view) { setStatus("There is a tie"); }

void GameMirror::winner(std::string_view body) {
  FieldReader f(body);
  const std::string name = blankControls(f.next());
  playsounds("gameover");
  // The game is over: the clock has nothing left to count.
  turntime_.stop();
  state_.theirTilesShown = false;
  const int own = ownSeat();
  const bool playing = Roster::playingSeat(own);
  const bool won = playing && seatName(own) == name;
  state_.winnerText =
      won ? std::string("You have Won the Game!") : sentence(name, "has Won the Game!", "have Won the Game!");
  systemLine(state_.winnerText);
  state_.winnerShown = true;
  if (session_.hostRights()) state_.startButton = true;
  changed(kPanelsChanged);
  if (!playing || !tally_) return;
  tally_->addgame(GameResult{won, name}, session_.opponents());
}

void GameMirror::stats(std::string_view body) {
  FieldReader f(body);
  if (f.nextInt() != ownSeat()) return;
  const std::string playTo(f.next());
  const int seconds = toIntOr(f.next(), kFallbackTurnTime);
  const int onTurn = f.nextInt();
  const int left = f.nextInt();
  const std::string_view mode = f.next();
  const std::string_view four = f.next();

  state_.playToScore = "Play to Score: " + playTo;
  setTurnTime(seconds);
  // The host passes a newcomer's own turn: it cannot move before the next one.
  state_.seatOnTurn = onTurn == ownSeat() ? 0 : onTurn;
  if (const rules::GameMode* m = rules::modeByWord(mode)) state_.gameMode = modeCaption(*m);
  state_.fourPlayer = four != "0";
  // A game runs: the start of a new one waits for its end.
  state_.startButton = false;
  // The game as it stands, as a start and a turn would show it: the
  // computer in an empty seat 2, whose turn it is and the time it has left.
  if (session_.seatEmpty(2)) session_.setSeatLabel(2, std::string(Roster::computerName(2)));
  if (onTurn == ownSeat()) {
    turntime_.stop();
    state_.markedSeat = onTurn;
    state_.status = "Waiting for the next turn.";
    state_.secondsLeft = 0;
    showClock();
  } else if (Roster::playingSeat(onTurn)) {
    state_.markedSeat = onTurn;
    state_.status = possessive(seatName(onTurn)) + " turn.";
    state_.secondsLeft = std::clamp(left, 0, state_.turnTime);
    showClock();
    if (state_.secondsLeft > 0) turntime_.start(kClockMs);
  }
  changed(kCaptionsChanged | kSeatsChanged | kPanelsChanged | kStatusChanged);
  for (const auto& pair : f.groups(2)) {
    const int seat = toInt(pair[0]);
    if (!Roster::playingSeat(seat)) continue;
    state_.seats[std::size_t(seat)].score = std::string(pair[1]);
    changed(kSeatsChanged);
  }
}

void GameMirror::getsneak(std::string_view body) {
  FieldReader f(body);
  if (f.nextInt() != ownSeat()) return;
  state_.status = "Here is your Sneak Peek";
  state_.seatOnTurn = 0;
  for (auto& column : state_.board)
    for (auto& cell : column) cell.faceUp = true;
  state_.sneakPeek = true;
  if (state_.sneakerSeat == 0) state_.sneakerSeat = ownSeat();
  changed(kStatusChanged | kBoardChanged | kSeatsChanged);
}

void GameMirror::sneaker(std::string_view body) {
  FieldReader f(body);
  const int seat = f.nextInt();
  if (seat != 0 && !labelledSeat(seat, "sneaker")) return;
  state_.sneakerSeat = seat;
  changed(kSeatsChanged);
}

}  // namespace tw
