// What one hostile peer can make the host do: long names and lines, floods of
// chat and of connections, a full receive queue, a game mode that does not
// exist. Time is the manual rate timer.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/host_fixture.h"

namespace tw::test {
namespace {

using Messages = std::vector<std::string>;

class HostilePeer : public HostFixture {};

TEST_F(HostilePeer, NamesAndChatLinesAreCutAtTheirLimitsAndKeepTheirColour) {
  join("Ann");
  clearAll();
  const std::string longName(65000, 'N');
  EXPECT_EQ(join(longName + "|x"), 2);
  const std::string name(TServer::kMaxNameBytes, 'N');
  EXPECT_EQ(host.seat(2).name, name);
  EXPECT_EQ(take(1), Messages{"CMD_newplayerinfo+2+" + name});

  const std::string text(TServer::kMaxChatBytes, 't');
  say(2, "CMD_chat+2+" + text + "tail that goes|clBlue");
  say(2, "CMD_action+2+" + text + "more|" + std::string(100, 'c'));
  say(2, "CMD_chat+2+" + text + std::string(70000, 'x'));  // no colour at all
  say(2, "CMD_playasound+2+wave3" + std::string(5000, '+'));
  say(2, "CMD_chat+2+short|clRed");
  pump();
  const Messages got = take(1);
  EXPECT_EQ(got,
            (Messages{"CMD_chat+2+" + name + " chats: " + text + "|clBlue",
                      "CMD_action+2+" + name + " " + text + "|" + std::string(TServer::kMaxColourBytes, 'c'),
                      "CMD_chat+2+" + name + " chats: " + text,
                      "CMD_playasound+2+wave3" + std::string(TServer::kMaxNameBytes - 5, '+'),
                      "CMD_chat+2+" + name + " chats: short|clRed"}));
}

TEST_F(HostilePeer, ChatBeyondTheBurstWaitsItsTurnAndIsNeverLost) {
  join("Ann");
  join("Bob");
  clearAll();
  for (int i = 1; i <= 12; ++i) say(2, "CMD_chat+2+line " + std::to_string(i) + "|clBlack");
  say(1, "CMD_chat+1+mine|clBlack");
  pump();
  Messages got = take(1);
  ASSERT_EQ(got.size(), std::size_t(TServer::kChatBurst) + 1);  // Bob's burst and Ann's line
  EXPECT_NE(std::find(got.begin(), got.end(), "CMD_chat+1+Ann chats: mine|clBlack"), got.end());
  EXPECT_TRUE(logged("seat 2: more than 5 chat lines at once"));
  ASSERT_TRUE(ratetimer.running());
  EXPECT_EQ(ratetimer.interval(), TServer::kChatRefillMs);

  // One line each time the allowance grows; the rest keep their order.
  for (int i = TServer::kChatBurst + 1; i <= 12; ++i) {
    host.ratetimerTimer();
    pump();
    EXPECT_EQ(take(1), Messages{"CMD_chat+2+Bob chats: line " + std::to_string(i) + "|clBlack"});
  }
  EXPECT_EQ(host.queuedMessages(), 0u);
  for (int i = 0; i < TServer::kChatBurst; ++i) host.ratetimerTimer();
  EXPECT_FALSE(ratetimer.running());  // full again: the timer rests
  EXPECT_FALSE(socktimer.running());
}

TEST_F(HostilePeer, AConnectionIsClosedWhenItsWaitingMessagesPassTheByteBound) {
  join("Ann");
  join("Bob");
  join("Cy");
  // Few messages, each just under the length bound: the bytes are the bound.
  const std::string big = "CMD_chat+2+" + std::string(TServer::kMaxPendingBytes - 100, 'x') + '\xFF';
  std::string flood;
  for (std::size_t n = 0; n * big.size() <= TServer::kMaxQueuedBytes; ++n) flood += big;
  raw(2, flood);
  EXPECT_FALSE(host.seat(2).connected);
  EXPECT_TRUE(transport.closed[2]);
  EXPECT_TRUE(logged("seat 2: more than 262144 bytes waiting to be handled"));
  EXPECT_EQ(host.queuedMessages(), 0u);
  clearAll();
  say(3, "CMD_chat+3+fine|clBlack");
  pump();
  EXPECT_EQ(take(1), Messages{"CMD_chat+3+Cy chats: fine|clBlack"});
}

TEST_F(HostilePeer, RefusedConnectionsAreOneLogLineThenACountPerQuietTime) {
  for (int i = 1; i <= 9; ++i) connect(address(i));
  log.clear();
  for (int i = 0; i < 500; ++i) EXPECT_EQ(connect(address(100)), TServer::kRefusedSlot);
  EXPECT_EQ(log, Messages{"connection from 192.0.2.100 refused: all 9 seats are taken"});
  const int ticks = TServer::kRefusalQuietMs / TServer::kChatRefillMs;
  for (int i = 0; i < ticks; ++i) host.ratetimerTimer();
  EXPECT_EQ(log.back(), "499 more connection(s) refused in the last 10 s");
  connect(address(100));
  for (int i = 0; i < 2 * ticks; ++i) host.ratetimerTimer();
  EXPECT_EQ(log.back(), "1 more connection(s) refused in the last 10 s");
  EXPECT_FALSE(ratetimer.running());
  EXPECT_EQ(log.size(), 3u);
  // Quiet again: the next refusal has its line.
  connect(address(101));
  EXPECT_EQ(log.back(), "connection from 192.0.2.101 refused: all 9 seats are taken");
}

TEST_F(HostilePeer, AnUnknownGameModeIsRefusedAndTheGameGoesOnAsItWas) {
  join("Ann");
  join("Bob");
  start("Ann+100+60+f+2+0+");
  ASSERT_EQ(host.gameMode(), "help");
  const int seat = host.currentSeat();
  clearAll();
  for (const char* mode : {"7", "0", "", "22", "help"}) start(std::string("Ann+50+30+f+") + mode + "+0+");
  EXPECT_TRUE(take(2).empty());
  EXPECT_EQ(host.gameMode(), "help");
  EXPECT_EQ(host.playToScore(), 100);
  EXPECT_EQ(host.currentSeat(), seat);
  EXPECT_TRUE(logged("seat 1: CMD_startgame refused: unknown game mode 7"));
}

}  // namespace
}  // namespace tw::test
