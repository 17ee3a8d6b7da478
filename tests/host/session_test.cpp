// The host session with simulated connections: seats, login and roster,
// relays, kicks, "just watch", the pump and its guards against hostile peers.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/host_fixture.h"

namespace tw::test {
namespace {

using Messages = std::vector<std::string>;

class Session : public HostFixture {};

TEST_F(Session, SeatsAreGivenLowestFreeFirst) {
  EXPECT_EQ(connect(), 1);
  EXPECT_EQ(connect(), 2);
  EXPECT_EQ(connect(), 3);
  EXPECT_EQ(take(1), Messages{"CMD_sendlogininfo+1"});
  EXPECT_EQ(take(3), Messages{"CMD_sendlogininfo+3"});
  host.tempsockInfo(2);
  EXPECT_EQ(connect(), 2);
  EXPECT_EQ(host.slotCount(), 3);
}

TEST_F(Session, TheTenthConnectionIsRefusedAndTheNineStay) {
  for (int i = 1; i <= 9; ++i) EXPECT_EQ(connect(address(i)), i);
  clearAll();
  EXPECT_EQ(connect(address(10)), TServer::kRefusedSlot);
  EXPECT_EQ(take(TServer::kRefusedSlot), Messages{"CMD_full+"});
  EXPECT_TRUE(transport.closed[TServer::kRefusedSlot]);
  for (int i = 1; i <= 9; ++i) {
    EXPECT_TRUE(host.seat(i).connected);
    EXPECT_FALSE(transport.closed[i]);
    EXPECT_TRUE(take(i).empty());
  }
  EXPECT_EQ(host.slotCount(), 9);
}

TEST_F(Session, LoginAnnouncesToAllAndListsTheOthersToTheNewcomer) {
  join("Ann");
  join("Bob");
  const int third = connect();
  clearAll();
  say(third, "CMD_logininfo+3+" + std::string(kVersion) + "+Cy Dee");
  pump();
  EXPECT_EQ(take(1), Messages{"CMD_newplayerinfo+3+Cy Dee"});
  EXPECT_EQ(take(2), Messages{"CMD_newplayerinfo+3+Cy Dee"});
  Messages got = take(3);
  // Last, the key that gets him back into this seat; older clients ignore it.
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got.back().rfind("CMD_rejoinkey+3+", 0), 0u);
  EXPECT_EQ(got.back().find_first_not_of("0123456789abcdef", 16), std::string::npos);
  EXPECT_EQ(got.back().size(), 16 + TServer::kRejoinKeyLength);
  got.pop_back();
  EXPECT_EQ(got, (Messages{"CMD_newplayerinfo+3+Cy Dee", "CMD_existingplayers+1+Ann", "CMD_existingplayers+2+Bob"}));
  EXPECT_EQ(host.seat(3).name, "Cy Dee");
}

TEST_F(Session, ANameCannotSmuggleAFieldSeparator) {
  const int slot = connect();
  say(slot, "CMD_logininfo+1+" + std::string(kVersion) + "+A+B");
  pump();
  EXPECT_EQ(host.seat(1).name, "A-B");
  const Messages got = take(1);
  EXPECT_EQ(Messages(got.begin(), got.begin() + 2), Messages({"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+A-B"}));
}

TEST_F(Session, ANameCannotSmuggleAColourIntoChatLines) {
  const int slot = connect();
  say(slot, "CMD_logininfo+1+" + std::string(kVersion) + "+Al|clRed");
  pump();
  EXPECT_EQ(host.seat(1).name, "Al!clRed");
  clearAll();
  say(1, "CMD_chat+1+hi|clBlack");
  say(1, "CMD_action+1+waves|clBlack");
  pump();
  EXPECT_EQ(take(1),
            (Messages{"CMD_chat+1+Al!clRed chats: hi|clBlack", "CMD_action+1+Al!clRed waves|clBlack"}));
}

TEST_F(Session, AWrongVersionIsToldToBothButNotRefused) {
  join("Host");
  const int slot = connect();
  clearAll();
  say(slot, "CMD_logininfo+2+0.9+Old");
  pump();
  EXPECT_EQ(take(1), (Messages{"CMD_newplayerinfo+2+Old", "CMD_havewrongversion+Old"}));
  const Messages got = take(2);
  EXPECT_EQ(Messages(got.begin(), got.begin() + 3),
            (Messages{"CMD_newplayerinfo+2+Old", "CMD_existingplayers+1+Host", "CMD_wrongversion+"}));
  EXPECT_TRUE(host.seat(2).connected);
}

TEST_F(Session, ChatActionAndSoundsAreRelayedWithTheSeatName) {
  join("Ann");
  join("Bob");
  clearAll();
  say(2, "CMD_chat+2+1+1=2 ok|clBlack");
  say(2, "CMD_action+2+waves|$00FF0000");
  pump();
  say(1, "CMD_playasound+1+wave7+");
  pump();
  const Messages expected{"CMD_chat+2+Bob chats: 1+1=2 ok|clBlack", "CMD_action+2+Bob waves|$00FF0000",
                          "CMD_playasound+1+wave7+"};
  EXPECT_EQ(take(1), expected);
  EXPECT_EQ(take(2), expected);
}

TEST_F(Session, ASpoofedSeatIsDroppedAndLogged) {
  join("Ann");
  join("Bob");
  join("Cy");
  clearAll();
  say(3, "CMD_chat+1+I am the host|clBlack");
  say(3, "CMD_kickhim+1+2+");
  say(3, "CMD_logininfo+1+" + std::string(kVersion) + "+Mallory");
  say(3, "CMD_justwatch+2+2");
  say(3, "CMD_startgame+Cy+100+60+t+1+0+");
  pump();
  EXPECT_TRUE(take(1).empty());
  EXPECT_TRUE(take(2).empty());
  EXPECT_EQ(host.seat(1).name, "Ann");
  EXPECT_TRUE(host.seat(2).connected);
  // Each of the five is one line that names the seat.
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string& l) {
                            return l.rfind("seat 3: ", 0) == 0 && l.find("not allowed") != std::string::npos;
                          }),
            5);
}

