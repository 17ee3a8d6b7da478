// A host driven by hand: connections are simulated, what the host sends is
// recorded per slot, and the pump is ticked by the test.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "framing.h"
#include "manual_timer.h"
#include "server.h"

namespace tw::test {

class RecordingTransport final : public HostTransport {
 public:
  void take(int slot) override { closed.erase(slot); }
  void send(int slot, const std::string& bytes) override {
    std::vector<std::string> messages;
    splitters[slot].feed(bytes, messages);
    for (auto& m : messages) sent[slot].push_back(m);
  }
  void close(int slot) override { closed[slot] = true; }

  std::map<int, std::vector<std::string>> sent;  // complete messages, terminator removed
  std::map<int, MessageSplitter> splitters;
  std::map<int, bool> closed;
};

class HostFixture : public ::testing::Test {
 protected:
  HostFixture() : host(transport, HostTimers{socktimer, timer1, computertimer}, [this](const std::string& l) { log.push_back(l); }) {}

  // Sends raw bytes from the connection in `slot`.
  void raw(int slot, const std::string& bytes) { host.Sock1Read(slot, bytes); }
  // Sends one message (the terminator is added) from `slot`.
  void say(int slot, const std::string& message) { raw(slot, message + '\xFF'); }
  // Runs the pump until the queue is empty; gives the number of ticks.
  int pump() {
    int ticks = 0;
    while (socktimer.running() && ticks < 100000) {
      host.socktimerTimer();
      ++ticks;
    }
    return ticks;
  }
  int connect() { return host.Sock1Accept("127.0.0.1"); }
  int join(const std::string& name) {
    const int slot = connect();
    say(slot, "CMD_logininfo+" + std::to_string(slot) + "+1.0.4+" + name);
    pump();
    return slot;
  }
  std::vector<std::string> take(int slot) {
    auto out = std::move(transport.sent[slot]);
    transport.sent[slot].clear();
    return out;
  }
  void clearAll() { transport.sent.clear(); }

  RecordingTransport transport;
  ManualTimer socktimer, timer1, computertimer;
  std::vector<std::string> log;
  TServer host;
};

}  // namespace tw::test
