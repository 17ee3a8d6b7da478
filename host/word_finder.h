// WordFinder: the word list regrouped for the computer's search. Words that
// are anagrams of each other score alike, so the list is kept as groups of
// anagrams, ordered by the most any of them could score; a search walks them
// from the top and stops where no group left can beat the best found.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "game_rules.h"

namespace tw {

class WordFinder {
 public:
  // Longer words do not fit the word row, so they are never played.
  static constexpr int kMaxLength = rules::kWordPositions;

  using Counts = std::array<std::uint8_t, rules::kLetterCount>;  // by letter a..z

  // The letters a search may use: the bar, the cells face up this turn, and
  // remembered face-down cells, each of which costs one of the flips left.
  struct Letters {
    Counts bar{};
    Counts faceUp{};
    Counts known{};
    int flips = 0;
  };
  // How many of each letter the best word takes from each source.
  struct Use {
    Counts bar{};
    Counts faceUp{};
    Counts known{};
  };
  struct Best {
    int group = -1;  // -1: no word can be made
    int score = 0;
    Use use;
  };
  // How common a lower-case word is: a word-list size, 0 when unknown.
  using ListSize = int (*)(std::string_view word);
  // A search may be limited to a part of the groups: those whose mix with
  // `salt` falls below `percent` of 100, and when `listSize` is set, those
  // with a word whose size is at most `mostSize`.
  struct Part {
    int percent = 100;
    std::uint32_t salt = 0;
    ListSize listSize = nullptr;
    int mostSize = 0;
    bool knows(std::string_view word) const {
      const int size = listSize ? listSize(word) : 0;
      return !listSize || (size > 0 && size <= mostSize);
    }
  };
  // The most groups one search ranks.
  static constexpr int kMaxChoices = 8;

  WordFinder() = default;
  // From a record image as the dictionary serves it (15-byte records, the
  // word upper case after one marker byte, padded with spaces).
  static WordFinder fromRecords(std::string_view image);
  // From words in any case; words with other characters than letters are left out.
  static WordFinder fromWords(const std::vector<std::string>& words);

  Best best(const Letters& letters, const Part& part) const;
  // The `count` best groups (at most kMaxChoices), best first; empty when no
  // word can be made.
  std::vector<Best> bestFew(const Letters& letters, const Part& part, int count) const;
  // The words of a group, lower case.
  std::vector<std::string_view> words(int group) const;

  std::size_t groupCount() const { return groups_.size(); }
  std::size_t wordCount() const { return wordCount_; }

 private:
  struct Group {
    std::uint8_t length = 0;
    std::uint8_t letters[kMaxLength]{};  // sorted, 0..25
    std::uint32_t firstWord = 0;         // offset in text_ of its words, each ended by '\n'
    std::uint32_t wordBytes = 0;
  };
  // Letter counts, 4 bits each and at most 7: a..p in lo, q..z in hi, so
  // that whether a group's letters are at hand is a few word operations.
  struct Nibbles {
    std::uint64_t lo = 0;
    std::uint64_t hi = 0;
  };
  // What the scan reads of every group it passes, kept apart from the rest.
  struct Filter {
    std::uint8_t ceiling = 0;  // the most a word of the group can score
    std::uint32_t mask = 0;    // the letters it holds
    Nibbles counts;
  };
  template <typename Count>
  static Nibbles pack(const std::array<Count, rules::kLetterCount>& counts);
  void build(std::vector<std::string> words);
  int score(const Group& group, const Letters& letters, Use* use) const;
  bool knowsAny(const Group& group, const Part& part) const;

  std::vector<Filter> filters_;  // best first
  std::vector<Group> groups_;    // in the same order
  std::string text_;
  std::size_t wordCount_ = 0;
};

}  // namespace tw