TEST_F(Session, OnlySeatOneKicks) {
  join("Ann");
  join("Bob");
  join("Cy");
  join("Di");
  say(3, "CMD_kickhim+3+4+");
  pump();
  EXPECT_TRUE(host.seat(4).connected);
  clearAll();
  say(1, "CMD_kickhim+1+4+");
  pump();
  EXPECT_FALSE(host.seat(4).connected);
  EXPECT_TRUE(transport.closed[4]);
  EXPECT_EQ(take(1), Messages{"CMD_playerdisconnected+4+Di"});
  EXPECT_EQ(take(2), Messages{"CMD_playerdisconnected+4+Di"});
  EXPECT_EQ(take(4), Messages{"CMD_kicked+"});  // told why, then closed
  // The freed seat is the next one handed out.
  EXPECT_EQ(connect(), 4);
}

TEST_F(Session, ADisconnectClearsTheSeatButKeepsItsScore) {
  join("Ann");
  join("Bob");
  clearAll();
  host.tempsockInfo(2);
  EXPECT_EQ(take(1), Messages{"CMD_playerdisconnected+2+Bob"});
  EXPECT_TRUE(host.seat(2).name.empty());
  EXPECT_FALSE(host.seat(2).connected);
  host.tempsockInfo(2);  // a second close report changes nothing
  EXPECT_TRUE(take(1).empty());
}

TEST_F(Session, JustWatchNeedsARunningGameToStartButStopsAnyTime) {
  join("Ann");
  join("Bob");
  clearAll();
  say(2, "CMD_justwatch+2+1");
  pump();
  EXPECT_FALSE(host.seat(2).justWatching);
  EXPECT_TRUE(take(1).empty());
  say(2, "CMD_justwatch+2+2");
  say(1, "CMD_justwatch+7+2");  // seats above 6 never watch
  pump();
  EXPECT_EQ(take(1), Messages{"CMD_justwatching+2+2"});
}

TEST_F(Session, SeatOneMayUnsetWatchingForAnotherSeat) {
  join("Ann");
  join("Bob");
  clearAll();
  say(1, "CMD_justwatch+2+2");
  pump();
  EXPECT_EQ(take(2), Messages{"CMD_justwatching+2+2"});
}

