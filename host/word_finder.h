// WordFinder: the word list regrouped for the computer's search. Words that
// are anagrams of each other score alike, so the list is kept as groups of
// anagrams, ordered by the most any of them could score; a search walks them
// from the top and stops where no group left can beat the best found. The
// groups live in an image of offsets only, so the built-in list's image is
// made when the program is built and read in place from read-only pages.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/game_rules.h"

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
  // The built-in word list's, compiled into the program: nothing is read
  // or copied until a search touches its pages.
  static const WordFinder& builtin();
  // From an image's bytes (copied) or an image file, checked whole first;
  // nullopt and a reason in `error` when refused.
  static std::optional<WordFinder> fromImage(std::string_view bytes, std::string& error);
  static std::optional<WordFinder> fromImageFile(const std::filesystem::path& path, std::string& error);

  // The image this finder reads: what tw_word_image writes, and what
  // fromImage takes back.
  std::string_view image() const { return image_; }

  Best best(const Letters& letters, const Part& part) const;
  // The `count` best groups (at most kMaxChoices), best first; empty when no
  // word can be made.
  std::vector<Best> bestFew(const Letters& letters, const Part& part, int count) const;
  // The words of a group, lower case.
  std::vector<std::string_view> words(int group) const;

  std::size_t groupCount() const { return groupCount_; }
  std::size_t wordCount() const { return wordCount_; }

 private:
  // The records below are the image's own bytes, so their layout is fixed.
  struct Group {
    std::uint32_t firstWord = 0;  // offset in text_ of its words, each ended by '\n'
    std::uint32_t wordBytes = 0;
    std::uint8_t length = 0;
    std::uint8_t letters[kMaxLength]{};  // sorted, 0..25
    std::uint8_t unused[1]{};
  };
  // What the scan reads of every group it passes, eight bytes a group so
  // that a search pages in as little of the image as it can: the group's
  // letter counts, 2 bits each and at most 3 (a..z from bit 0), and from
  // bit 56 the most a word of the group can score. The counts only rule
  // groups out; a group they let through is scored from its letters.
  struct Filter {
    std::uint64_t bits = 0;
  };
  enum class Trust { Checked, Whole };
  template <typename Count>
  static std::uint64_t pack(const std::array<Count, rules::kLetterCount>& counts);
  static WordFinder build(std::vector<std::string> words);
  // Points this finder at an image; false and a reason when it is refused.
  // A trusted image (made and checked whole by the build) has only its
  // header read, so that its pages stay untouched until a search.
  bool attach(std::string_view image, Trust trust, std::string& error);
  static std::optional<WordFinder> adopt(std::shared_ptr<std::vector<std::uint64_t>> storage, std::size_t bytes,
                                         std::string& error);
  Counts countsOf(std::size_t group) const;
  int score(const Counts& counts, const Letters& letters, Use* use) const;
  bool knowsAny(const Group& group, const Part& part) const;

  std::shared_ptr<const std::vector<std::uint64_t>> storage_;  // the image, when built or read at run time
  std::string_view image_;
  const Filter* filters_ = nullptr;  // best first
  const Group* groups_ = nullptr;    // in the same order
  std::size_t groupCount_ = 0;
  std::string_view text_;
  std::size_t wordCount_ = 0;
};

}  // namespace tw
