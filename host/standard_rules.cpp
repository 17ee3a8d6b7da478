// Binds the word list, the computer's vocabulary, the stronger levels'
// index of the word list and how common each word is into the host's rules.
#include "host/standard_rules.h"

#include "dictionary/word_lists.h"
#include "dictionary/word_sizes.h"

namespace tw {

std::shared_ptr<const WordFinder> builtinFinder() {
  return std::shared_ptr<const WordFinder>(std::shared_ptr<const WordFinder>(), &WordFinder::builtin());
}

HostRules standardRules(const TDictn& spell) {
  HostRules rules;
  rules.checkWord = [&spell](const std::string& word) { return spell.CheckWord(word); };
  rules.computerWords = computerWords();
  // The built-in list's index was made with the program; a player's own
  // list gets one only when a game needs it (see TServer::prepareSearch).
  if (spell.records().data() == builtinWordRecords().data())
    rules.finder = builtinFinder();
  else
    rules.buildFinder = [records = spell.records()] { return WordFinder::fromRecords(records); };
  rules.listSize = listSizeOf;
  return rules;
}

}  // namespace tw
