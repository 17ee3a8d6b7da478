// A host driven by hand: connections are simulated, what the host sends is
// recorded per slot, and the pump is ticked by the test.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "host/server.h"
#include "net/commands.h"
#include "net/framing.h"
#include "support/manual_timer.h"

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
  void move(int from, int to) override { moves.emplace_back(from, to); }
  std::size_t unsent(int slot) const override {
    const auto it = backlog.find(slot);
    return it == backlog.end() ? 0 : it->second;
  }

  std::map<int, std::vector<std::string>> sent;  // complete messages, terminator removed
  std::map<int, MessageSplitter> splitters;
  std::map<int, bool> closed;
  std::vector<std::pair<int, int>> moves;
  std::map<int, std::size_t> backlog;  // unsent bytes a test makes a slot report
};

// Reaches into the host to lay out letters and scores a test needs.
struct HostProbe {
  static SeatGame& seat(TServer& host, int s) { return host.game_.seats[s]; }
  static BoardCell& cell(TServer& host, int x, int y) { return host.game_.board[x][y]; }
  // Sets the first bar slots of `s` to the letters of `word`.
  static void setBar(TServer& host, int s, const std::string& word) {
    for (std::size_t i = 0; i < word.size(); ++i) host.game_.seats[s].letters[i + 1].code = word[i] - 'a' + 1;
  }
  // Sets the whole board to one letter.
  static void fillBoard(TServer& host, char letter) {
    for (int x = 1; x <= TServer::kBoardWidth; ++x)
      for (int y = 1; y <= TServer::kBoardHeight; ++y) host.game_.board[x][y].code = letter - 'a' + 1;
  }
};

// A few words for the host to accept; the computer's list adds ten that it
// never chooses, as in the real list's tail.
inline HostRules testRules(std::vector<std::string> accepted, std::vector<std::string> computer = {},
                           std::uint32_t seed = 7) {
  HostRules rules;
  rules.checkWord = [words = std::move(accepted)](const std::string& w) {
    for (const auto& a : words)
      if (a == w) return true;
    return false;
  };
  if (!computer.empty())
    for (int i = 0; i < 10; ++i) computer.push_back("zzzz" + std::string(1, char('a' + i)));
  rules.computerWords = std::move(computer);
  rules.seed = seed;
  return rules;
}

class HostFixture : public ::testing::Test {
 protected:
  HostFixture() : HostFixture(HostRules{}) {}
  explicit HostFixture(HostRules rules)
      : host(
            transport, HostTimers{socktimer, timer1, computertimer, logintimer, bantimer, ratetimer},
            [this](const std::string& l) { log.push_back(l); }, std::move(rules)) {}

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
  int connect(const std::string& from = "127.0.0.1") { return host.Sock1Accept(from); }
  // A distinct address for connection `n`: tests of seats, not of limits by address.
  static std::string address(int n) { return "192.0.2." + std::to_string(n); }
  int join(const std::string& name) {
    const int slot = connect();
    say(slot, "CMD_logininfo+" + std::to_string(slot) + "+" + std::string(kVersion) + "+" + name);
    pump();
    return slot;
  }
  std::vector<std::string> take(int slot) {
    auto out = std::move(transport.sent[slot]);
    transport.sent[slot].clear();
    return out;
  }
  void clearAll() { transport.sent.clear(); }

  // Ticks the turn clock / the computer player's timer while it runs.
  void tick1(int n = 1) {
    for (int i = 0; i < n && timer1.running(); ++i) host.timer1Timer();
  }
  void tickBot(int n = 1) {
    for (int i = 0; i < n && computertimer.running(); ++i) host.computertimerTimer();
  }
  // Seat 1 starts a game with these options (name, play-to, seconds, viewable,
  // mode, four-player).
  void start(const std::string& options = "Ann+100+60+f+1+0+") {
    say(1, "CMD_startgame+" + options);
    pump();
  }
  bool logged(const std::string& text) const {
    for (const auto& line : log)
      if (line.find(text) != std::string::npos) return true;
    return false;
  }

  RecordingTransport transport;
  ManualTimer socktimer, timer1, computertimer, logintimer, bantimer, ratetimer;
  std::vector<std::string> log;
  TServer host;
};

}  // namespace tw::test
