// Choices of the stronger computer levels, made from what the seat has seen.
#include "host/computer_engine.h"

#include <deque>

#include "host/level_tuning.h"

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

// The lower levels know only the commoner word-list sizes, forget what they
// saw and take one of a few good words, so each wins about three games in
// four against the level below it (tools/tune_levels.py finds the figures).
LevelSkills standardSkills() { return kTunedSkills; }

std::optional<LevelSkill> parseSkill(std::string_view text) {
  std::array<int, 5> values{0, 0, 1, 0, 100};  // listSize, forget, choices, buyBelow, listPercent
  std::size_t n = 0;
  while (n < values.size()) {
    const std::size_t comma = text.find(',');
    const std::string_view field = text.substr(0, comma);
    if (field.empty() || field.size() > 3) return std::nullopt;
    int v = 0;
    for (char c : field) {
      if (c < '0' || c > '9') return std::nullopt;
      v = v * 10 + (c - '0');
    }
    values[n++] = v;
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  if (n < 4 || values[1] > 100 || values[2] < 1 || values[2] > WordFinder::kMaxChoices || values[4] < 1 ||
      values[4] > 100)
    return std::nullopt;
  return LevelSkill{values[1], values[4], values[3], values[0], values[2]};
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

namespace {

// Where each letter of `word` comes from: the cells face up first, then the bar.
std::optional<WordChoice> layOut(const SeatView& view, const WordFinder::Best& best, std::string_view word) {
  WordChoice choice{std::string(word), best.score, {}};
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
  for (char c : choice.word) {
    auto& from = sources[std::size_t(c - 'a')];
    if (from.empty()) return std::nullopt;
    choice.refs.push_back(from.front());
    from.pop_front();
  }
  return choice;
}

}  // namespace

std::optional<WordChoice> chooseWord(const WordFinder& finder, const SeatView& view,
                                     const WordFinder::Part& part,
                                     const std::function<bool(const std::string&)>& accepted, int choices,
                                     const std::function<int(int)>& randomBelow) {
  const std::vector<WordFinder::Best> found = finder.bestFew(lettersOf(view, 0), part, choices);
  if (found.empty()) return std::nullopt;
  // The drawn word first; should the host's list lack it, the others in order.
  const std::size_t first = found.size() > 1 && randomBelow ? std::size_t(randomBelow(int(found.size()))) : 0;
  for (std::size_t k = 0; k < found.size(); ++k) {
    const WordFinder::Best& best = found[(first + k) % found.size()];
    for (std::string_view word : finder.words(best.group)) {
      if (!part.knows(word)) continue;
      if (!accepted || !accepted(std::string(word))) continue;
      return layOut(view, best, word);
    }
  }
  return std::nullopt;
}

}  // namespace tw
