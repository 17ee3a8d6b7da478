// Made-up word lists for games the computer plays in tests.
#pragma once

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace tw::test {

// Random strings whose letters follow the letter supply, sorted, so that most
// computer turns find a word and no letter lingers on a bar; among them are
// three- and eight-letter strings that the computer must never choose.
inline const std::vector<std::string>& supplyLikeWords() {
  static const std::vector<std::string> words = [] {
    const int weights[26] = {9, 2, 2, 5, 12, 2, 3, 2, 9, 1, 1, 4, 2, 6, 8, 2, 1, 6, 4, 6, 3, 2, 2, 1, 2, 1};
    std::mt19937 gen(99);
    std::discrete_distribution<int> letter(std::begin(weights), std::end(weights));
    const std::size_t lengths[] = {3, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 6, 7, 8};
    std::vector<std::string> out;
    for (int i = 0; i < 20000; ++i) {
      std::string word;
      while (word.size() < lengths[i % std::size(lengths)]) word += char('a' + letter(gen));
      out.push_back(word);
    }
    std::sort(out.begin(), out.end());
    return out;
  }();
  return words;
}

// The host's verdict on those strings: those beginning "ss" stand for list
// words that are not in the dictionary.
inline bool supplyLikeWordAccepted(const std::string& word) { return word.rfind("ss", 0) != 0; }

}  // namespace tw::test
