// The turn engine on a manual clock: phase lengths, turn order, the sneak
// peek, the end-of-round winner check, and seats that leave or sit out.
#include <gtest/gtest.h>

#include "support/host_fixture.h"

namespace tw::test {
namespace {

using Messages = std::vector<std::string>;

class Turns : public HostFixture {
 protected:
  Turns() : HostFixture(testRules({"cat"})) {}
  // Ends the current human turn with a pass and runs the 4-tick pause.
  void passTurn() {
    const int seat = host.currentSeat();
    say(seat, "CMD_hepass+" + std::to_string(seat) + "+");
    pump();
    tick1(4);
  }
  // Lets the computer's turn (an empty list makes it pass) run out.
  void computerTurn() {
    ASSERT_TRUE(computertimer.running());
    tickBot(5);
    tick1(4);
  }
  std::vector<int> turnsSeen(int slot) {
    std::vector<int> seats;
    for (const auto& m : take(slot))
      if (m.rfind("CMD_nextplayer+", 0) == 0) seats.push_back(std::stoi(m.substr(15)));
    return seats;
  }
};

TEST_F(Turns, AnUnusedTurnTimesOutSixtyFourTicksAfterItStarts) {
  join("Ann");
  start();
  clearAll();
  tick1(63);
  EXPECT_TRUE(take(1).empty());
  tick1(1);
  EXPECT_EQ(take(1), Messages{"CMD_timeup+1+"});
  tick1(3);
  EXPECT_TRUE(take(1).empty());
  tick1(1);
  EXPECT_EQ(take(1), Messages{"CMD_nextplayer+2+"});
  EXPECT_EQ(timer1.interval(), 1000);
}

TEST_F(Turns, SeatsWithoutPlayersAreSkippedButSeatTwoAlwaysPlays) {
  join("Ann");
  connect();
  join("Cy");
  host.tempsockInfo(2);
  start();
  passTurn();
  computerTurn();
  passTurn();
  EXPECT_EQ(turnsSeen(1), (std::vector<int>{1, 2, 3, 1}));
}

TEST_F(Turns, FourPlayerGamesLeaveSeatsFiveAndSixOut) {
  for (const char* name : {"A", "B", "C", "D", "E", "F"}) join(name);
  clearAll();
  start("A+100+60+f+1+1+");
  EXPECT_EQ(take(5)[2].rfind("CMD_mytiles+5+", 0), 0u);  // still dealt
  for (int i = 0; i < 4; ++i) passTurn();
  EXPECT_EQ(turnsSeen(1), (std::vector<int>{1, 2, 3, 4, 1}));
}

TEST_F(Turns, SneakModeGivesEveryTurnAFiveTickLook) {
  join("Ann");
  clearAll();
  start("Ann+100+60+f+3+0+");
  Messages got = take(1);
  EXPECT_EQ(got.back(), "CMD_sneak+1+");
  EXPECT_EQ(host.phase(), TurnPhase::Sneak);
  tick1(4);
  EXPECT_TRUE(take(1).empty());
  tick1(1);
  EXPECT_EQ(take(1), Messages{"CMD_nextplayer+1+"});
  EXPECT_EQ(host.countdown(), 64);
}

TEST_F(Turns, HelperModeGivesTheLookToTheLowestNonZeroScore) {
  join("Ann");
  join("Bob");
  join("Cy");
  start("Ann+100+60+f+2+0+");
  EXPECT_EQ(host.sneakerSeat(), 0);  // everybody at 0
  HostProbe::seat(host, 1).score = 40;
  HostProbe::seat(host, 2).score = 25;
  HostProbe::seat(host, 3).score = 0;
  passTurn();
  passTurn();
  clearAll();
  passTurn();  // back to seat 1: the round's sneaker is chosen
  EXPECT_EQ(host.sneakerSeat(), 2);
  EXPECT_EQ(take(1), (Messages{"CMD_hepasses+3+", "CMD_sneaker+2+", "CMD_nextplayer+1+"}));
  clearAll();
  passTurn();
  // The looker alone is told the letters nobody has turned up, just before.
  std::string hidden = "CMD_theboard";
  for (int x = 1; x <= 10; ++x)
    for (int y = 1; y <= 8; ++y)
      hidden +=
          "+" + std::to_string(x) + "+" + std::to_string(y) + "+" + std::to_string(host.cell(x, y).code);
  EXPECT_EQ(take(2), (Messages{"CMD_hepasses+1+", hidden, "CMD_sneak+2+"}));
  EXPECT_EQ(take(3), (Messages{"CMD_hepasses+1+"}));
  EXPECT_EQ(host.phase(), TurnPhase::Sneak);
  tick1(5);
  EXPECT_EQ(take(2), Messages{"CMD_nextplayer+2+"});

  HostProbe::seat(host, 1).score = 0;
  passTurn();
  passTurn();
  EXPECT_EQ(host.sneakerSeat(), 0);  // a candidate at 0 gives nobody the look
}

TEST_F(Turns, TheWinnerIsFoundOnlyWhenTheTurnReturnsToSeatOne) {
  join("Ann");
  join("Bob");
  join("Cy");
  start("Ann+100+60+f+1+0+");
  passTurn();
  HostProbe::seat(host, 2).score = 120;  // reached in mid-round
  passTurn();
  EXPECT_TRUE(host.gameRunning());
  HostProbe::seat(host, 3).score = 130;  // a later seat overtakes
  clearAll();
  passTurn();
  EXPECT_FALSE(host.gameRunning());
  EXPECT_EQ(take(2), (Messages{"CMD_hepasses+3+", "CMD_winner+Cy+"}));
  EXPECT_FALSE(timer1.running());
  EXPECT_FALSE(computertimer.running());
}

TEST_F(Turns, ASharedTopScoreReplaysTheRound) {
  join("Ann");
  join("Bob");
  start();
  HostProbe::seat(host, 1).score = 110;
  HostProbe::seat(host, 2).score = 110;
  passTurn();
  clearAll();
  passTurn();
  EXPECT_EQ(take(1), (Messages{"CMD_hepasses+2+", "CMD_tie+", "CMD_nextplayer+1+"}));
  EXPECT_TRUE(host.gameRunning());
  HostProbe::seat(host, 2).score = 111;
  passTurn();
  passTurn();
  EXPECT_FALSE(host.gameRunning());
  EXPECT_EQ(take(1).back(), "CMD_winner+Bob+");
}

TEST_F(Turns, TheComputerWinsUnderItsNameAndAnEmptySeatDoesNotCount) {
  join("Ann");
  connect();
  join("Cy");
  host.tempsockInfo(2);
  start();
  HostProbe::seat(host, 2).score = 150;
  HostProbe::seat(host, 3).score = 150;
  passTurn();
  computerTurn();
  clearAll();
  say(1, "CMD_kickhim+1+3+");  // Cy is removed on his turn: the round is over at once
  pump();
  EXPECT_EQ(take(1), (Messages{"CMD_playerdisconnected+3+Cy", "CMD_winner+Klot+"}));
}

TEST_F(Turns, AHeldSeatIsPlayedByTheComputerAndWinsUnderItsPlayersName) {
  join("Ann");
  join("Bob");
  join("Cy");
  start();
  host.tempsockInfo(3);     // Cy's line drops
  EXPECT_EQ(connect(), 4);  // his seat is not handed out
  host.tempsockInfo(4);     // one that never logged in holds nothing
  EXPECT_FALSE(host.held(4));
  passTurn();
  passTurn();
  ASSERT_EQ(host.currentSeat(), 3);
  HostProbe::seat(host, 3).score = 150;
  clearAll();
  computerTurn();
  EXPECT_EQ(take(1).back(), "CMD_winner+Cy+");
  EXPECT_FALSE(host.held(3));  // between games nothing is held
  EXPECT_EQ(connect(), 3);
}

TEST_F(Turns, TheCurrentSeatLeavingOrWatchingMovesTheTurnAtOnce) {
  join("Ann");
  join("Bob");
  join("Cy");
  start();
  passTurn();
  ASSERT_EQ(host.currentSeat(), 2);
  clearAll();
  say(2, "CMD_justwatch+2+1");
  pump();
  EXPECT_EQ(take(1), (Messages{"CMD_justwatching+2+1", "CMD_nextplayer+3+"}));
  host.tempsockInfo(3);
  EXPECT_EQ(take(1), (Messages{"CMD_playerdisconnected+3+Cy", "CMD_nextplayer+1+"}));
}

TEST_F(Turns, SeatOneLeavingDuringItsTurnLetsTheClockRunOut) {
  join("Ann");
  join("Bob");
  start();
  clearAll();
  host.tempsockInfo(1);
  EXPECT_EQ(take(2), Messages{"CMD_playerdisconnected+1+Ann"});
  EXPECT_EQ(host.currentSeat(), 1);
  tick1(64);
  EXPECT_EQ(take(2), Messages{"CMD_timeup+1+"});
}

TEST_F(Turns, TilesViewableShowsTheMoversBarToEveryoneElse) {
  join("Ann");
  join("Bob");
  join("Spy7");
  clearAll();
  start("Ann+100+60+t+1+0+");
  std::string tiles = "CMD_theirtiles+1";
  for (int n = 1; n <= 7; ++n)
    tiles += "+" + std::to_string(n) + "+" + std::to_string(host.seat(1).letters[n].code);
  EXPECT_EQ(take(2).back(), tiles);
  EXPECT_EQ(take(3).back(), tiles);
  EXPECT_EQ(take(1).back(), "CMD_nextplayer+1+");
}

TEST_F(Turns, ALateJoinerIsCaughtUpAndLosesATurnThatIsHis) {
  join("Ann");
  start();
  say(1, "CMD_iflip+1+3+4+");
  pump();
  tick1(10);
  // Bob takes the computer's seat during seat 1's turn.
  const int bob = connect();
  clearAll();
  say(bob, "CMD_logininfo+2+" + std::string(kVersion) + "+Bob");
  pump();
  const Messages got = take(2);
  ASSERT_EQ(got.size(), 7u);
  EXPECT_EQ(got[2].rfind("CMD_rejoinkey+2+", 0), 0u);
  EXPECT_EQ(got[3], "CMD_stats+2+100+60+1+54+blind+0+1+0+2+0+3+0+4+0+5+0+6+0");
  EXPECT_EQ(got[4].rfind("CMD_mytiles+2+1+", 0), 0u);
  EXPECT_EQ(got[5].rfind("CMD_theboard+1+1+", 0), 0u);
  EXPECT_EQ(got[6], "CMD_isflipped+2+3+4");
  EXPECT_EQ(host.currentSeat(), 1);

  // Seat 1 drops and comes back during its own turn: its seat was held, so
  // the new connection is moved there after its login and logs in again.
  host.tempsockInfo(1);
  EXPECT_TRUE(host.held(1));
  clearAll();
  const int ann = connect();
  EXPECT_EQ(ann, 3);
  say(ann, "CMD_logininfo+3+" + std::string(kVersion) + "+Ann");
  pump();
  EXPECT_EQ(take(1), Messages{"CMD_sendlogininfo+1"});
  clearAll();
  say(1, "CMD_logininfo+1+" + std::string(kVersion) + "+Ann");
  pump();
  const Messages back = take(1);
  EXPECT_EQ(back.front(), "CMD_newplayerinfo+1+Ann");
  EXPECT_EQ(back.back(), "CMD_hepasses+1+");
  EXPECT_EQ(take(2).back(), "CMD_hepasses+1+");
  EXPECT_EQ(host.phase(), TurnPhase::Pause);
}

}  // namespace
}  // namespace tw::test
