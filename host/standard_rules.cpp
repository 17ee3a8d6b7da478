// Binds the word list, the computer's vocabulary and the stronger levels'
// index of the word list into the host's rules.
#include "standard_rules.h"

#include "word_lists.h"

namespace tw {

HostRules standardRules(const TDictn& spell) {
  HostRules rules;
  rules.checkWord = [&spell](const std::string& word) { return spell.CheckWord(word); };
  rules.computerWords = computerWords();
  rules.finder = std::make_shared<const WordFinder>(WordFinder::fromRecords(spell.records()));
  return rules;
}

}  // namespace tw
