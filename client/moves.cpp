// The user's side of a turn: turning tiles over, building the word from the
// board and the bar, taking letters back, Done, Pass, Buy, and rearranging
// the bar. Each move shows at once and goes to the host, which decides.
#include "client/game_mirror.h"
#include "net/commands.h"
#include "net/framing.h"

namespace tw {

namespace {
const std::string kWatchMessage = "You need to turn off \"Just Watch\" before you can play.";
}

bool GameMirror::watchMessage() {
  if (!session_.watching()) return false;
  view_.message(kWatchMessage);
  return true;
}

void GameMirror::boardClick(int x, int y, Button button) {
  if (!state_.onTurn(ownSeat())) return;
  if (watchMessage()) return;
  if (button == Button::Right) return clickdone();
  if (!rules::onBoard(x, y)) return;
  GameState::Cell& cell = state_.cell(x, y);
  if (!cell.faceUp) {
    if (state_.flipsMade >= rules::kMaxFlips) return;
    ++state_.flipsMade;
    cell.faceUp = true;
    changed(kBoardChanged);
    session_.sendMove(MessageBuilder(cmd::iflip).field(ownSeat()).field(x).field(y).done(true));
    playsounds("flip");
    return;
  }
  if (cell.picked || !state_.building) return;
  if (state_.wordLength >= GameState::kWordPositions) return;
  const int n = ++state_.wordLength;
  GameState::WordPosition& p = state_.word[std::size_t(n)];
  p.cell = formatCell({x, y});
  p.face = cell.code;
  p.boardLetter = true;
  cell.inWord = cell.picked = true;
  changed(kBoardChanged | kWordRowChanged);
  session_.sendMove(
      MessageBuilder(cmd::useboardletter).field(ownSeat()).field(x).field(y).field(n).done(true));
  playsounds("puttile");
}

void GameMirror::barClick(int slot, Button button) {
  if (slot < 1 || slot > GameState::kBarSize || !state_.onTurn(ownSeat())) return;
  if (watchMessage()) return;
  GameState::BarSlot& tile = state_.bar[std::size_t(slot)];
  if (tile.tag == 0 || !state_.building) return;
  if (button == Button::Right) {
    // Rearranging: slot numbers stay with their tiles, only places change.
    if (state_.selectedSlot == 0) {
      state_.selectedSlot = slot;
    } else {
      std::swap(state_.bar[std::size_t(state_.selectedSlot)].position, tile.position);
      lowerBar();
    }
    changed(kBarChanged);
    return;
  }
  lowerBar();
  if (state_.wordLength >= GameState::kWordPositions) return changed(kBarChanged);
  const int n = ++state_.wordLength;
  tile.tag = 0;
  GameState::WordPosition& p = state_.word[std::size_t(n)];
  p.cell = formatCell({0, slot});
  p.face = tile.code;
  changed(kBarChanged | kWordRowChanged);
  session_.sendMove(MessageBuilder(cmd::usebarletter).field(ownSeat()).field(slot).field(n).done(true));
  playsounds("puttile");
}

void GameMirror::wordClick(int position) {
  if (position != state_.wordLength || position < 1 || !state_.onTurn(ownSeat())) return;
  if (watchMessage()) return;
  GameState::WordPosition& p = state_.word[std::size_t(position)];
  const std::string cell = p.cell;
  p = GameState::WordPosition{};
  putBack(cell);
  --state_.wordLength;
  changed(kWordRowChanged);
  session_.sendMove(MessageBuilder(cmd::clickclear).field(ownSeat()).field(position).field(cell).done());
  playsounds("clear");
}

void GameMirror::clickclear() {
  if (state_.wordLength == 0) return;
  MessageBuilder message(cmd::clickclear);
  message.field(ownSeat());
  for (int n = 1; n <= state_.wordLength; ++n) {
    GameState::WordPosition& p = state_.word[std::size_t(n)];
    const std::string cell = p.cell;
    p = GameState::WordPosition{};
    message.field(n).field(cell);
    putBack(cell);
  }
  state_.wordLength = 0;
  changed(kWordRowChanged);
  session_.sendMove(message.done());
  playsounds("clear");
}

void GameMirror::putBack(const std::string& cell) {
  const auto comma = cell.find(',');
  int a = comma == std::string::npos ? 0 : toIntOr(std::string_view(cell).substr(0, comma), -1);
  int b = comma == std::string::npos ? 0 : toIntOr(std::string_view(cell).substr(comma + 1), -1);
  if (a < 0 || b < 0) a = b = 0;
  if (a != 0)
    puttoboard(a, b);
  else if (b != 0)
    puttoletters(b);
}

void GameMirror::puttoboard(int x, int y) {
  if (!rules::onBoard(x, y)) return;
  GameState::Cell& c = state_.cell(x, y);
  c.inWord = c.picked = false;
  changed(kBoardChanged);
}

void GameMirror::puttoletters(int slot) {
  if (slot > GameState::kBarSize) return;
  GameState::BarSlot& tile = state_.bar[std::size_t(slot)];
  tile.tag = tile.code;
  changed(kBarChanged);
}

void GameMirror::clearClick() {
  if (watchMessage()) return;
  if (state_.onTurn(ownSeat())) clickclear();
}

void GameMirror::clickdone() {
  if (watchMessage()) return;
  if (!state_.onTurn(ownSeat())) {
    state_.moveButtons = false;
    changed(kPanelsChanged);
    return;
  }
  if (state_.wordLength == 0) return;
  MessageBuilder message(cmd::idone);
  message.field(ownSeat());
  for (int n = 1; n <= state_.wordLength; ++n) message.field(state_.word[std::size_t(n)].cell);
  session_.sendMove(message.done());
  state_.seatOnTurn = 0;
  state_.moveButtons = false;
  changed(kPanelsChanged);
}

void GameMirror::passClick() {
  if (watchMessage()) return;
  if (state_.onTurn(ownSeat())) {
    clickclear();
    session_.sendMove(MessageBuilder(cmd::hepass).field(ownSeat()).done(true));
    state_.seatOnTurn = 0;
  }
  state_.moveButtons = false;
  changed(kPanelsChanged);
}

void GameMirror::buyClick() {
  if (!state_.onTurn(ownSeat())) return;
  if (watchMessage()) return;
  clickclear();
  session_.sendMove(MessageBuilder(cmd::clickbuy).field(ownSeat()).done(true));
  state_.seatOnTurn = 0;
}

void GameMirror::shuffle() {
  std::uniform_int_distribution<int> draw(1, GameState::kBarSize);
  for (int i = 1; i <= GameState::kBarSize; ++i) {
    const int j = draw(rng_);
    if (j != i) std::swap(state_.bar[std::size_t(i)].position, state_.bar[std::size_t(j)].position);
  }
  changed(kBarChanged);
}

}  // namespace tw
