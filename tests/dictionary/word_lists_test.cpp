// Properties of the word lists compiled into the program.
#include "dictionary/dictn.h"
#include "dictionary/word_lists.h"
#include "dictionary/word_sizes.h"

#include <gtest/gtest.h>

#include <string>

namespace tw {
namespace {

TEST(BuiltinWordList, RecordsAreWellFormedAscendingAndUnique) {
  const std::string_view records = builtinWordRecords();
  ASSERT_EQ(records.size() % 15, 0u);
  const std::size_t count = records.size() / 15;
  EXPECT_GE(count, 150000u);
  EXPECT_LE(count, 250000u);
  std::string_view previous;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view rec = records.substr(i * 15, 15);
    ASSERT_EQ(rec[0], '\x1e') << i;
    const std::string_view text = rec.substr(1);
    const std::size_t letters = text.find(' ') == std::string_view::npos ? 14 : text.find(' ');
    ASSERT_GE(letters, 2u) << text;
    for (std::size_t k = 0; k < 14; ++k) {
      if (k < letters)
        ASSERT_TRUE(text[k] >= 'A' && text[k] <= 'Z') << text;
      else
        ASSERT_EQ(text[k], ' ') << text;
    }
    ASSERT_LT(previous, text) << i;
    previous = text;
  }
}

TEST(BuiltinWordList, HoldsCommonInflectionsAndNoUnitSymbols) {
  TDictn d(TDictn::MemoryImage{std::string(builtinWordRecords())});
  for (const char* w :
       {"cats", "running", "faster", "quickly", "colour", "color", "jumped", "boxes", "zoo", "qi"})
    EXPECT_TRUE(d.CheckWord(w)) << w;
  for (const char* w : {"kb", "mb", "lm", "csc", "ps", "xs", "london", "dont"})
    EXPECT_FALSE(d.CheckWord(w)) << w;
}

TEST(BuiltinWordList, HoldsTheAcceptedVariantSpellingsButNoAbbreviations) {
  TDictn d(TDictn::MemoryImage{std::string(builtinWordRecords())});
  for (const char* w : {"abaci", "abided", "abscissae", "acanthi", "adieux", "despatches", "rostra"})
    EXPECT_TRUE(d.CheckWord(w)) << w;
  for (const char* w : {"abbr", "acct", "adj", "etc", "mph", "xiv"}) EXPECT_FALSE(d.CheckWord(w)) << w;
}

TEST(BuiltinWordList, LeavesOutConfirmedMisspellings) {
  TDictn d(TDictn::MemoryImage{std::string(builtinWordRecords())});
  for (const char* w : {"weired", "hampster", "drownded", "theirselves", "irrepairable"}) {
    EXPECT_FALSE(d.CheckWord(w)) << w;
    EXPECT_EQ(listSizeOf(w), 0) << w;
  }
  for (const char* w : {"weird", "hamster", "drowned", "themselves", "irreparable"}) EXPECT_TRUE(d.CheckWord(w)) << w;
}

// Every record has a size, commoner words smaller ones; words the list lacks,
// and input no record could hold, have none.
TEST(BuiltinWordList, TellsHowCommonEachWordIs) {
  const std::string_view records = builtinWordRecords();
  for (std::size_t at = 0; at < records.size(); at += 15 * 97) {
    std::string_view text = records.substr(at + 1, 14);
    text = text.substr(0, text.find(' '));
    const int size = listSizeOf(text);
    EXPECT_GE(size, 10) << text;
    EXPECT_LE(size, kLargestListSize) << text;
  }
  EXPECT_EQ(listSizeOf("aah"), listSizeOf("AAH"));  // the first record
  EXPECT_GT(listSizeOf(records.substr(records.size() - 14, 14)), 0);  // the last, padded
  EXPECT_EQ(listSizeOf("the"), 10);
  EXPECT_EQ(listSizeOf("house"), 10);
  EXPECT_GT(listSizeOf("monaul"), 50);
  const std::string_view odd[] = {"",    "zzzzzzzzzzzzzzzzzzzz",       "london",   "a b", "the\n",
                                  "t\0e", std::string_view("t\0e", 3), "\xff\xfe", "abcdefghijklmno"};
  for (const std::string_view w : odd)
    EXPECT_EQ(listSizeOf(w), 0) << w;
}

TEST(ComputerWordList, ShortCommonWordsMostlyInTheMainList) {
  const std::vector<std::string>& words = computerWords();
  ASSERT_GE(words.size(), 7000u);
  ASSERT_LE(words.size(), 8000u);
  TDictn d(TDictn::MemoryImage{std::string(builtinWordRecords())});
  std::size_t known = 0;
  std::size_t choosable = 0;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    ASSERT_GE(w.size(), 1u);
    ASSERT_LE(w.size(), 7u);
    for (char c : w) ASSERT_TRUE(c >= 'a' && c <= 'z') << w;
    if (i > 0) {
      ASSERT_LT(words[i - 1], w);
    }
    known += d.CheckWord(w) ? 1 : 0;
    choosable += w.size() >= 4 && i + 10 < words.size() ? 1 : 0;
  }
  EXPECT_GE(known * 100, words.size() * 95);
  EXPECT_GT(choosable, 5000u);
}

}  // namespace
}  // namespace tw
