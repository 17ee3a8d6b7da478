// The codec's container ("WRZL" signature, size, LZRW1-KH blocks) in memory
// and as the file codec Tlzrw1 used for the tally file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "compression/lzrw1kh.h"

namespace tw {

// Packs data into a container, byte for byte as Tlzrw1 writes it.
std::string lzrw1Compress(std::string_view data);

// Unpacks a container; name stands for the input file in error messages.
std::string lzrw1Decompress(std::string_view container, const std::string& name = "<memory>");

// File-to-file codec. Always writes the fast LZRW1-KH method; reading
// recognises the LZHUF signature "!HZL" but refuses it.
class Tlzrw1 {
 public:
  Tlzrw1();

  std::string inputFile;
  std::string outputFile;

  // Both return the number of bytes written to outputFile. On any failure
  // after outputFile was created it is deleted; the error is an Lzrw1Error.
  std::uint64_t compress();
  std::uint64_t decompress();

 private:
  std::unique_ptr<Lzrw1Block> block_;
};

}  // namespace tw
