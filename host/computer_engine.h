// The computer's levels and the choices of the levels above Beginner: which
// cell to turn over next and which word to play. A choice is made from a SeatView, what the
// seat has seen, and from nothing else, so the computer plays a fair memory game.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/word_finder.h"
#include "net/framing.h"
#include "rules/computer_levels.h"
#include "rules/game_rules.h"

namespace tw {

// How a level remembers, which words it knows, how it chooses and spends.
struct LevelSkill {
  int forgetPercent = 0;  // chance a remembered cell is forgotten at each turn
  int listPercent = 100;  // part of the word list searched in one turn
  int buyBelow = 0;       // a word scoring less than this is traded for a new bar
  int listSize = 0;       // the largest word-list size whose words it knows; 0: every word
  int choices = 1;        // it plays one of this many best words, any of them alike
};
using LevelSkills = std::array<LevelSkill, kComputerLevelCount>;
// As the levels play in a game, tuned by the strength harness.
LevelSkills standardSkills();
// Parses "listSize,forget,choices,buyBelow[,listPercent]" as the harness
// takes it when it tries other skills.
std::optional<LevelSkill> parseSkill(std::string_view text);

// What one seat knows at a moment of its turn. A cell's code means something
// only where `known` is set; elsewhere it must not be read.
struct SeatView {
  struct Cell {
    int code = 0;
    bool known = false;   // face up now, remembered, or seen in a sneak peek
    bool faceUp = false;  // turned over this turn
  };
  std::array<int, rules::kBarSize + 1> bar{};  // codes of slots 1..7
  std::array<std::array<Cell, rules::kBoardHeight + 1>, rules::kBoardWidth + 1> board{};  // [x][y], 1-based
  int flipsLeft = rules::kMaxFlips;
};

struct WordChoice {
  std::string word;
  int score = 0;
  std::vector<CellRef> refs;  // in word order: x,y for a cell, 0,n for bar slot n
};

// The face-down cells to turn over next: when the best word in reach needs
// every flip left for remembered cells, those cells; else one cell nobody
// remembers, whose letter may make a better word. Empty when none is face down.
std::vector<CellRef> chooseFlips(const WordFinder& finder, const SeatView& view, const WordFinder::Part& part,
                                 const std::function<int(int)>& randomBelow);

// One of the `choices` best words of the bar and the cells face up, drawn
// alike, whose spelling `accepted` takes; none when no such word can be made.
std::optional<WordChoice> chooseWord(const WordFinder& finder, const SeatView& view,
                                     const WordFinder::Part& part,
                                     const std::function<bool(const std::string&)>& accepted, int choices = 1,
                                     const std::function<int(int)>& randomBelow = {});

}  // namespace tw
