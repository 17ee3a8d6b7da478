// Binds the word list, the computer's vocabulary, the stronger levels'
// index of the word list and how common each word is into the host's rules.
#include "standard_rules.h"

#include "word_lists.h"
#include "word_sizes.h"

namespace tw {

HostRules standardRules(const TDictn& spell) {
  HostRules rules;
  rules.checkWord = [&spell](const std::string& word) { return spell.CheckWord(word); };
  rules.computerWords = computerWords();
  rules.finder = std::make_shared<const WordFinder>(WordFinder::fromRecords(spell.records()));
  rules.listSize = listSizeOf;
  return rules;
}

}  // namespace tw
