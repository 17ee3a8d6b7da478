// LZRW1-KH blocks: exact bytes against a literal transcription of the
// algorithm, worked examples, and hostile block data.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codec_samples.h"
#include "compression/lzrw1kh.h"

namespace tw {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes toBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The algorithm step by step, reading the hash bytes past the block end from
// random slack as the original buffers would; the optimised compressor must
// match it byte for byte.
Bytes referenceCompress(const Bytes& input, std::uint32_t slackSeed) {
  const std::size_t length = input.size();
  Bytes src(input);
  std::mt19937 rng(slackSeed);
  for (int i = 0; i < 16; ++i) src.push_back(static_cast<std::uint8_t>(rng()));
  Bytes dst(length + 16);
  std::vector<std::int16_t> hash(4096, -1);
  dst[0] = 0x40;
  std::size_t x = 0, y = 3, z = 1;
  int bit = 0;
  std::uint16_t control = 0;
  while (x < length && y <= length) {
    if (bit > 15) {
      dst[z] = control >> 8;
      dst[z + 1] = control & 0xFF;
      z = y;
      y += 2;
      bit = 0;
    }
    std::size_t count = 1;
    while (src[x] == src[x + count] && count < 4095 && x + count < length) ++count;
    if (count >= 16) {
      dst[y] = 0;
      dst[y + 1] = (count - 16) >> 8;
      dst[y + 2] = (count - 16) & 0xFF;
      dst[y + 3] = src[x];
      y += 4;
      x += count;
      control = static_cast<std::uint16_t>(control * 2 + 1);
    } else {
      std::uint32_t h = ((((std::uint32_t{src[x]} << 4) ^ src[x + 1]) << 4) ^ src[x + 2]) * 40543u;
      h = (h >> 4) & 0x0FFF;
      const int p = hash[h];
      std::size_t match = 0;
      if (p != -1 && x - p < 4096)
        while (match < 18 && src[x + match] == src[p + match] && x + match < length) ++match;
      hash[h] = static_cast<std::int16_t>(x);
      if (match >= 3) {
        const std::size_t key = (x - p) * 16 + match - 3;
        dst[y] = key >> 8;
        dst[y + 1] = key & 0xFF;
        y += 2;
        x += match;
        control = static_cast<std::uint16_t>(control * 2 + 1);
      } else {
        dst[y++] = src[x++];
        control = static_cast<std::uint16_t>(control * 2);
      }
    }
    ++bit;
  }
  control = static_cast<std::uint16_t>(control << (16 - bit));
  dst[z] = control >> 8;
  dst[z + 1] = control & 0xFF;
  if (y > length) {
    dst[0] = 0x80;
    std::copy(input.begin(), input.end(), dst.begin() + 1);
    y = length + 1;
  }
  dst.resize(y);
  return dst;
}

Bytes compressBlock(const Bytes& input) {
  Lzrw1Block block;
  Bytes out(input.size() + 16);
  out.resize(block.compress(input.data(), input.size(), out.data()));
  return out;
}

Bytes decompressBlock(const Bytes& data) {
  Bytes out(kLzrw1BufferSize);
  out.resize(Lzrw1Block::decompress(data.data(), data.size(), out.data()));
  return out;
}

TEST(Lzrw1BlockFormat, HundredEqualBytesAreOneRunItem) {
  EXPECT_EQ(compressBlock(Bytes(100, 'x')), (Bytes{0x40, 0x80, 0x00, 0x00, 0x00, 0x54, 'x'}));
}

TEST(Lzrw1BlockFormat, RepeatBecomesCopyItem) {
  // Four literals, then distance 4, length 16 (0x004D); control 00001 padded.
  EXPECT_EQ(compressBlock(toBytes("abcdabcdabcdabcdabcd")),
            (Bytes{0x40, 0x08, 0x00, 'a', 'b', 'c', 'd', 0x00, 0x4D}));
}

TEST(Lzrw1BlockFormat, SeventeenthItemStartsANewControlWord) {
  const std::string letters = "abcdefghijklmnop";
  Bytes expected{0x40, 0x00, 0x00};
  expected.insert(expected.end(), letters.begin(), letters.end());
  expected.insert(expected.end(), {0x80, 0x00, 0x01, 0x0D});
  EXPECT_EQ(compressBlock(toBytes(letters + letters)), expected);
}

TEST(Lzrw1BlockFormat, BlockThatDoesNotShrinkIsStored) {
  const Bytes input = toBytes("no repeats here");
  Bytes expected{0x80};
  expected.insert(expected.end(), input.begin(), input.end());
  EXPECT_EQ(compressBlock(input), expected);
  EXPECT_EQ(compressBlock(Bytes{}), Bytes{0x80});
  EXPECT_EQ(compressBlock(Bytes{7, 7}), (Bytes{0x80, 7, 7}));
}

TEST(Lzrw1BlockFormat, LongestRunIs4095Bytes) {
  const Bytes out = compressBlock(Bytes(4096, 'q'));
  EXPECT_EQ(out, (Bytes{0x40, 0x80, 0x00, 0x00, 0x0F, 0xEF, 'q', 'q'}));
}

TEST(Lzrw1BlockFormat, MatchesTheAlgorithmByteForByte) {
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    const std::size_t size = seed <= 20 ? seed * 7 : (seed * 2654435761u) % (kLzrw1BlockSize + 1);
    const Bytes input = toBytes(test::sampleBytes(size, seed));
    const Bytes out = compressBlock(input);
    ASSERT_EQ(out, referenceCompress(input, seed)) << "seed " << seed << " size " << size;
    ASSERT_EQ(decompressBlock(out), input) << "seed " << seed;
  }
}

