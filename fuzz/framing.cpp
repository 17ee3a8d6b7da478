// Fuzzes the framing and field reading with arbitrary received bytes, and the
// host's pump behind them, which must never crash whatever a peer sends.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/server.h"
#include "net/framing.h"

namespace {

class NullTimer final : public tw::Timer {
 public:
  void start(int ms) override {
    running_ = true;
    interval_ = ms;
  }
  void stop() override { running_ = false; }
  bool running() const override { return running_; }
  int interval() const override { return interval_; }

 private:
  bool running_ = false;
  int interval_ = 0;
};

class NullTransport final : public tw::HostTransport {
 public:
  void take(int) override {}
  void send(int, const std::string& bytes) override {
    // Every message the host builds must be one well-formed frame.
    if (bytes.empty() || bytes.back() != tw::kTerminator || bytes.find(tw::kTerminator) != bytes.size() - 1)
      __builtin_trap();
  }
  void close(int) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  tw::MessageSplitter splitter;
  std::vector<std::string> messages;
  splitter.feed(bytes, messages);
  for (const auto& m : messages) {
    const tw::Command c = tw::splitCommand(m);
    tw::FieldReader reader(c.body);
    for (const auto& group : reader.groups(3))
      for (auto field : group) (void)tw::toIntOr(field, 0);
    tw::FieldReader cells(c.body);
    for (const auto& group : cells.groups(1)) {
      try {
        (void)tw::parseCell(group[0]);
      } catch (const tw::BadNumber&) {
      }
    }
  }

  // The same bytes from two logged-in seats, split at an arbitrary point,
  // with the turn clock and the computer player ticking between messages.
  NullTimer socktimer, timer1, computertimer, logintimer, bantimer, ratetimer;
  NullTransport transport;
  tw::HostRules rules;
  rules.checkWord = [](const std::string& word) { return word.size() % 2 == 0; };
  rules.computerWords = {"at",   "ate",  "dear", "east",  "eats", "idea", "into", "note",
                         "rate", "read", "seat", "stone", "tea",  "tear", "tone", "trade",
                         "u",    "v",    "w",    "x",     "y",    "z",    "zz"};
  rules.seed = std::uint32_t(size);
  tw::TServer host(
      transport, tw::HostTimers{socktimer, timer1, computertimer, logintimer, bantimer, ratetimer},
      [](const std::string&) {}, std::move(rules));
  host.Sock1Accept();
  host.Sock1Accept();
  host.Sock1Read(1, "CMD_logininfo+1+1.0.4+A\xFF");
  host.Sock1Read(2, "CMD_logininfo+2+1.0.4+B\xFF");
  const size_t cut = size ? data[0] % (size + 1) : 0;
  host.Sock1Read(1, bytes.substr(0, cut));
  host.Sock1Read(2, bytes.substr(cut));
  for (int i = 0; i < 600; ++i) {
    if (socktimer.running()) host.socktimerTimer();
    if (timer1.running()) host.timer1Timer();
    if (computertimer.running()) host.computertimerTimer();
    if (logintimer.running()) host.logintimerTimer();
    if (bantimer.running()) host.bantimerTimer();
    if (ratetimer.running()) host.ratetimerTimer();
  }
  return 0;
}