TEST_F(Session, ABadNumberStopsOnlyThatMessage) {
  join("Ann");
  clearAll();
  say(1, "CMD_kickhim+1+x+");
  say(1, "CMD_chat+1+still here|clBlack");
  pump();
  EXPECT_EQ(take(1), Messages{"CMD_chat+1+Ann chats: still here|clBlack"});
  ASSERT_FALSE(log.empty());
  bool logged = false;
  for (auto& line : log) logged |= line.find("'x' is not a valid integer") != std::string::npos;
  EXPECT_TRUE(logged);
}

TEST_F(Session, JunkLinesAreIgnored) {
  join("Ann");
  clearAll();
  raw(1, std::string("\xFF\xFF") + "no plus\xFF" + "+\xFF" + "CMD_unknown+1\xFF");
  pump();
  EXPECT_TRUE(take(1).empty());
  EXPECT_TRUE(host.seat(1).connected);
}

TEST_F(Session, ThePumpHandlesOneMessagePerTickAndSleepsWhenIdle) {
  join("Ann");
  EXPECT_FALSE(socktimer.running());
  clearAll();
  raw(1,
      "CMD_chat+1+a|clBlack\xFF"
      "CMD_chat+1+b|clBlack\xFF"
      "CMD_chat+1+c|clBlack\xFF");
  // The first message wakes the pump at once rather than a tick later.
  EXPECT_TRUE(socktimer.running());
  EXPECT_EQ(socktimer.interval(), 0);
  host.socktimerTimer();
  EXPECT_EQ(take(1).size(), 1u);
  EXPECT_EQ(socktimer.interval(), TServer::kPumpMs);
  host.socktimerTimer();
  EXPECT_EQ(take(1), Messages{"CMD_chat+1+Ann chats: b|clBlack"});
  host.socktimerTimer();
  host.socktimerTimer();  // finds the queue empty and stops
  EXPECT_FALSE(socktimer.running());
}

TEST_F(Session, AFloodingSeatDoesNotStarveTheOthers) {
  join("Ann");
  join("Bob");
  clearAll();
  std::string flood;
  for (int i = 0; i < 200; ++i) flood += "CMD_chat+2+spam|clBlack\xFF";
  raw(2, flood);
  say(1, "CMD_chat+1+hello|clBlack");
  host.socktimerTimer();
  host.socktimerTimer();
  host.socktimerTimer();
  const Messages got = take(1);
  ASSERT_GE(got.size(), 2u);
  EXPECT_TRUE(got[0] == "CMD_chat+1+Ann chats: hello|clBlack" ||
              got[1] == "CMD_chat+1+Ann chats: hello|clBlack");
}

TEST_F(Session, OversizedInputClosesOnlyThatConnection) {
  join("Ann");
  join("Bob");
  join("Cy");
  raw(2, std::string(TServer::kMaxPendingBytes + 1, 'x'));
  EXPECT_FALSE(host.seat(2).connected);
  EXPECT_TRUE(transport.closed[2]);

  std::string many;
  for (std::size_t i = 0; i <= TServer::kMaxQueuedMessages; ++i) many += "CMD_chat+3+x|clBlack\xFF";
  raw(3, many);
  EXPECT_FALSE(host.seat(3).connected);
  EXPECT_EQ(host.queuedMessages(), 0u);  // its waiting messages went with it

  clearAll();
  say(1, "CMD_chat+1+fine|clBlack");
  pump();
  EXPECT_EQ(take(1), Messages{"CMD_chat+1+Ann chats: fine|clBlack"});
}

