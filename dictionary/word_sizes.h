// How common a word of the built-in list is: the smallest of the word-list
// sizes that the list is made from which holds it (10 the commonest words,
// 80 the rarest). The computer's lower levels play only the commoner sizes.
#pragma once

#include <cstddef>
#include <string_view>

namespace tw {

// The largest size of the built-in list; every word of the list is within it.
constexpr int kLargestListSize = 80;

// The smallest list size holding `word` (any case), or 0 when the built-in
// list lacks it.
int listSizeOf(std::string_view word);

namespace detail {
// Generated at build time, one digit a record of the main list: the index
// into kListSizes.
extern const unsigned char kListSizes[];
extern const std::size_t kListSizeCount;
extern const char kEnglishSizeIndex[];
extern const std::size_t kEnglishSizeIndexSize;
}  // namespace detail

}  // namespace tw
