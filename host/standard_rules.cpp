// Binds the word list and the computer's vocabulary into the host's rules.
#include "standard_rules.h"

#include "word_lists.h"

namespace tw {

HostRules standardRules(const TDictn& spell) {
  HostRules rules;
  rules.checkWord = [&spell](const std::string& word) { return spell.CheckWord(word); };
  rules.computerWords = computerWords();
  return rules;
}

}  // namespace tw
