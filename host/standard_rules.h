// The rules a real game runs with: words judged by the host's word list, the
// built-in vocabulary for the computer player; no fixed seed, so the host's
// draws come from the system's random source.
#pragma once

#include "dictionary/dictn.h"
#include "host/server.h"

namespace tw {

// The built-in word list's search index, compiled in; never freed.
std::shared_ptr<const WordFinder> builtinFinder();

// `spell` must outlive the host that gets these rules.
HostRules standardRules(const TDictn& spell);

}  // namespace tw
