// The built-in word lists: the main list's record image and the computer player's words.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tw {

// The main list as the bytes of the working file "English": 15-byte records
// (0x1E, then the word in upper case padded with spaces to 14), ascending.
std::string_view builtinWordRecords();
// Its lookup index, made at build time (RecordIndex::bucketBytes()).
std::string_view builtinWordIndex();

// The computer player's words: lower case, 1 to 7 letters, ascending.
const std::vector<std::string>& computerWords();

}  // namespace tw
