// Moves within a turn: flips, the building relays, buying, passing, and the
// check and score of submitted words, with every rejection.
#include <gtest/gtest.h>

#include "support/host_fixture.h"

namespace tw::test {
namespace {

using Messages = std::vector<std::string>;

class Moves : public HostFixture {
 protected:
  Moves() : HostFixture(testRules({"cat", "stained", "zebra", "partnerships", "tea"})) {}
  void SetUp() override {
    join("Ann");
    join("Bob");
    join("Cy");
    start();
    ASSERT_EQ(host.currentSeat(), 1);
    ASSERT_EQ(host.phase(), TurnPhase::Turn);
    clearAll();
  }
  // Puts `letter` in cell x,y and turns it over as seat 1.
  void flipAs(int x, int y, char letter) {
    HostProbe::cell(host, x, y).code = letter - 'a' + 1;
    say(1, "CMD_iflip+1+" + std::to_string(x) + "+" + std::to_string(y) + "+");
    pump();
  }
  void done(const std::string& refs) {
    say(1, "CMD_idone+1+" + refs);
    pump();
  }
  bool nothingSent() {
    bool none = true;
    for (int s = 1; s <= 3; ++s) none &= take(s).empty();
    return none;
  }
  bool anyMarks() {
    bool any = false;
    for (int x = 1; x <= TServer::kBoardWidth; ++x)
      for (int y = 1; y <= TServer::kBoardHeight; ++y) any |= host.cell(x, y).used;
    for (int n = 1; n <= 7; ++n) any |= host.seat(1).letters[n].used;
    return any;
  }
};

TEST_F(Moves, CatFromTheBarScoresFive) {
  HostProbe::setBar(host, 1, "cat");
  done("0,1+0,2+0,3");
  const Messages expected{"CMD_hisword+1+cat+5+5+3+1+20"};
  EXPECT_EQ(take(1), expected);
  EXPECT_EQ(take(2), expected);
  EXPECT_EQ(host.phase(), TurnPhase::Pause);
  EXPECT_EQ(host.countdown(), 4);
}

TEST_F(Moves, BoardLettersCountDoubleAndUsingAllEarnsBonuses) {
  // Each case: bar letters, letters turned over in column 2, the word's
  // references, and its score.
  const struct {
    std::string bar, cells, refs;
    int score;
  } cases[] = {
      {"", "cat", "2,1+2,2+2,3", 10},
      {"stained", "", "0,1+0,2+0,3+0,4+0,5+0,6+0,7", 7 + 15 + 10},
      {"", "zebra", "2,1+2,2+2,3+2,4+2,5", 2 * 16 + 5 + 5},
      // bar 3+1+1+1+1+1+1, cells 2 x (1+3+1+3+1), no length bonus at 12
      {"partner", "ships", "0,1+0,2+0,3+0,4+0,5+0,6+0,7+2,1+2,2+2,3+2,4+2,5", 9 + 18 + 5 + 10},
  };
  for (const auto& c : cases) {
    start();  // a fresh game for each word
    HostProbe::setBar(host, 1, c.bar);
    for (std::size_t i = 0; i < c.cells.size(); ++i) flipAs(2, int(i) + 1, c.cells[i]);
    done(c.refs);
    EXPECT_EQ(host.seat(1).score, c.score) << c.refs;
  }
}

// The one scoring rule the host and the computer's search share, at the edges
// of its bonuses: five board letters, the whole bar, ten and eleven letters.
TEST(WordScore, BonusesStartAndStopAtTheirEdges) {
  EXPECT_EQ(rules::wordScore({}), 0);
  EXPECT_EQ(rules::wordScore({0, 5, 0, 3}), 10);               // "cat" from the cells
  EXPECT_EQ(rules::wordScore({0, 7, 0, 5}), 14 + 5 + 5);       // five cells: length and all flips
  EXPECT_EQ(rules::wordScore({6, 0, 6, 0}), 6 + 10);           // six from the bar, not all of it
  EXPECT_EQ(rules::wordScore({7, 3, 7, 3}), 7 + 6 + 30 + 10);  // ten letters, the whole bar
  EXPECT_EQ(rules::wordScore({7, 4, 7, 4}), 7 + 8 + 0 + 10);   // eleven: no length bonus
}

TEST_F(Moves, EachBadReferenceIsRefusedWithItsReasonAndTheTurnGoesOn) {
  HostProbe::setBar(host, 1, "cat");
  flipAs(1, 1, 'c');
  clearAll();
  const std::pair<std::string, std::string> cases[] = {
      {"0,1+0,8", "letter 2: bar slot 8 is not on the bar"},
      {"0,-1", "letter 1: bar slot -1 is not on the bar"},
      {"1,1+5,5", "letter 2: cell 5,5 is face down"},
      {"1,1+1,1", "letter 2: cell 1,1 is already in the word"},
      {"11,1", "letter 1: cell 11,1 is off the board"},
      {"-2,3", "letter 1: cell -2,3 is off the board"},
      {"1,9", "letter 1: cell 1,9 is off the board"},
      {"1,0", "letter 1: cell 1,0 is off the board"},
  };
  for (const auto& [refs, reason] : cases) {
    log.clear();
    done(refs);
    ASSERT_EQ(log.size(), 1u) << refs;
    EXPECT_EQ(log[0], "seat 1: CMD_idone refused: " + reason);
    EXPECT_TRUE(TServer::refusesWord(log[0])) << refs;
    EXPECT_TRUE(nothingSent()) << refs;
    EXPECT_FALSE(anyMarks()) << refs;
    EXPECT_EQ(host.phase(), TurnPhase::Turn) << refs;
  }
  done("1,1+0,2+0,3");
  EXPECT_EQ(take(2), Messages{"CMD_hisword+1+cat+8+8+3+1+20"});
}

TEST_F(Moves, ABarSlotNamedTwiceIsRejectedNotCountedTwice) {
  HostProbe::setBar(host, 1, "ta");
  HostProbe::seat(host, 1).letters[3].code = 5;  // e
  done("0,1+0,3+0,3");                           // "tee" would need two e's
  EXPECT_TRUE(logged("seat 1: CMD_idone refused: letter 3: bar slot 3 is already in the word"));
  EXPECT_TRUE(nothingSent());
  EXPECT_EQ(host.seat(1).score, 0);
  EXPECT_EQ(host.phase(), TurnPhase::Turn);
}

TEST_F(Moves, AnUnknownWordIsToldToTheMoverOnly) {
  HostProbe::setBar(host, 1, "tac");
  done("0,1+0,2+0,3");
  EXPECT_EQ(take(1), Messages{"CMD_invalid+1+"});
  EXPECT_TRUE(take(2).empty());
  EXPECT_FALSE(anyMarks());
  EXPECT_EQ(host.phase(), TurnPhase::Turn);
}

TEST_F(Moves, AnEmptyDoneIsAPassWithAThreeTickPause) {
  flipAs(3, 3, 'c');
  clearAll();
  done("3,3+x,1+0,1");  // an unreadable reference is an empty position
  EXPECT_EQ(take(2), Messages{"CMD_hepasses+1+"});
  EXPECT_EQ(host.phase(), TurnPhase::EmptyDone);
  tick1(2);
  EXPECT_TRUE(take(2).empty());
  tick1(1);
  // The cell taken before the empty position is replaced like a used one.
  const Messages got = take(2);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].rfind("CMD_theboard+3+3+", 0), 0u);
  EXPECT_EQ(got[1], "CMD_nextplayer+2+");
}

