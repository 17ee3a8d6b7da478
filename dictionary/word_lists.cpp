// Access to the word lists compiled into the program.
#include "dictionary/word_lists.h"

#include "dictionary/builtin_words.h"

namespace tw {

std::string_view builtinWordRecords() { return {detail::kEnglishRecords, detail::kEnglishRecordsSize}; }

std::string_view builtinWordIndex() { return {detail::kEnglishIndex, detail::kEnglishIndexSize}; }

const std::vector<std::string>& computerWords() {
  static const std::vector<std::string> words = [] {
    std::vector<std::string> list;
    std::string_view text(detail::kComputerWords, detail::kComputerWordsSize);
    while (!text.empty()) {
      std::size_t end = text.find('\n');
      list.emplace_back(text.substr(0, end));
      text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return list;
  }();
  return words;
}

}  // namespace tw
