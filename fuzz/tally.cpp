// Fuzzes the tally file reader with arbitrary file contents: nothing may
// crash, and a grid that reads must write back to the same grid.
#include <cstddef>
#include <cstdint>
#include <string>

#include "client/tally.h"
#include "compression/lzrw1kh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (bool packed : {true, false}) {
    try {
      const tw::TallyGrid grid = packed ? tw::decodeTally(bytes) : tw::TallyGrid::parse(bytes);
      if (tw::decodeTally(tw::encodeTally(grid)).text() != grid.text()) __builtin_trap();
    } catch (const tw::TallyError&) {
    } catch (const tw::Lzrw1Error&) {
    }
  }
  return 0;
}