TEST_F(Moves, FlipsAreRelayedAndTheFifthIsMarkedLast) {
  say(1, "CMD_iflip+1+4+2+");
  pump();
  // Its letter first, to everyone alike.
  const std::string letter = "CMD_theboard+4+2+" + std::to_string(host.cell(4, 2).code);
  EXPECT_EQ(take(3), (Messages{letter, "CMD_heflip+1+4+2+f+4+"}));
  EXPECT_EQ(take(1), (Messages{letter, "CMD_heflip+1+4+2+f+4+"}));
  clearAll();
  say(1, "CMD_iflip+1+4+2+");
  say(1, "CMD_iflip+1+11+2+");
  say(1, "CMD_iflip+1+2147483647+-2147483648+");
  pump();
  EXPECT_TRUE(nothingSent());
  EXPECT_TRUE(logged("seat 1: CMD_iflip refused: cell 4,2 is already face up"));
  EXPECT_TRUE(logged("off the board"));
  for (int x = 5; x <= 8; ++x) say(1, "CMD_iflip+1+" + std::to_string(x) + "+2+");
  pump();
  EXPECT_EQ(take(1).back(), "CMD_heflip+1+8+2+t+0+");
  say(1, "CMD_iflip+1+9+2+");  // a sixth
  pump();
  EXPECT_TRUE(take(1).empty());
  EXPECT_FALSE(host.cell(9, 2).faceUp);
}

