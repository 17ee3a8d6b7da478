// LZRW1-KH block compression and decompression.
#include "compression/lzrw1kh.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace tw {

namespace {

constexpr std::size_t kMaxRun = 4095;
constexpr std::size_t kMinRun = 16;
constexpr std::size_t kMaxMatch = 18;
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kWindow = 4096;

[[noreturn]] void corrupt() { throw Lzrw1Error(kLzrw1CorruptBlock); }

std::uint64_t load64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

void store64(std::uint8_t* p, std::uint64_t v) {
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  std::memcpy(p, &v, sizeof v);
}

// Bytes from p on equal to *p, counting *p itself, at most limit.
std::size_t runLength(const std::uint8_t* p, std::size_t limit) {
  std::size_t count = 1;
  while (count < limit && p[count] == p[0]) ++count;
  return count;
}

void putRun(std::uint8_t* out, std::size_t count, std::uint8_t value) {
  const std::size_t n = count - kMinRun;
  out[0] = 0;
  out[1] = static_cast<std::uint8_t>(n >> 8);
  out[2] = static_cast<std::uint8_t>(n);
  out[3] = value;
}

}  // namespace

std::size_t Lzrw1Block::compress(const std::uint8_t* src, std::size_t length, std::uint8_t* dst) {
  std::int16_t* const table = hash_.data();
  hash_.fill(-1);
  dst[0] = kLzrw1FlagCompressed;
  std::size_t x = 0;
  std::size_t y = 3;
  std::size_t z = 1;
  unsigned bit = 0;
  std::uint32_t control = 0;

  // Every 16 items the full control word goes in front of them.
  auto startItem = [&] {
    if (bit > 15) {
      dst[z] = static_cast<std::uint8_t>(control >> 8);
      dst[z + 1] = static_cast<std::uint8_t>(control);
      z = y;
      y += 2;
      bit = 0;
    }
    ++bit;
  };

  // Far from the block end every item can be found with whole-word loads;
  // the careful loop below finishes the block with the same decisions.
  const std::size_t fastEnd = length > 32 ? length - 32 : 0;
  while (x < fastEnd && y <= length) {
    startItem();
    const std::uint8_t* q = src + x;
    const std::uint64_t w = load64(q);
    const std::uint8_t b0 = static_cast<std::uint8_t>(w);
    if (static_cast<std::uint8_t>(w >> 8) == b0) {
      const std::size_t count = runLength(q, std::min(kMaxRun, length - x));
      if (count >= kMinRun) {
        putRun(dst + y, count, b0);
        y += 4;
        x += count;
        control = (control << 1) | 1;
        continue;
      }
    }
    const std::uint32_t key = ((std::uint32_t{b0} << 8) ^ ((static_cast<std::uint32_t>(w) >> 4) & 0x0FF0) ^
                               ((static_cast<std::uint32_t>(w) >> 16) & 0xFF)) *
                              40543u;
    std::int16_t& entry = table[(key >> 4) & 0x0FFF];
    const std::size_t p = static_cast<std::size_t>(entry);
    entry = static_cast<std::int16_t>(x);
    if (p != static_cast<std::size_t>(-1) && x - p < kWindow) {
      const std::uint8_t* from = src + p;
      std::size_t matchLength;
      if (const std::uint64_t d = load64(from) ^ w)
        matchLength = static_cast<std::size_t>(std::countr_zero(d)) >> 3;
      else if (const std::uint64_t d8 = load64(from + 8) ^ load64(q + 8))
        matchLength = 8 + (static_cast<std::size_t>(std::countr_zero(d8)) >> 3);
      else if (const std::uint64_t d16 = load64(from + 16) ^ load64(q + 16))
        matchLength = std::min(kMaxMatch, 16 + (static_cast<std::size_t>(std::countr_zero(d16)) >> 3));
      else
        matchLength = kMaxMatch;
      if (matchLength >= kMinMatch) {
        const std::size_t item = (x - p) * 16 + matchLength - kMinMatch;
        dst[y] = static_cast<std::uint8_t>(item >> 8);
        dst[y + 1] = static_cast<std::uint8_t>(item);
        y += 2;
        x += matchLength;
        control = (control << 1) | 1;
        continue;
      }
    }
    dst[y] = b0;
    y += 1;
    x += 1;
    control <<= 1;
  }

  while (x < length && y <= length) {
    startItem();
    const std::uint8_t b0 = src[x];
    const std::size_t left = length - x;
    const std::size_t count = runLength(src + x, std::min(kMaxRun, left));
    if (count >= kMinRun) {
      putRun(dst + y, count, b0);
      y += 4;
      x += count;
      control = (control << 1) | 1;
      continue;
    }
    std::size_t matchLength = 0;
    std::size_t distance = 0;
    // With fewer than three bytes left no match can count, and the table
    // entry the hash would overwrite is never consulted again in this block.
    if (left >= kMinMatch) {
      const std::uint32_t key =
          ((std::uint32_t{b0} << 8) ^ (std::uint32_t{src[x + 1]} << 4) ^ src[x + 2]) * 40543u;
      std::int16_t& entry = table[(key >> 4) & 0x0FFF];
      if (entry != -1 && x - static_cast<std::size_t>(entry) < kWindow) {
        const std::uint8_t* p = src + entry;
        const std::uint8_t* q = src + x;
        const std::size_t limit = std::min(kMaxMatch, left);
        while (matchLength < limit && q[matchLength] == p[matchLength]) ++matchLength;
        distance = x - static_cast<std::size_t>(entry);
      }
      entry = static_cast<std::int16_t>(x);
    }
    if (matchLength >= kMinMatch) {
      const std::size_t item = distance * 16 + matchLength - kMinMatch;
      dst[y] = static_cast<std::uint8_t>(item >> 8);
      dst[y + 1] = static_cast<std::uint8_t>(item);
      y += 2;
      x += matchLength;
      control = (control << 1) | 1;
    } else {
      dst[y] = b0;
      y += 1;
      x += 1;
      control <<= 1;
    }
  }
  control <<= 16 - bit;
  dst[z] = static_cast<std::uint8_t>(control >> 8);
  dst[z + 1] = static_cast<std::uint8_t>(control);
  if (y > length) {
    dst[0] = kLzrw1FlagStored;
    if (length != 0) std::memcpy(dst + 1, src, length);
    return length + 1;
  }
  return y;
}

