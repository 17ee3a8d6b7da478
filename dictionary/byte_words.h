// Bytes read as 64-bit words, byte k at bits 8k on any byte order, and the
// per-byte tests on such words that the word list's lookups share.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tw::byte_words {

inline constexpr std::uint64_t kOnes = 0x0101010101010101ull;
inline constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
inline constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;

// Bytes p[0..n) (n <= 8) one by one, the rest zero.
inline std::uint64_t loadBytes(const void* p, std::size_t n) {
  const auto* bytes = static_cast<const unsigned char*>(p);
  std::uint64_t x = 0;
  for (std::size_t k = 0; k < n; ++k) x |= std::uint64_t{bytes[k]} << (8 * k);
  return x;
}

// Eight bytes in one load.
inline std::uint64_t loadLittle(const void* p) {
  if constexpr (std::endian::native != std::endian::little) return loadBytes(p, 8);
  std::uint64_t x = 0;
  std::memcpy(&x, p, 8);
  return x;
}

// The high bit of every byte of x that is zero, and no other bit.
inline std::uint64_t zeroBytes(std::uint64_t x) { return ~(((x & kLow7) + kLow7) | x | kLow7); }

}  // namespace tw::byte_words
