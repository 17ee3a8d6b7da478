// HostRules: what the host needs to judge words and to play for empty seats.
// The program supplies the real word list; tests supply a few words and a
// fixed seed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/computer_engine.h"
#include "host/word_finder.h"

namespace tw {

struct HostRules {
  // True when the lower-case word is a word. When unset every word is rejected.
  std::function<bool(const std::string&)> checkWord;
  // The computer player's vocabulary, sorted, lower case, 1 to 7 letters.
  std::vector<std::string> computerWords;
  // A fixed seed for the host's one random generator (tests); unset, its whole
  // state comes from the system's random source.
  std::optional<std::uint32_t> seed;
  // The word list as the levels above Beginner search it; without it they play as Beginner.
  std::shared_ptr<const WordFinder> finder;
  // Without a finder: how to build one (a player's own list), done on a
  // worker thread when a game first has a level that searches.
  std::function<WordFinder()> buildFinder;
  // The smallest word-list size holding a lower-case word, 0 when none does;
  // unset, every level knows every word.
  WordFinder::ListSize listSize = nullptr;
  // How each level plays.
  LevelSkills skills = standardSkills();
};

}  // namespace tw