TEST_F(Session, ConnectionsThatNeverLogInAreClosedAtTheDeadlineAndFreeTheirSeats) {
  join("Ann");
  for (int slot = 2; slot <= 9; ++slot) EXPECT_EQ(connect(address(slot)), slot);
  ASSERT_TRUE(logintimer.running());
  const int check = TServer::kLoginDeadlineMs / TServer::kLoginChecks;
  EXPECT_EQ(logintimer.interval(), check);
  EXPECT_EQ(connect(address(10)), TServer::kRefusedSlot);  // the idle nine hold every seat

  // Seat 3 logs in late but in time; seat 4 only claims another seat's login.
  for (int i = 0; i < 5; ++i) host.logintimerTimer();
  say(3, "CMD_logininfo+3+" + std::string(kVersion) + "+Cy");
  say(4, "CMD_logininfo+1+" + std::string(kVersion) + "+Mal");
  pump();
  for (int i = 0; i < 5; ++i) host.logintimerTimer();
  for (int slot = 1; slot <= 9; ++slot) EXPECT_TRUE(host.seat(slot).connected) << slot;  // 30 s: not yet

  clearAll();
  host.logintimerTimer();  // at most a tenth later, the idle ones are gone
  for (int slot : {2, 4, 5, 6, 7, 8, 9}) {
    EXPECT_FALSE(host.seat(slot).connected) << slot;
    EXPECT_TRUE(transport.closed[slot]) << slot;
  }
  EXPECT_TRUE(host.seat(1).connected);
  EXPECT_TRUE(host.seat(3).connected);
  EXPECT_FALSE(transport.closed[1] || transport.closed[3]);
  EXPECT_TRUE(logged("seat 2: no login within 30 s"));
  EXPECT_FALSE(logintimer.running());

  // The freed seats take players again, under a fresh deadline.
  EXPECT_EQ(connect(), 2);
  EXPECT_TRUE(logintimer.running());
  say(2, "CMD_logininfo+2+" + std::string(kVersion) + "+Bob");
  pump();
  for (int i = 0; i <= TServer::kLoginChecks; ++i) host.logintimerTimer();
  EXPECT_TRUE(host.seat(2).connected);
  EXPECT_FALSE(logintimer.running());
}

TEST_F(Session, APeerThatStopsReadingIsDroppedOnceTheMessageIsHandled) {
  join("Ann");
  join("Bob");
  join("Cy");
  clearAll();
  transport.backlog[3] = TServer::kMaxUnsentBytes;  // at the bound: kept
  transport.backlog[2] = TServer::kMaxUnsentBytes + 1;
  say(1, "CMD_chat+1+hello|clBlack");
  pump();
  // The line reaches every seat, then the others learn that seat 2 left.
  EXPECT_EQ(take(2), Messages{"CMD_chat+1+Ann chats: hello|clBlack"});
  const Messages others{"CMD_chat+1+Ann chats: hello|clBlack", "CMD_playerdisconnected+2+Bob"};
  EXPECT_EQ(take(1), others);
  EXPECT_EQ(take(3), others);
  EXPECT_TRUE(transport.closed[2]);
  EXPECT_FALSE(host.seat(2).connected);
  EXPECT_TRUE(host.seat(3).connected);
  EXPECT_TRUE(logged(
      "seat 2: more than 4194304 bytes wait to be sent to it (it reads more slowly than the game sends)"));

  // On turn and lagging: the turn passes on once the move is handled.
  transport.backlog.clear();
  EXPECT_EQ(connect(), 2);
  say(2, "CMD_logininfo+2+" + std::string(kVersion) + "+Bob");
  pump();
  start("Ann+100+60+f+1+0+");
  say(1, "CMD_hepass+1+");
  pump();
  tick1(10);
  ASSERT_EQ(host.currentSeat(), 2);
  clearAll();
  transport.backlog[2] = TServer::kMaxUnsentBytes + 1;
  say(2, "CMD_iflip+2+1+1+");
  pump();
  EXPECT_FALSE(host.seat(2).connected);
  const Messages toAnn = take(1);
  ASSERT_FALSE(toAnn.empty());
  EXPECT_EQ(toAnn.front().rfind("CMD_theboard+1+1+", 0), 0u) << toAnn.front();
  EXPECT_EQ(toAnn.at(1).rfind("CMD_heflip+2+1+1+", 0), 0u) << toAnn.at(1);
  EXPECT_NE(std::find(toAnn.begin(), toAnn.end(), "CMD_playerdisconnected+2+Bob"), toAnn.end());
  EXPECT_EQ(host.currentSeat(), 3);
}

}  // namespace
}  // namespace tw::test
