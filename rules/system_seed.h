// Seeds a random engine's whole state from the system's random source. A
// clock or a 32-bit seed gives so few starting points that a peer could find
// the game's draws by trying them all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>

namespace tw {

// A seed sequence that hands the engine fresh words of the system's random
// source, unmixed: every word of its state is drawn.
class SystemSeed {
 public:
  using result_type = std::uint32_t;

  template <typename It>
  void generate(It begin, It end) {
    for (; begin != end; ++begin) *begin = source_();
  }
  std::size_t size() const { return 0; }
  template <typename It>
  void param(It) const {}

 private:
  std::random_device source_;
};

template <typename Engine>
void seedFromSystem(Engine& engine) {
  SystemSeed seed;
  engine.seed(seed);
}

}  // namespace tw
