// Fuzz target of the codec: arbitrary bytes as a container and as block data
// must only ever raise Lzrw1Error, and any bytes must survive a round trip.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "compression/lzrw1_file.h"
#include "compression/lzrw1kh.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    tw::lzrw1Decompress(bytes);
  } catch (const tw::Lzrw1Error&) {
  }

  // Exactly sized copy so that the sanitizers see any read past the block.
  const std::vector<std::uint8_t> block(data, data + std::min(size, tw::kLzrw1BufferSize));
  std::vector<std::uint8_t> out(tw::kLzrw1BufferSize);
  try {
    const std::size_t n = tw::Lzrw1Block::decompress(block.data(), block.size(), out.data());
    if (n > tw::kLzrw1BlockSize) std::abort();
  } catch (const tw::Lzrw1Error&) {
  }

  // A "WRZL" header on arbitrary data should not hide it from the round trip.
  if (tw::lzrw1Decompress(tw::lzrw1Compress(bytes)) != bytes) std::abort();
  return 0;
}
