// The host's draws: uniform numbers and letters by their frequencies.
#include "host/dice.h"

#include "rules/game_rules.h"
#include "rules/system_seed.h"

namespace tw {

Dice::Dice(std::optional<std::uint32_t> seed) {
  if (seed)
    rng_.seed(*seed);
  else
    seedFromSystem(rng_);
}

int Dice::below(int n) {
  if (n <= 1) return 0;
  // Rejection keeps the draw uniform and the same on every standard library.
  const std::uint32_t range = std::uint32_t(n);
  const std::uint32_t limit = std::uint32_t(0xFFFFFFFFu - (0xFFFFFFFFu % range + 1) % range);
  std::uint32_t r;
  do r = std::uint32_t(rng_());
  while (r > limit);
  return int(r % range);
}

int Dice::getletter() {
  const int r = below(rules::kDrawRange) + 1;
  for (const auto& range : rules::kLetterDraw)
    if (r <= range.last) return range.letter - 'a' + 1;
  return 26;
}

}  // namespace tw
