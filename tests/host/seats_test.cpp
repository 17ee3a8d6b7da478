// Who may sit where during a game, on a manual clock: the look at the whole
// board and what a connection spent or chose stay with that connection, a name never evicts a
// live player while his rejoin key does, and a held seat's player gets in
// when every slot is taken.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/host_fixture.h"

namespace tw::test {
namespace {

using Messages = std::vector<std::string>;

class Seats : public HostFixture {
 protected:
  Seats() : HostFixture(testRules({"cat"})) {}
  int login(int slot, const std::string& name, int seat = 0) {
    say(slot, "CMD_logininfo+" + std::to_string(seat ? seat : slot) + "+" + std::string(kVersion) + "+" + name);
    pump();
    return slot;
  }
  // Letters of cells nobody has seen turned up that these messages told.
  int hiddenTold(const Messages& got) const {
    int hidden = 0;
    for (const auto& m : got) {
      const Command c = splitCommand(m);
      if (c.name != "CMD_theboard") continue;
      FieldReader f(c.body);
      for (const auto& g : f.groups(3)) {
        const BoardCell& cell = host.cell(toInt(g[0]), toInt(g[1]));
        if (toInt(g[2]) != 0 && toInt(g[2]) == cell.code && !cell.seen && !cell.faceUp) ++hidden;
      }
    }
    return hidden;
  }
  std::string keyOf(const Messages& got, int seat) const {
    const std::string prefix = "CMD_rejoinkey+" + std::to_string(seat) + "+";
    for (const auto& m : got)
      if (m.rfind(prefix, 0) == 0) return m.substr(prefix.size());
    return {};
  }
};

TEST_F(Seats, ALookStaysWithTheConnectionThatHeldTheSeatWhenItWasGiven) {
  join("Ann");
  start("Ann+100+60+f+3+0+");  // every turn begins with a look
  tick1(5);
  // A stranger takes the computer's empty seat 2 before its look, then logs
  // in during it: the look and the catch-up tell him nothing hidden.
  const int mal = connect(address(9));
  ASSERT_EQ(mal, 2);
  say(1, "CMD_hepass+1+");
  pump();
  tick1(4);
  ASSERT_EQ(host.currentSeat(), 2);
  ASSERT_EQ(host.phase(), TurnPhase::Sneak);
  login(mal, "Mal");
  const Messages got = take(2);
  EXPECT_EQ(hiddenTold(got), 0);
  EXPECT_EQ(std::count(got.begin(), got.end(), "CMD_sneak+2+"), 0);
  EXPECT_NE(std::find_if(got.begin(), got.end(), [](const std::string& m) { return m.rfind("CMD_theboard+", 0) == 0; }),
            got.end());

  // Ann drops and someone comes into her slot while her own look runs.
  for (int i = 0; i < 200 && !(host.currentSeat() == 1 && host.phase() == TurnPhase::Sneak); ++i) tick1();
  ASSERT_EQ(host.phase(), TurnPhase::Sneak);
  EXPECT_GT(hiddenTold(take(1)), 0);  // hers, while she is there
  host.tempsockInfo(1);
  const int eve = connect(address(10));
  ASSERT_EQ(eve, 3);  // seat 1 is held for Ann
  login(eve, "Eve");
  EXPECT_EQ(hiddenTold(take(3)), 0);
}

TEST_F(Seats, WhatAConnectionSpentOrChoseLeavesWithItNotWithItsSlot) {
  join("Ann");
  const int bob = login(connect(address(2)), "Bob");
  start();
  // Bob just watches, spends his chat allowance and more of his lines wait; then his line drops.
  say(bob, "CMD_justwatch+2+1");
  for (int i = 0; i < TServer::kChatBurst + 2; ++i) say(bob, "CMD_chat+2+hi|clBlack");
  pump();
  ASSERT_TRUE(host.seat(bob).justWatching);
  ASSERT_EQ(host.queuedMessages(), 2u);
  host.tempsockInfo(bob);
  EXPECT_EQ(host.queuedMessages(), 0u);
  // Back on a new connection, which passes through slot 3 into his held seat.
  const int back = login(connect(address(2)), "Bob", 3);
  ASSERT_EQ(back, 3);
  login(2, "Bob");
  EXPECT_FALSE(host.seat(2).justWatching);
  take(1);
  say(2, "CMD_chat+2+back|clBlack");
  pump();
  const Messages got = take(1);
  EXPECT_NE(std::find(got.begin(), got.end(), "CMD_chat+2+Bob chats: back|clBlack"), got.end());
}

TEST_F(Seats, APlayerPassingThroughTheComputersSeatLeavesItsTurnToIt) {
  join("Ann");
  const int cy = login(connect(address(2)), "Cy");
  const int bob = login(connect(address(3)), "Bob");
  ASSERT_EQ(bob, 3);
  host.tempsockInfo(cy);  // before the game: seat 2 is the computer's
  start();
  host.tempsockInfo(bob);  // seat 3 is held for Bob
  say(1, "CMD_hepass+1+");
  pump();
  for (int i = 0; i < 50 && !(host.currentSeat() == 2 && host.phase() == TurnPhase::Turn); ++i) tick1();
  ASSERT_EQ(host.phase(), TurnPhase::Turn);

  // Bob's new connection lands in the computer's free seat, waits there while
  // the computer's timer runs out, then goes on to his own.
  const int back = connect(address(3));
  ASSERT_EQ(back, 2);
  tickBot(20);
  login(back, "Bob", 2);
  ASSERT_TRUE(logged("returns to seat 3"));
  EXPECT_EQ(host.currentSeat(), 2);  // the turn stays the computer's ...
  take(1);
  tickBot(20);
  const Messages got = take(1);  // ... and it plays it
  EXPECT_NE(std::find_if(got.begin(), got.end(), [](const std::string& m) { return m.rfind("CMD_heflip+2+", 0) == 0; }),
            got.end());
}

TEST_F(Seats, ALiveOwnerIsEvictedOnlyByTheKeyHisLoginWasGiven) {
  join("Ann");
  const int bob = login(connect(address(5)), "Bob");
  start();
  const std::string key = keyOf(take(bob), bob);
  ASSERT_EQ(key.size(), TServer::kRejoinKeyLength);
  EXPECT_EQ(keyOf(take(1), 1).size(), TServer::kRejoinKeyLength);
  EXPECT_NE(keyOf(take(1), 1), key);

  // A housemate who types his name, or seat 1's, gets a seat of his own.
  const int mate = login(connect(address(5)), "Bob");
  const int fake = login(connect("127.0.0.1"), "Ann");
  EXPECT_EQ(mate, 3);
  EXPECT_EQ(fake, 4);
  EXPECT_FALSE(transport.closed[bob] || transport.closed[1]);
  EXPECT_TRUE(host.seat(bob).connected && host.seat(1).connected);
  // A second login on a live connection changes nothing, nor does a key shown after it.
  login(mate, "Ann", mate);
  say(mate, "CMD_rejoinkey+3+" + key);
  login(mate, "Bob", mate);
  EXPECT_EQ(host.seat(mate).name, "Bob");
  EXPECT_TRUE(logged("seat 3: CMD_logininfo refused: already logged in"));
  EXPECT_FALSE(transport.closed[bob]);
  // Nor does a wrong key, or a key shown for another seat.
  const int guess = connect(address(5));
  say(guess, "CMD_rejoinkey+" + std::to_string(guess) + "+" + std::string(key.size(), '0'));
  say(guess, "CMD_rejoinkey+2+" + key);
  login(guess, "Bob");
  EXPECT_FALSE(transport.closed[bob]);
  EXPECT_TRUE(transport.moves.empty());

  // Bob's own new line, from another network even, shows the key: the old one goes.
  const int back = connect(address(6));
  say(back, "CMD_rejoinkey+" + std::to_string(back) + "+" + key);
  login(back, "Bob");
  EXPECT_TRUE(transport.closed[bob]);
  EXPECT_EQ(transport.moves, (std::vector<std::pair<int, int>>{{back, bob}}));
  EXPECT_EQ(take(bob).back(), "CMD_sendlogininfo+2");
  say(bob, "CMD_rejoinkey+2+" + key);
  login(bob, "Bob");
  const std::string next = keyOf(take(bob), bob);
  EXPECT_EQ(next.size(), key.size());
  EXPECT_NE(next, key);
  EXPECT_TRUE(host.seat(bob).connected);
  EXPECT_FALSE(host.held(bob));
}

TEST_F(Seats, AHeldSeatsPlayerGetsInWhenEverySlotIsTaken) {
  join("Ann");
  for (int n = 2; n <= 9; ++n) login(connect(address(n)), n == 3 ? "Bob" : "P" + std::to_string(n));
  start();
  host.tempsockInfo(3);
  ASSERT_TRUE(host.held(3));
  clearAll();

  // Eight of nine slots in use: a stranger waits, hears nothing of the game,
  // may do nothing but log in, and is told the host is full.
  const int eve = connect(address(20));
  ASSERT_EQ(eve, TServer::kFirstWaitingSlot);
  EXPECT_EQ(take(eve), Messages{"CMD_sendlogininfo+3"});
  say(eve, "CMD_chat+3+hello");
  say(eve, "CMD_logininfo+" + std::to_string(eve) + "+" + std::string(kVersion) + "+Eve");
  login(eve, "Eve", 3);
  EXPECT_EQ(take(eve), Messages{"CMD_full+"});
  EXPECT_TRUE(transport.closed[eve]);
  EXPECT_TRUE(take(1).empty());
  EXPECT_TRUE(host.held(3));

  // Bob from his own address gets his seat back.
  const int bob = connect(address(3));
  ASSERT_EQ(bob, TServer::kFirstWaitingSlot);
  login(bob, "Bob", 3);
  EXPECT_EQ(transport.moves, (std::vector<std::pair<int, int>>{{bob, 3}}));
  EXPECT_EQ(take(3), Messages{"CMD_sendlogininfo+3"});
  login(3, "Bob");
  EXPECT_FALSE(host.held(3));
  EXPECT_EQ(host.seat(3).name, "Bob");
  EXPECT_EQ(take(1).front(), "CMD_newplayerinfo+3+Bob");
  // Nothing is held now, yet a newcomer may still have a seat's key.
  EXPECT_EQ(connect(address(21)), TServer::kFirstWaitingSlot);
}

TEST_F(Seats, WhenEverySlotIsTakenASeatsKeyReplacesItsUnseenOldConnectionAndNothingElseGetsIn) {
  join("Ann");
  for (int n = 2; n <= 9; ++n) login(connect(address(n)), n == 3 ? "Bob" : "P" + std::to_string(n));
  start();
  const std::string key = keyOf(take(3), 3);
  ASSERT_EQ(key.size(), TServer::kRejoinKeyLength);
  clearAll();

  // Nothing is held. A copy that knows no keys is told a seat, logs in and
  // hears at once that the host is full; nobody hears of it.
  const int eve = connect(address(20));
  ASSERT_EQ(eve, TServer::kFirstWaitingSlot);
  EXPECT_EQ(take(eve), Messages{"CMD_sendlogininfo+6"});
  login(eve, "Eve", 6);
  EXPECT_EQ(take(eve), Messages{"CMD_full+"});
  EXPECT_TRUE(transport.closed[eve]);
  // Nor does Bob's name from Bob's address, or a wrong key, get in.
  const int mate = connect(address(3));
  say(mate, "CMD_rejoinkey+6+" + std::string(key.size(), 'f'));
  login(mate, "Bob", 6);
  EXPECT_EQ(take(mate), (Messages{"CMD_sendlogininfo+6", "CMD_full+"}));
  // One address keeps only a few waiting, and not past the login deadline.
  EXPECT_EQ(connect(address(30)), TServer::kFirstWaitingSlot);
  EXPECT_EQ(connect(address(30)), TServer::kFirstWaitingSlot + 1);
  EXPECT_EQ(connect(address(30)), TServer::kRefusedSlot);
  for (int i = 0; i <= TServer::kLoginChecks; ++i) host.logintimerTimer();
  EXPECT_TRUE(transport.closed[TServer::kFirstWaitingSlot] &&
              transport.closed[TServer::kFirstWaitingSlot + 1]);
  EXPECT_TRUE(transport.moves.empty());
  EXPECT_FALSE(transport.closed[3]);
  EXPECT_TRUE(take(1).empty());

  // Bob's new line shows his key: the connection the host still holds goes.
  const int back = connect(address(40));
  say(back, "CMD_rejoinkey+6+" + key);
  login(back, "Bob", 6);
  EXPECT_TRUE(transport.closed[3]);
  EXPECT_EQ(transport.moves, (std::vector<std::pair<int, int>>{{back, 3}}));
  EXPECT_EQ(take(3).back(), "CMD_sendlogininfo+3");
  login(3, "Bob");
  EXPECT_EQ(host.seat(3).name, "Bob");
  EXPECT_FALSE(host.held(3));
  EXPECT_EQ(take(1), (Messages{"CMD_playerdisconnected+3+Bob", "CMD_newplayerinfo+3+Bob"}));
}

}  // namespace
}  // namespace tw::test