TEST_F(Moves, BuildingStepsGoToTheOthersOnly) {
  HostProbe::setBar(host, 1, "cat");
  flipAs(4, 2, 'z');
  clearAll();
  say(1, "CMD_usebarletter+1+2+1+");
  say(1, "CMD_useboardletter+1+4+2+2+");
  say(1, "CMD_clickclear+1+1+0,2+2+4,2");
  pump();
  const Messages expected{"CMD_heusebarletter+1+1+1+", "CMD_heuseboardletter+1+4+2+2+26+",
                          "CMD_heclickclear+1+1+0,2+2+4,2"};
  EXPECT_EQ(take(2), expected);
  EXPECT_EQ(take(3), expected);
  EXPECT_TRUE(take(1).empty());
}

TEST_F(Moves, BuildingStepsOutsideTheBarBoardOrWordAreRefused) {
  say(1, "CMD_usebarletter+1+8+1+");
  say(1, "CMD_usebarletter+1+0+1+");
  say(1, "CMD_usebarletter+1+1+11+");
  say(1, "CMD_useboardletter+1+1+9+1+");
  say(1, "CMD_useboardletter+1+3+3+1+");  // face down: the others would learn its letter
  say(1, "CMD_usebarletter+1+99999999999+1+");
  pump();
  EXPECT_TRUE(nothingSent());
  EXPECT_TRUE(logged("cell 3,3 is face down"));
  EXPECT_TRUE(logged("bar slot 8 is out of range"));
  EXPECT_TRUE(logged("word position 11 is out of range"));
  EXPECT_TRUE(logged("'99999999999' is not a valid integer"));
}

TEST_F(Moves, BuyingNeedsTwentyPointsAndKeepsTheTurn) {
  HostProbe::seat(host, 1).score = 19;
  say(1, "CMD_clickbuy+1+");
  pump();
  EXPECT_EQ(take(1), Messages{"CMD_notenough+1+"});
  EXPECT_TRUE(take(2).empty());

  HostProbe::seat(host, 1).score = 20;
  say(1, "CMD_clickbuy+1+");
  pump();
  std::string tiles = "CMD_mytiles+1";
  for (int n = 1; n <= 7; ++n)
    tiles += "+" + std::to_string(n) + "+" + std::to_string(host.seat(1).letters[n].code);
  EXPECT_EQ(take(1), (Messages{tiles, "CMD_buytiles+1+0+20+"}));
  EXPECT_EQ(take(2), Messages{"CMD_buytiles+1+0+20+"});
  EXPECT_EQ(host.seat(1).score, 0);
  EXPECT_EQ(host.phase(), TurnPhase::Turn);
}

TEST_F(Moves, APassEndsTheTurnWithAFourTickPause) {
  say(1, "CMD_hepass+1+");
  pump();
  EXPECT_EQ(take(3), Messages{"CMD_hepasses+1+"});
  EXPECT_EQ(host.phase(), TurnPhase::Pause);
  EXPECT_EQ(host.countdown(), 4);
}

TEST_F(Moves, MovesOutOfTurnAreIgnored) {
  say(2, "CMD_iflip+2+1+1+");
  say(2, "CMD_hepass+2+");
  say(2, "CMD_idone+2+0,1");
  pump();
  EXPECT_TRUE(nothingSent());
  say(1, "CMD_hepass+1+");
  pump();
  clearAll();
  // The turn has ended: the mover's own moves are ignored too.
  say(1, "CMD_iflip+1+1+1+");
  say(1, "CMD_clickbuy+1+");
  say(1, "CMD_idone+1+0,0");
  pump();
  EXPECT_TRUE(nothingSent());
  EXPECT_EQ(host.phase(), TurnPhase::Pause);
}

TEST_F(Moves, AnAcceptedWordsLettersAreReplacedAtTheNextTurn) {
  HostProbe::setBar(host, 1, "ca");
  flipAs(6, 6, 't');
  clearAll();
  done("0,1+0,2+6,6");
  tick1(4);
  const Messages mine = take(1);
  ASSERT_EQ(mine.size(), 4u);
  EXPECT_EQ(mine[1], "CMD_theboard+6+6+0");  // a new letter, face down
  EXPECT_EQ(mine[2], "CMD_mytiles+1+1+" + std::to_string(host.seat(1).letters[1].code) + "+2+" +
                         std::to_string(host.seat(1).letters[2].code));
  EXPECT_EQ(mine[3], "CMD_nextplayer+2+");
  EXPECT_FALSE(host.cell(6, 6).faceUp);
  EXPECT_FALSE(anyMarks());
  EXPECT_EQ(take(2).size(), 3u);  // the bar refill goes to its owner only
}

}  // namespace
}  // namespace tw::test
