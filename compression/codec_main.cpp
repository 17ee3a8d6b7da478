// tilewhirl-codec: packs a file into the codec's container or unpacks one.
#include <cstring>
#include <iostream>

#include "compression/lzrw1_file.h"

namespace {

constexpr const char* kUsage =
    "Usage: tilewhirl-codec compress|decompress INPUT OUTPUT\n"
    "Packs INPUT into the LZRW1-KH container (\"WRZL\") or unpacks it into OUTPUT.\n"
    "Exit status: 0 on success; 1 when the codec fails (its message on stderr,\n"
    "no OUTPUT left behind); 2 on a usage error.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::cout << kUsage;
    return 0;
  }
  const bool compress = argc == 4 && std::strcmp(argv[1], "compress") == 0;
  const bool decompress = argc == 4 && std::strcmp(argv[1], "decompress") == 0;
  if (!compress && !decompress) {
    std::cerr << kUsage;
    return 2;
  }
  try {
    tw::Tlzrw1 codec;
    codec.inputFile = argv[2];
    codec.outputFile = argv[3];
    if (compress)
      codec.compress();
    else
      codec.decompress();
  } catch (const tw::Lzrw1Error& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
  return 0;
}
