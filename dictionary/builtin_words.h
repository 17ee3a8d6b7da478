// The word lists compiled into the program (generated from resources/ at build time).
#pragma once

#include <cstddef>

namespace tw::detail {

// The main list as 15-byte records: 0x1E, then the word upper-case, space padded to 14.
extern const char kEnglishRecords[];
extern const std::size_t kEnglishRecordsSize;
// RecordIndex::bucketBytes() of the main list; empty when it could not be built.
extern const char kEnglishIndex[];
extern const std::size_t kEnglishIndexSize;

// The computer player's list: lower-case words, each followed by '\n', ascending.
extern const char kComputerWords[];
extern const std::size_t kComputerWordsSize;

}  // namespace tw::detail
