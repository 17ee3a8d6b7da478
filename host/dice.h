// Dice: the host's one random generator. The letters of the board and the
// bars and the computer's picks all come from it, so that a fixed seed
// replays a whole game.
#pragma once

#include <cstdint>
#include <optional>
#include <random>

namespace tw {

class Dice {
 public:
  // Unseeded, its whole state comes from the system's random source.
  explicit Dice(std::optional<std::uint32_t> seed);

  // A uniform draw from 0..n-1.
  int below(int n);
  // A tile code drawn by the letter frequencies.
  int getletter();
  std::uint32_t next() { return std::uint32_t(rng_()); }

 private:
  std::mt19937 rng_;
};

}  // namespace tw
