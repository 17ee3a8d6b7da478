// Fuzzes the directory's registration parser and the registry behind it with
// arbitrary bytes from a host connection (the relay's lines among them), and
// both ends' line readers.
#include <cstddef>
#include <cstdint>
#include <string>

#include "directory/directory_protocol.h"
#include "directory/probe_check.h"
#include "directory/registry.h"

namespace {

struct NullOutput final : tw::dir::RegistryOutput {
  void send(int, const std::string& line) override {
    // Every line the directory sends is one bounded line.
    if (line.empty() || line.back() != '\n' || line.find('\n') != line.size() - 1 || line.size() > tw::dir::kMaxLine)
      __builtin_trap();
  }
  void close(int) override {}
  void probe(int, const std::string&, int, const std::string&) override {}
  std::optional<std::string> relay(int, int port) override {
    if (port % 2) return std::nullopt;
    return "10.0.0.9";
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tw::dir::LineReader reader;
  reader.feed(bytes, [](std::string_view line) {
    (void)tw::dir::parseHostLine(line);
    (void)tw::dir::parseDirectoryLine(line);
    (void)tw::dir::readCode(line);
  });

  tw::dir::MemoryStorage storage;
  NullOutput out;
  std::uint64_t n = size;
  tw::dir::Limits limits;
  limits.firstRelayPort = 20000;
  limits.lastRelayPort = 20002;
  limits.relayGames = 2;
  tw::dir::Registry registry(storage, out, limits, [&] { return n = n * 6364136223846793005ULL + 1; });
  registry.opened(1, "10.0.0.1", 0);
  registry.opened(2, "10.0.0.1", 0);
  registry.received(2, "REGISTER\t1\t7772\tpublic\t1.0.4\t-\t-\tx\n", 0);
  const size_t cut = size ? data[0] % (size + 1) : 0;
  registry.received(1, bytes.substr(0, cut), 10);
  registry.probed(1, size % 2 == 0, "", 20);
  registry.probed(2, false, "no answer", 20);
  registry.received(2, bytes.substr(cut), 30);
  registry.tick(40000);

  tw::dir::ProbeCheck check("0123456789abcdef");
  (void)check.feed(bytes);
  return 0;
}