std::size_t Lzrw1Block::decompress(const std::uint8_t* src, std::size_t length, std::uint8_t* dst) {
  if (length < 2) return 0;
  if (src[0] == kLzrw1FlagStored) {
    const std::size_t n = length - 1;
    if (n > kLzrw1BlockSize) corrupt();
    std::memcpy(dst, src + 1, n);
    return n;
  }
  if (length < 3) return 0;
  std::uint32_t control = (std::uint32_t{src[1]} << 8) | src[2];
  unsigned bits = 16;
  std::size_t x = 3;
  std::size_t y = 0;
  while (x < length) {
    if (bits == 0) {
      if (length - x < 3) corrupt();
      control = (std::uint32_t{src[x]} << 8) | src[x + 1];
      x += 2;
      bits = 16;
    }
    if ((control & 0x8000) == 0) {
      // A group of literals is copied in one go; the zero bits padding the
      // last control word end where the block ends.
      const unsigned zeros = std::countl_zero(static_cast<std::uint16_t>(control));
      const std::size_t n = std::min({std::size_t{zeros}, std::size_t{bits}, length - x});
      if (n > kLzrw1BlockSize - y) corrupt();
      if (length - x >= 16)
        std::memcpy(dst + y, src + x, 16);
      else
        std::memcpy(dst + y, src + x, n);
      x += n;
      y += n;
      control = (control << n) & 0xFFFF;
      bits -= static_cast<unsigned>(n);
      continue;
    }
    if (length - x < 2) corrupt();
    const std::uint32_t hi = src[x];
    const std::uint32_t lo = src[x + 1];
    const std::size_t distance = (hi << 4) | (lo >> 4);
    if (distance == 0) {
      if (length - x < 4) corrupt();
      const std::size_t count = ((lo << 8) | src[x + 2]) + kMinRun;
      if (count > kLzrw1BlockSize - y) corrupt();
      std::memset(dst + y, src[x + 3], count);
      y += count;
      x += 4;
    } else {
      const std::size_t n = (lo & 0x0F) + kMinMatch;
      if (distance > y || n > kLzrw1BlockSize - y) corrupt();
      std::uint8_t* out = dst + y;
      const std::uint8_t* from = out - distance;
      // dst has slack for writing whole words past the copy's end.
      if (distance >= 8) {
        // Each chunk reads only bytes already written, so the overlap repeats.
        std::memcpy(out, from, 8);
        std::memcpy(out + 8, from + 8, 8);
        if (n > 16) std::memcpy(out + 16, from + 16, 8);
      } else {
        // A short period is repeated in registers: word k + 1 is word k
        // moved on by 8 bytes, that is rotated by 8 mod distance bytes.
        const unsigned period = static_cast<unsigned>(distance) * 8;
        std::uint64_t word = load64(from) & ((std::uint64_t{1} << period) - 1);
        for (unsigned filled = period; filled < 64; filled *= 2) word |= word << filled;
        const unsigned shift = 64 % period;
        store64(out, word);
        word = (word >> shift) | (word << (period - shift));
        store64(out + 8, word);
        if (n > 16) {
          word = (word >> shift) | (word << (period - shift));
          store64(out + 16, word);
        }
      }
      y += n;
      x += 2;
    }
    control = (control << 1) & 0xFFFF;
    --bits;
  }
  return y;
}

}  // namespace tw
