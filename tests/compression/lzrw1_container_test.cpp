// The container in memory: exact layout, block boundaries and damaged files.
#include <gtest/gtest.h>

#include "codec_samples.h"
#include "compression/lzrw1_file.h"

namespace tw {
namespace {

using namespace std::string_literals;

std::string decompressError(const std::string& container) {
  try {
    lzrw1Decompress(container, "t.tld");
  } catch (const Lzrw1Error& e) {
    return e.what();
  }
  return "accepted";
}

std::string le16(std::size_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }

TEST(Lzrw1Container, EmptyInputIsElevenBytes) {
  EXPECT_EQ(lzrw1Compress(""), "WRZL\0\0\0\0\x01\x00\x80"s);
  EXPECT_EQ(lzrw1Decompress("WRZL\0\0\0\0\x01\x00\x80"s), "");
}

TEST(Lzrw1Container, HundredEqualBytes) {
  EXPECT_EQ(lzrw1Compress(std::string(100, 'x')), "WRZL\x64\0\0\0\x07\0\x40\x80\0\0\0\x54x"s);
}

TEST(Lzrw1Container, MultipleOfTheBlockSizeEndsWithSingleStoredByte) {
  const std::string input = test::sampleBytes(32768, 3);
  const std::string packed = lzrw1Compress(input);
  ASSERT_GE(packed.size(), 11u);
  EXPECT_EQ(packed.substr(0, 8), "WRZL\0\x80\0\0"s);
  EXPECT_EQ(packed.substr(packed.size() - 3), "\x01\0\x80"s);
  const std::size_t first = static_cast<std::uint8_t>(packed[8]) | static_cast<std::uint8_t>(packed[9]) << 8;
  EXPECT_EQ(8 + 2 + first + 3, packed.size());
  EXPECT_EQ(lzrw1Decompress(packed), input);
}

TEST(Lzrw1Container, RoundTripsAcrossBlockBoundaries) {
  for (std::size_t size : {1u, 2u, 3u, 32767u, 32768u, 32769u, 65535u, 65536u, 65537u, 200000u}) {
    const std::string input = test::sampleBytes(size, static_cast<std::uint32_t>(size));
    EXPECT_EQ(lzrw1Decompress(lzrw1Compress(input)), input) << size;
  }
  std::string noise(70000, '\0');
  std::mt19937 rng(1);
  for (char& c : noise) c = static_cast<char>(rng());
  const std::string packed = lzrw1Compress(noise);
  EXPECT_EQ(packed.size(), 8 + 3 * 2 + 2 * 32769 + (70000 - 65536 + 1));
  EXPECT_EQ(lzrw1Decompress(packed), noise);
}

TEST(Lzrw1ContainerDamage, ForeignHeaderIsRefused) {
  EXPECT_EQ(decompressError("PK\x03\x04\0\0\0\0\x01\0\x80"s),
            "t.tld : Lzrw1 decompression : this file has no valid header !");
  EXPECT_EQ(decompressError("WRZ"), "Lzrw1 : Error reading from input file : t.tld");
  EXPECT_EQ(decompressError("!HZL\0\0\0\0"s), "Lzrw1 (LZH decompression) : LZH method not supported !");
}

TEST(Lzrw1ContainerDamage, SizeFieldMustMatch) {
  std::string packed = lzrw1Compress("some text some text some text");
  packed[4] = 1;
  EXPECT_EQ(decompressError(packed),
            "Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !");
}

TEST(Lzrw1ContainerDamage, TruncatedFilesAreRefused) {
  const std::string packed = lzrw1Compress(test::sampleBytes(40000, 4));
  for (std::size_t cut : {std::size_t{4}, std::size_t{7}, std::size_t{9}, std::size_t{100}, packed.size() - 4,
                          packed.size() - 1})
    EXPECT_EQ(decompressError(packed.substr(0, cut)), "Lzrw1 : Error reading from input file : t.tld") << cut;
  // A full block with no final block after it.
  const std::string full = lzrw1Compress(std::string(32768, 'a'));
  EXPECT_EQ(decompressError(full.substr(0, full.size() - 3)),
            "Lzrw1 : Error reading from input file : t.tld");
}

TEST(Lzrw1ContainerDamage, BlockLongerThanTheBufferIsCorrupt) {
  const std::string packed = "WRZL\0\0\0\0"s + le16(0xFFFF) + "\x80"s + std::string(0xFFFE, 'z');
  EXPECT_EQ(decompressError(packed), "Lzrw1 decompression : corrupt block");
}

TEST(Lzrw1ContainerDamage, CorruptBlockDataIsRefused) {
  EXPECT_EQ(decompressError("WRZL\x04\0\0\0"s + le16(5) + "\x40\x80\x00\x00\x10"s),
            "Lzrw1 decompression : corrupt block");
  EXPECT_EQ(decompressError("WRZL\x04\0\0\0"s + le16(4) + "\x40\x80\x00\x00"s),
            "Lzrw1 decompression : corrupt block");
}

}  // namespace
}  // namespace tw
