// Fuzzes the rule for what the game hands to the browser: whatever a peer's
// link holds, an address that passes is a plain http(s) address.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "client/web_addresses.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view address(reinterpret_cast<const char*>(data), size);
  if (!tw::isWebAddress(address)) return 0;
  std::string_view rest = address.substr(address.find("://") + 3);
  const char scheme = static_cast<char>(address[4] | 0x20);
  if ((scheme != ':' && scheme != 's') || rest.empty() || rest.front() == '/') __builtin_trap();
  for (const char c : address) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F || std::string_view("\"<>\\^`{|}").find(c) != std::string_view::npos)
      __builtin_trap();
  }
  return 0;
}
