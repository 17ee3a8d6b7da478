// The rules every part of the game shares: the seats, the board and bar
// sizes, the game modes, the computer's speeds, the letters' values and draw
// weights, and how a word scores. The host scores
// with these, the tiles print them and the help page explains them, so they
// are written once, here.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace tw::rules {

// Seats 1..kSeatCount play; the slots after them up to kSlotCount watch.
inline constexpr int kSeatCount = 6;
inline constexpr int kSlotCount = 9;

inline constexpr int kBoardWidth = 10;
inline constexpr int kBoardHeight = 8;
// Cells are 1-based.
constexpr bool onBoard(int x, int y) { return x >= 1 && x <= kBoardWidth && y >= 1 && y <= kBoardHeight; }
inline constexpr int kBarSize = 7;
inline constexpr int kMaxFlips = 5;
inline constexpr int kWordPositions = 10;
inline constexpr int kBuyPrice = 20;
inline constexpr int kLetterCount = 26;  // tile codes 1..26 are a..z

// The computer's pause before each of its steps, in ms.
inline constexpr int kBotSlowMs = 1000;
inline constexpr int kBotNormalMs = 750;
inline constexpr int kBotFastMs = 250;
// Any other pause is taken as the normal one.
constexpr int knownBotSpeed(int ms) { return ms == kBotSlowMs || ms == kBotFastMs ? ms : kBotNormalMs; }

// A game mode: its number in the start of a game, its word in the catch-up
// of a late comer, and its caption.
struct GameMode {
  int number;
  std::string_view word;
  std::string_view caption;
};
inline constexpr GameMode kGameModes[] = {
    {1, "blind", "Blind"}, {2, "help", "Helper"}, {3, "sneak", "Sneak Peek"}};
inline constexpr int kBlind = 1;
inline constexpr int kHelper = 2;
inline constexpr int kSneakPeek = 3;
constexpr std::string_view modeWord(int number) { return kGameModes[number - 1].word; }
// The mode a number ("1".."3") names; nullptr for any other text.
constexpr const GameMode* modeByNumber(std::string_view text) {
  for (const GameMode& m : kGameModes)
    if (text.size() == 1 && text[0] == char('0' + m.number)) return &m;
  return nullptr;
}
constexpr const GameMode* modeByWord(std::string_view word) {
  for (const GameMode& m : kGameModes)
    if (word == m.word) return &m;
  return nullptr;
}

// Values of a..z.
inline constexpr std::array<int, kLetterCount> kLetterValues = {1, 3, 3, 1,  1, 5, 3, 3, 1, 5, 5,  1, 3,
                                                                1, 1, 3, 10, 1, 1, 1, 1, 7, 5, 10, 3, 10};

// The value of tile code 1..26; any other code counts 1.
constexpr int letterValue(int code) {
  return code >= 1 && code <= kLetterCount ? kLetterValues[code - 1] : 1;
}

// The letter draw: a uniform 1..kDrawRange falls into one of these
// consecutive ranges, whose widths are the letters' weights.
struct LetterRange {
  int last;
  char letter;
};
inline constexpr LetterRange kLetterDraw[] = {
    {9, 'a'},  {21, 'e'}, {30, 'i'}, {38, 'o'}, {41, 'u'}, {46, 'd'}, {49, 'g'}, {51, 'h'}, {55, 'l'},
    {57, 'm'}, {63, 'n'}, {65, 'p'}, {71, 'r'}, {75, 's'}, {81, 't'}, {83, 'y'}, {85, 'b'}, {87, 'c'},
    {89, 'f'}, {90, 'j'}, {91, 'k'}, {93, 'w'}, {94, 'q'}, {96, 'v'}, {97, 'x'}, {98, 'z'},
};
inline constexpr int kDrawRange = 98;

// Scoring: each letter's value, board letters counted this many times.
inline constexpr int kBoardLetterFactor = 2;
// Words of kMinBonusLength to kWordPositions letters earn kBonusPerLetter
// for every letter beyond kMinBonusLength - 1.
inline constexpr int kMinBonusLength = 5;
inline constexpr int kBonusPerLetter = 5;
// Using all five turned-over tiles, or the whole bar.
inline constexpr int kAllFlipsBonus = 5;
inline constexpr int kWholeBarBonus = 10;

constexpr int lengthBonus(std::size_t letters) {
  if (letters < std::size_t(kMinBonusLength) || letters > std::size_t(kWordPositions)) return 0;
  return kBonusPerLetter * int(letters - (kMinBonusLength - 1));
}

// Where a word's letters come from: their values summed by source, and how
// many come from each.
struct WordMakeup {
  int barValue = 0;
  int boardValue = 0;
  int barLetters = 0;
  int boardLetters = 0;
};

// The score of a word: what the host adds and what the computer's search
// expects, so the two cannot drift apart.
constexpr int wordScore(const WordMakeup& w) {
  return w.barValue + kBoardLetterFactor * w.boardValue +
         lengthBonus(std::size_t(w.barLetters + w.boardLetters)) +
         (w.boardLetters == kMaxFlips ? kAllFlipsBonus : 0) + (w.barLetters == kBarSize ? kWholeBarBonus : 0);
}

}  // namespace tw::rules
