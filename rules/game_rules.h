// The rules every part of the game shares: the board and bar sizes, the
// letters' values and draw weights, and how a word scores. The host scores
// with these, the tiles print them and the help page explains them, so they
// are written once, here.
#pragma once

#include <array>
#include <cstddef>

namespace tw::rules {

inline constexpr int kBoardWidth = 10;
inline constexpr int kBoardHeight = 8;
inline constexpr int kBarSize = 7;
inline constexpr int kMaxFlips = 5;
inline constexpr int kWordPositions = 10;
inline constexpr int kBuyPrice = 20;
inline constexpr int kLetterCount = 26;  // tile codes 1..26 are a..z

// Values of a..z.
inline constexpr std::array<int, kLetterCount> kLetterValues = {1, 3, 3, 1, 1, 5, 3, 3, 1, 5, 5, 1, 3,
                                                                1, 1, 3, 10, 1, 1, 1, 1, 7, 5, 10, 3, 10};

// The value of tile code 1..26; any other code counts 1.
constexpr int letterValue(int code) { return code >= 1 && code <= kLetterCount ? kLetterValues[code - 1] : 1; }

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

}  // namespace tw::rules
