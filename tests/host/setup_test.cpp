// Starting a game: the options and their fallbacks, the board and bars that
// are laid and sent, and the letter supply's frequencies and values.
#include <gtest/gtest.h>

#include <cmath>

#include "support/host_fixture.h"

namespace tw::test {
namespace {

using Messages = std::vector<std::string>;

class Setup : public HostFixture {};

TEST_F(Setup, StartSendsOptionsBoardBarsAndTheFirstTurn) {
  join("Ann");
  join("Bob");
  clearAll();
  start("Ann+250+60+f+1+0+");
  const Messages ann = take(1);
  ASSERT_EQ(ann.size(), 4u);
  EXPECT_EQ(ann[0], "CMD_startgame+Ann+250+60+1+0+");

  // The whole board, x outer and y inner, face down: no letter is told.
  std::string board = "CMD_theboard";
  for (int x = 1; x <= 10; ++x)
    for (int y = 1; y <= 8; ++y) {
      const int code = host.cell(x, y).code;
      EXPECT_TRUE(code >= 1 && code <= 26);
      EXPECT_FALSE(host.cell(x, y).faceUp);
      board += "+" + std::to_string(x) + "+" + std::to_string(y) + "+0";
    }
  EXPECT_EQ(ann[1], board);

  for (int s = 1; s <= 6; ++s) {
    for (int n = 1; n <= 7; ++n) {
      EXPECT_TRUE(host.seat(s).letters[n].code >= 1 && host.seat(s).letters[n].code <= 26);
      EXPECT_EQ(host.seat(s).letters[n].position, (CellRef{0, n}));
    }
  }
  std::string tiles = "CMD_mytiles+1";
  for (int n = 1; n <= 7; ++n)
    tiles += "+" + std::to_string(n) + "+" + std::to_string(host.seat(1).letters[n].code);
  EXPECT_EQ(ann[2], tiles);
  EXPECT_EQ(ann[3], "CMD_nextplayer+1+");

  const Messages bob = take(2);
  ASSERT_EQ(bob.size(), 4u);
  EXPECT_EQ(bob[2].rfind("CMD_mytiles+2+1+", 0), 0u);
  EXPECT_TRUE(host.gameRunning());
  EXPECT_EQ(host.countdown(), 64);

  // An open board holds from the next game: this one's flips still bring their letters.
  host.setOpenBoard(true);
  say(1, "CMD_iflip+1+2+2+");
  pump();
  EXPECT_EQ(take(2).front(), "CMD_theboard+2+2+" + std::to_string(host.cell(2, 2).code));
  start("Ann+250+60+f+1+0+");
  const Messages laid = take(2);
  FieldReader open(splitCommand(laid.at(1)).body);
  const auto cells = open.groups(3);
  ASSERT_EQ(cells.size(), 80u);
  for (const auto& cell : cells) EXPECT_EQ(toInt(cell[2]), host.cell(toInt(cell[0]), toInt(cell[1])).code);
  say(1, "CMD_iflip+1+2+2+");
  pump();
  EXPECT_EQ(take(2), Messages{"CMD_heflip+1+2+2+f+4+"});  // nothing more than before
}

TEST_F(Setup, UnreadableOrOutOfRangeOptionsFallBackAndTheBroadcastSaysSo) {
  join("Ann");
  clearAll();
  start("Ann+lots++t+1+0+");
  EXPECT_EQ(take(1).front(), "CMD_startgame+Ann+100+60+1+0+");
  start("Ann+-5+2147483647+t+2+0+");
  EXPECT_EQ(take(1).front(), "CMD_startgame+Ann+100+60+2+0+");
  EXPECT_TRUE(logged("turn seconds 2147483647 is out of range"));
  EXPECT_TRUE(logged("play-to score -5 is out of range"));
  EXPECT_EQ(host.countdown(), 64);
}

TEST_F(Setup, AnUnknownModeDigitKeepsThePreviousMode) {
  join("Ann");
  start("Ann+100+60+f+3+0+");
  EXPECT_EQ(host.gameMode(), "sneak");
  clearAll();
  start("Ann+100+60+f+7+0+");
  EXPECT_EQ(host.gameMode(), "sneak");
  EXPECT_TRUE(take(1).empty());  // refused: nobody is told of a mode that is not played
  start("Ann+100+60+f+2+0+");
  EXPECT_EQ(host.gameMode(), "help");
}

TEST_F(Setup, ANewStartOverwritesTheRunningGame) {
  join("Ann");
  join("Bob");
  start();
  HostProbe::seat(host, 1).score = 55;
  say(2, "CMD_justwatch+2+1");
  pump();
  ASSERT_TRUE(host.seat(2).justWatching);
  start();
  EXPECT_EQ(host.seat(1).score, 0);
  EXPECT_FALSE(host.seat(2).justWatching);
  EXPECT_EQ(host.currentSeat(), 1);
}

TEST(LetterSupply, ValuesAndLetters) {
  EXPECT_EQ(TServer::letterworth('v' - 'a' + 1), 7);
  EXPECT_EQ(TServer::letterworth('q' - 'a' + 1), 10);
  EXPECT_EQ(TServer::letterworth('d' - 'a' + 1), 1);
  EXPECT_EQ(TServer::letterworth('k' - 'a' + 1), 5);
  EXPECT_EQ(TServer::letterworth('y' - 'a' + 1), 3);
  EXPECT_EQ(TServer::letterworth(0), 1);
  EXPECT_EQ(TServer::letterworth(27), 1);
  EXPECT_EQ(TServer::converttoletter(1), "a");
  EXPECT_EQ(TServer::converttoletter(26), "z");
  EXPECT_EQ(TServer::converttoletter(0), "");
  EXPECT_EQ(TServer::converttoletter(27), "");
}

TEST(LetterSupply, DrawsFollowTheWeightsOutOf98) {
  const int weights[26] = {9, 2, 2, 5, 12, 2, 3, 2, 9, 1, 1, 4, 2, 6, 8, 2, 1, 6, 4, 6, 3, 2, 2, 1, 2, 1};
  RecordingTransport transport;
  ManualTimer a, b, c, d, e, f;
  HostRules rules;
  rules.seed = 12345;
  TServer host(
      transport, HostTimers{a, b, c, d, e, f}, [](const std::string&) {}, rules);
  const int draws = 98 * 2000;
  int counts[27] = {};
  for (int i = 0; i < draws; ++i) {
    const int code = host.getletter();
    ASSERT_TRUE(code >= 1 && code <= 26);
    ++counts[code];
  }
  double chi2 = 0;
  for (int k = 0; k < 26; ++k) {
    const double expected = draws * weights[k] / 98.0;
    chi2 += (counts[k + 1] - expected) * (counts[k + 1] - expected) / expected;
  }
  // 25 degrees of freedom: exceeded by chance once in a thousand runs at 52.6.
  EXPECT_LT(chi2, 52.6);
  EXPECT_GT(counts['d' - 'a' + 1], counts['u' - 'a' + 1]);
  EXPECT_NEAR(double(counts['e' - 'a' + 1]) / counts['z' - 'a' + 1], 12.0, 1.5);
}

}  // namespace
}  // namespace tw::test
