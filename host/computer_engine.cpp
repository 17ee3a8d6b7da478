// Choices of the stronger computer levels, made from what the seat has seen.
#include "computer_engine.h"

#include <deque>

namespace tw {

namespace {

bool isLetter(int code) { return code >= 1 && code <= rules::kLetterCount; }

// The view's letters by source; remembered face-down cells cost a flip each.
WordFinder::Letters lettersOf(const SeatView& view, int flips) {
  WordFinder::Letters letters;
  for (int n = 1; n <= rules::kBarSize; ++n)
    if (isLetter(view.bar[std::size_t(n)])) ++letters.bar[std::size_t(view.bar[std::size_t(n)] - 1)];
  for (int x = 1; x <= rules::kBoardWidth; ++x)
    for (int y = 1; y <= rules::kBoardHeight; ++y) {
      const SeatView::Cell& cell = view.board[std::size_t(x)][std::size_t(y)];
      if (!cell.known || !isLetter(cell.code)) continue;
      auto& counts = cell.faceUp ? letters.faceUp : letters.known;
      ++counts[std::size_t(cell.code - 1)];
    }
  letters.flips = flips;
  return letters;
}

}  // namespace

std::string_view levelName(ComputerLevel level) {
  switch (level) {
    case ComputerLevel::Club:
      return "Club";
    case ComputerLevel::Expert:
      return "Expert";
    case ComputerLevel::Beginner:
      break;
  }
  return "Beginner";
}

std::optional<ComputerLevel> parseComputerLevel(std::string_view text) {
  for (ComputerLevel level : {ComputerLevel::Beginner, ComputerLevel::Club, ComputerLevel::Expert}) {
    const std::string_view name = levelName(level);
    if (name.size() != text.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size(); ++i) same = same && (text[i] | 0x20) == (name[i] | 0x20);
    if (same) return level;
  }
  return std::nullopt;
}

// A fresh bar with five random cells makes about 45 points at Expert and 30
// at Club, so a word worth less than that minus the price is traded for one.
LevelSkill skillOf(ComputerLevel level) {
  switch (level) {
    case ComputerLevel::Club:
      return {50, 5, 10};
    case ComputerLevel::Expert:
      return {0, 100, 25};
    case ComputerLevel::Beginner:
      break;
  }
  return {};
}

std::vector<CellRef> chooseFlips(const WordFinder& finder, const SeatView& view, const WordFinder::Part& part,
                                 const std::function<int(int)>& randomBelow) {
  const WordFinder::Best best = finder.best(lettersOf(view, view.flipsLeft), part);
  int planned = 0;
  for (auto n : best.use.known) planned += n;
  auto wanted = best.use.known;

  std::vector<CellRef> chosen;
  std::vector<CellRef> unknown;
  std::vector<CellRef> faceDown;
  for (int x = 1; x <= rules::kBoardWidth; ++x)
    for (int y = 1; y <= rules::kBoardHeight; ++y) {
      const SeatView::Cell& cell = view.board[std::size_t(x)][std::size_t(y)];
      if (cell.faceUp) continue;
      faceDown.push_back({x, y});
      if (!cell.known)
        unknown.push_back({x, y});
      else if (isLetter(cell.code) && wanted[std::size_t(cell.code - 1)] > 0) {
        --wanted[std::size_t(cell.code - 1)];
        chosen.push_back({x, y});
      }
    }
  if (planned == view.flipsLeft || (unknown.empty() && !chosen.empty())) return chosen;
  if (!unknown.empty()) return {unknown[std::size_t(randomBelow(int(unknown.size())))]};
  if (faceDown.empty()) return {};
  return {faceDown[std::size_t(randomBelow(int(faceDown.size())))]};
}

std::optional<WordChoice> chooseWord(const WordFinder& finder, const SeatView& view,
                                     const WordFinder::Part& part,
                                     const std::function<bool(const std::string&)>& accepted) {
  const WordFinder::Best best = finder.best(lettersOf(view, 0), part);
  if (best.group < 0) return std::nullopt;
  std::optional<WordChoice> choice;
  for (std::string_view word : finder.words(best.group)) {
    if (accepted && accepted(std::string(word))) {
      choice = WordChoice{std::string(word), best.score, {}};
      break;
    }
  }
  if (!choice) return std::nullopt;

  // Where each letter comes from: the cells face up first, then the bar.
  std::array<std::deque<CellRef>, rules::kLetterCount> sources;
  auto cellsLeft = best.use.faceUp;
  for (int x = 1; x <= rules::kBoardWidth; ++x)
    for (int y = 1; y <= rules::kBoardHeight; ++y) {
      const SeatView::Cell& cell = view.board[std::size_t(x)][std::size_t(y)];
      if (!cell.faceUp || !cell.known || !isLetter(cell.code)) continue;
      const std::size_t L = std::size_t(cell.code - 1);
      if (cellsLeft[L] == 0) continue;
      --cellsLeft[L];
      sources[L].push_back({x, y});
    }
  auto slotsLeft = best.use.bar;
  for (int n = 1; n <= rules::kBarSize; ++n) {
    const int code = view.bar[std::size_t(n)];
    if (!isLetter(code) || slotsLeft[std::size_t(code - 1)] == 0) continue;
    --slotsLeft[std::size_t(code - 1)];
    sources[std::size_t(code - 1)].push_back({0, n});
  }
  for (char c : choice->word) {
    auto& from = sources[std::size_t(c - 'a')];
    if (from.empty()) return std::nullopt;
    choice->refs.push_back(from.front());
    from.pop_front();
  }
  return choice;
}

}  // namespace tw
