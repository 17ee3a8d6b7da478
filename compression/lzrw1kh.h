// LZRW1-KH block codec: the block format of the tally file's container.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace tw {

// Every failure of the codec, carrying the message shown to the user.
class Lzrw1Error : public std::runtime_error {
 public:
  explicit Lzrw1Error(const std::string& message) : std::runtime_error(message) {}
};

inline constexpr std::size_t kLzrw1BlockSize = 32768;
// Room the compressor may write past the block length before it gives up and stores.
inline constexpr std::size_t kLzrw1BufferSize = kLzrw1BlockSize + 16;

inline constexpr std::uint8_t kLzrw1FlagCompressed = 0x40;
inline constexpr std::uint8_t kLzrw1FlagStored = 0x80;

inline constexpr const char* kLzrw1CorruptBlock = "Lzrw1 decompression : corrupt block";

class Lzrw1Block {
 public:
  // Compresses length (at most kLzrw1BlockSize) bytes of src into dst, which
  // must hold length + 16 bytes; returns the block data length.
  std::size_t compress(const std::uint8_t* src, std::size_t length, std::uint8_t* dst);

  // Decodes length bytes of block data into dst, which must hold
  // kLzrw1BufferSize bytes (the decoder copies in whole words and may write
  // up to 16 bytes past the result); returns the number of bytes produced,
  // at most kLzrw1BlockSize. Block data that would read past its end or
  // produce more than a block raises Lzrw1Error.
  static std::size_t decompress(const std::uint8_t* src, std::size_t length, std::uint8_t* dst);

 private:
  std::array<std::int16_t, 4096> hash_{};
};

}  // namespace tw