TEST(Lzrw1BlockFormat, FullBlocksOfEveryKindRoundTrip) {
  std::mt19937 rng(5);
  Bytes noise(kLzrw1BlockSize);
  for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
  for (const Bytes& input :
       {Bytes(kLzrw1BlockSize, 0), noise, toBytes(test::sampleBytes(kLzrw1BlockSize, 9))}) {
    const Bytes out = compressBlock(input);
    EXPECT_EQ(out, referenceCompress(input, 1));
    EXPECT_EQ(decompressBlock(out), input);
  }
}

void expectCorrupt(const Bytes& data) {
  Bytes out(kLzrw1BufferSize);
  try {
    Lzrw1Block::decompress(data.data(), data.size(), out.data());
    ADD_FAILURE() << "block accepted";
  } catch (const Lzrw1Error& e) {
    EXPECT_STREQ(e.what(), "Lzrw1 decompression : corrupt block");
  }
}

TEST(Lzrw1BlockHostile, CopyFromBeforeTheStartIsRefused) {
  expectCorrupt({0x40, 0x80, 0x00, 0x00, 0x10});       // distance 1, nothing produced
  expectCorrupt({0x40, 0x40, 0x00, 'a', 0x00, 0x20});  // distance 2, one byte produced
  expectCorrupt({0x40, 0x40, 0x00, 'a', 0xFF, 0xF0});  // distance 4095
  EXPECT_EQ(decompressBlock({0x40, 0x40, 0x00, 'a', 0x00, 0x10}), Bytes(4, 'a'));
}

TEST(Lzrw1BlockHostile, OutputBeyondTheBlockIsRefused) {
  // Eight runs of 4111 bytes overflow a block; seven and a 3991 fill it exactly.
  Bytes runs{0x40, 0xFF, 0xFF};
  for (int i = 0; i < 8; ++i) runs.insert(runs.end(), {0x00, 0x0F, 0xFF, 'r'});
  expectCorrupt(runs);
  Bytes full{0x40, 0xFF, 0xFF};
  for (int i = 0; i < 7; ++i) full.insert(full.end(), {0x00, 0x0F, 0xFF, 'r'});
  full.insert(full.end(), {0x00, 0x0F, 0x87, 'r'});
  EXPECT_EQ(decompressBlock(full).size(), kLzrw1BlockSize);
  Bytes thenCopy = full;
  thenCopy.insert(thenCopy.end(), {0x00, 0x10});
  expectCorrupt(thenCopy);
  Bytes thenLiteral = full;
  thenLiteral.insert(thenLiteral.end(), {0x00, 0x00, 'x'});
  expectCorrupt(thenLiteral);
  Bytes stored(kLzrw1BlockSize + 2, 's');
  stored[0] = 0x80;
  expectCorrupt(stored);
}

TEST(Lzrw1BlockHostile, TruncatedItemsAreRefused) {
  expectCorrupt({0x40, 0x80, 0x00, 0x00});              // copy missing a byte
  expectCorrupt({0x40, 0x80, 0x00, 0x00, 0x00, 0x10});  // run missing its byte
  Bytes literals{0x40, 0x00, 0x00};
  literals.insert(literals.end(), 16, 'l');
  expectCorrupt([&] {
    Bytes b = literals;
    b.push_back(0x00);
    return b;
  }());  // half a control word
  expectCorrupt([&] {
    Bytes b = literals;
    b.insert(b.end(), {0, 0});
    return b;
  }());  // control word, no item
}

TEST(Lzrw1BlockHostile, TinyBlocksGiveNothing) {
  EXPECT_TRUE(decompressBlock({}).empty());
  EXPECT_TRUE(decompressBlock({0x80}).empty());
  EXPECT_TRUE(decompressBlock({0x40, 0x12}).empty());
  EXPECT_TRUE(decompressBlock({0x40, 0x12, 0x34}).empty());
}

}  // namespace
}  // namespace tw
