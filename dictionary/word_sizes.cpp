// Finds a word's record in the built-in list by binary search and reads its
// size beside it, so the table costs no memory beyond the program's image.
#include "dictionary/word_sizes.h"

#include <algorithm>

#include "dictionary/word_lists.h"

namespace tw {

namespace {
constexpr std::size_t kRecordWidth = 15;
constexpr std::size_t kTextWidth = 14;

// Negative, zero or positive as the record's word sorts before, as or after
// `word`; a record's word is padded with spaces, which sort before letters.
int compareRecord(std::string_view record, std::string_view word) {
  for (std::size_t i = 0; i < kTextWidth; ++i) {
    const char r = record[1 + i];
    char w = i < word.size() ? word[i] : ' ';
    if (w >= 'a' && w <= 'z') w = char(w - 'a' + 'A');
    if (r != w) return r < w ? -1 : 1;
  }
  return 0;
}
}  // namespace

int listSizeOf(std::string_view word) {
  if (word.empty() || word.size() > kTextWidth) return 0;
  const std::string_view records = builtinWordRecords();
  std::size_t low = 0;
  std::size_t high = std::min(records.size() / kRecordWidth, detail::kEnglishSizeIndexSize);
  while (low < high) {
    const std::size_t mid = (low + high) / 2;
    const int c = compareRecord(records.substr(mid * kRecordWidth, kRecordWidth), word);
    if (c == 0) {
      const std::size_t index = std::size_t(detail::kEnglishSizeIndex[mid] - '0');
      return index < detail::kListSizeCount ? detail::kListSizes[index] : 0;
    }
    if (c < 0)
      low = mid + 1;
    else
      high = mid;
  }
  return 0;
}

}  // namespace tw
