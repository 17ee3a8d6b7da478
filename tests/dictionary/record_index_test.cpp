// RecordIndex and the sorted search give the first record of a run, as a plain scan does.
#include "dictionary/record_index.h"
#include "dictionary/word_lists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace tw {
namespace {

std::string text14(std::string s) {
  s.resize(14, ' ');
  return s;
}

RecordText keyOf(const std::string& text) {
  std::string image = "\x1e" + text14(text);
  return recordTextAt(image, 0);
}

int scan(const std::string& image, const std::string& text) {
  for (std::size_t i = 0; i * 15 < image.size(); ++i)
    if (image.compare(i * 15 + 1, 14, text14(text)) == 0) return static_cast<int>(i);
  return -1;
}

TEST(RecordIndex, AgreesWithAPlainScanOnListsFullOfRepeats) {
  std::mt19937 rng(7);
  for (int round = 0; round < 40; ++round) {
    // Few letters and short words, so runs of equal records are common.
    std::vector<std::string> texts;
    const int count = 1 + static_cast<int>(rng() % 600);
    for (int i = 0; i < count; ++i) {
      std::string t;
      for (int k = 0, n = 1 + static_cast<int>(rng() % 5); k < n; ++k)
        t += static_cast<char>('A' + rng() % 3);
      texts.push_back(text14(t));
    }
    std::sort(texts.begin(), texts.end());
    std::string image;
    for (const std::string& t : texts) image += "\x1e" + t;

    RecordIndex index;
    ASSERT_TRUE(index.build(image));
    for (int probe = 0; probe < 200; ++probe) {
      std::string t;
      for (int k = 0, n = 1 + static_cast<int>(rng() % 6); k < n; ++k)
        t += static_cast<char>('A' + rng() % 3);
      const int expected = scan(image, t);
      EXPECT_EQ(index.find(image, keyOf(t)), expected) << t;
      EXPECT_EQ(searchSorted(image, keyOf(t)), expected) << t;
    }
  }
}

// The compiled-in index (made by the build) is the one built here, and finds every word read in place.
TEST(RecordIndex, EveryBuiltInWordIsFoundAtItsRecord) {
  const std::string_view image = builtinWordRecords();
  RecordIndex index;
  ASSERT_TRUE(index.build(image));
  // The index must stay within 1 MiB beside the records.
  EXPECT_LE(index.bytes(), std::size_t{1} << 20);
  EXPECT_TRUE(index.bucketBytes() == builtinWordIndex());
  const RecordIndex compiledIn = RecordIndex::inPlace(builtinWordIndex());
  EXPECT_EQ(compiledIn.bytes(), 0u);
  for (std::size_t i = 0; i < image.size() / 15; ++i) {
    ASSERT_EQ(index.find(image, recordTextAt(image, i)), static_cast<int>(i));
    ASSERT_EQ(compiledIn.find(image, recordTextAt(image, i)), static_cast<int>(i));
  }
  EXPECT_EQ(compiledIn.find(image, keyOf("QQQQ")), -1);
  // Bytes that are no whole buckets are not taken.
  EXPECT_TRUE(RecordIndex::inPlace(builtinWordIndex().substr(0, 100)).empty());
}

TEST(RecordIndex, LastRecordIsReadWithoutRunningPastTheImage) {
  // The image sits at the very end of its own allocation, so ASan sees any over-read.
  const std::string text = "\x1e" + text14("ZZ");
  std::vector<char> exact(text.begin(), text.end());
  const std::string_view image(exact.data(), exact.size());
  RecordIndex index;
  ASSERT_TRUE(index.build(image));
  EXPECT_EQ(index.find(image, keyOf("ZZ")), 0);
  EXPECT_EQ(searchSorted(image, keyOf("ZZ")), 0);
}

}  // namespace
}  // namespace tw
