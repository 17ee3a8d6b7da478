// Fuzz target: a word search image from outside, as fromImage reads it; an
// image it takes is searched and its groups listed, so that any record left
// unchecked shows up as a read out of bounds.
#include "host/word_finder.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string error;
  const auto finder = tw::WordFinder::fromImage(std::string_view(reinterpret_cast<const char*>(data), size), error);
  if (!finder) {
    if (error.empty()) __builtin_trap();  // a refusal always says why
    return 0;
  }
  tw::WordFinder::Letters letters;
  for (std::size_t k = 0; k < letters.bar.size(); ++k) {
    letters.bar[k] = std::uint8_t(k % 3);
    letters.faceUp[k] = std::uint8_t(k % 2);
    letters.known[k] = std::uint8_t(k % 5);
  }
  for (int flips = 0; flips <= 5; flips += 5) {
    letters.flips = flips;
    const auto best = finder->best(letters, {100, 0});
    for (const auto word : finder->words(best.group)) (void)word.size();
  }
  for (std::size_t g = 0; g < finder->groupCount(); ++g) (void)finder->words(int(g));
  return 0;
}
