// Sample inputs for the codec tests: text, runs, repeats at the window's edge and noise.
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace tw::test {

inline std::string sampleBytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 rng(seed);
  static const char* const words[] = {"tile", "whirl", "score", "bar",   "board", "0", "1", "17",
                                      "\r\n", "Alice", "Bob",   "zebra", "quiz",  " ", "-"};
  std::string out;
  out.reserve(size + 5000);
  while (out.size() < size) {
    switch (rng() % 6) {
      case 0:
      case 1:
        for (int i = 0; i < 20; ++i) out += words[rng() % std::size(words)];
        break;
      case 2:
        out.append(1 + rng() % 300, static_cast<char>(rng()));
        break;
      case 3:
        for (unsigned i = 0, n = rng() % 200; i < n; ++i) out += static_cast<char>(rng());
        break;
      default: {
        if (out.size() < 20) break;
        // Repeats from just inside, at and just beyond the 4095-byte reach.
        static const std::size_t distances[] = {1, 2, 7, 8, 9, 16, 17, 100, 4094, 4095, 4096, 4097};
        const std::size_t d = std::min(distances[rng() % std::size(distances)], out.size());
        const std::size_t n = 3 + rng() % 40;
        for (std::size_t i = 0; i < n; ++i) out += out[out.size() - d];
      }
    }
  }
  out.resize(size);
  return out;
}

}  // namespace tw::test
