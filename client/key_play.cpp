// The keys of a turn, turned into the clicks of the mouse rules, and the
// words a screen reader says for what the board, the bar and the word row
// show.
#include "client/key_play.h"

#include <algorithm>

namespace tw {

namespace {

using Button = GameMirror::Button;

std::string letterWords(int code) {
  const int value = rules::letterValue(code);
  return std::string(1, char('A' + code - 1)) + ", " + std::to_string(value) +
         (value == 1 ? " point" : " points");
}

bool isLetter(int code) { return code >= 1 && code <= 26; }

}  // namespace

KeyPlay::KeyPlay(GameMirror& game, std::function<int()> ownSeat)
    : game_(game), ownSeat_(std::move(ownSeat)) {}

bool KeyPlay::onTurn() const { return game_.state().onTurn(ownSeat_()); }

bool KeyPlay::turnStarted() {
  const GameState& s = game_.state();
  if (s.turnCount == seenTurn_ || !onTurn()) return false;
  seenTurn_ = s.turnCount;
  x_ = y_ = 1;
  return true;
}

int KeyPlay::focusSlot() const {
  const GameState& s = game_.state();
  for (int n = 1; n <= GameState::kBarSize; ++n)
    if (s.bar[std::size_t(n)].position == place_) return n;
  return place_;
}

bool KeyPlay::press(Place place, Key key, char letter) {
  // Moving the focus is looking, not playing: it works at any time.
  const int dx = key == Key::Left ? -1 : key == Key::Right ? 1 : 0;
  const int dy = key == Key::Up ? -1 : key == Key::Down ? 1 : 0;
  if (place == Place::Board && (dx || dy)) {
    x_ = std::clamp(x_ + dx, 1, GameState::kBoardWidth);
    y_ = std::clamp(y_ + dy, 1, GameState::kBoardHeight);
    return true;
  }
  if (place == Place::Bar && dx) {
    place_ = std::clamp(place_ + dx, 1, GameState::kBarSize);
    return true;
  }
  if (place == Place::Bar && dy) return false;
  if (key == Key::Letter) {
    const char lower = char(letter | 0x20);
    if (lower < 'a' || lower > 'z') return false;
    return onTurn() && typeLetter(lower - 'a' + 1);
  }
  // The keys of a turn do nothing out of turn; on turn the mouse rules
  // decide, "Just Watch" included.
  if (!onTurn()) return key != Key::Select;
  switch (key) {
    case Key::Space:
      place == Place::Board ? game_.boardClick(x_, y_, Button::Left)
                            : game_.barClick(focusSlot(), Button::Left);
      return true;
    case Key::Select:
      if (place == Place::Bar) game_.barClick(focusSlot(), Button::Right);
      return place == Place::Bar;
    case Key::Backspace:
      game_.wordClick(game_.state().wordLength);
      return true;
    case Key::Return:
      game_.clickdone();
      return true;
    case Key::Escape:
      game_.clearClick();
      return true;
    default:
      return false;
  }
}

bool KeyPlay::typeLetter(int code) {
  const GameState& s = game_.state();
  if (!s.building) return false;
  // Board letters score double: the focus cell first, then the other cells
  // turned over in this turn, then the bar from the left.
  auto usable = [&](int x, int y) {
    const GameState::Cell& c = s.cell(x, y);
    return c.faceUp && !c.picked && c.code == code;
  };
  if (usable(x_, y_)) {
    game_.boardClick(x_, y_, Button::Left);
    return true;
  }
  for (int y = 1; y <= GameState::kBoardHeight; ++y)
    for (int x = 1; x <= GameState::kBoardWidth; ++x)
      if (usable(x, y)) {
        game_.boardClick(x, y, Button::Left);
        return true;
      }
  for (int place = 1; place <= GameState::kBarSize; ++place)
    for (int n = 1; n <= GameState::kBarSize; ++n) {
      const GameState::BarSlot& slot = s.bar[std::size_t(n)];
      if (slot.position == place && slot.tag != 0 && slot.code == code) {
        game_.barClick(n, Button::Left);
        return true;
      }
    }
  return false;
}

std::string KeyPlay::cellWords(const GameState& state, int x, int y) {
  std::string words = "row " + std::to_string(y) + ", column " + std::to_string(x) + ", ";
  const GameState::Cell& c = state.cell(x, y);
  const int image = state.cellImage(x, y);
  if (image == 0) return words + "empty";
  if (image == GameState::kBack || !isLetter(c.code)) return words + "face down";
  words += letterWords(c.code);
  if (c.faceUp) words += ", face up";
  if (c.inWord) words += ", in the word";
  return words;
}

std::string KeyPlay::slotWords(const GameState& state, int slot) {
  const GameState::BarSlot& b = state.bar[std::size_t(slot)];
  std::string words = "bar tile " + std::to_string(b.position) + ", ";
  if (!isLetter(b.code)) return words + "empty";
  words += letterWords(b.code);
  if (b.tag == 0) words += ", in the word";
  if (state.selectedSlot == slot) words += ", raised";
  return words;
}

std::string KeyPlay::wordWords(const GameState& state, int position) {
  const GameState::WordPosition& p = state.word[std::size_t(position)];
  std::string words = "word letter " + std::to_string(position) + ", ";
  if (!isLetter(p.face)) return words + "empty";
  return words + letterWords(p.face) + (p.boardLetter ? ", from the board" : ", from the bar");
}

}  // namespace tw
