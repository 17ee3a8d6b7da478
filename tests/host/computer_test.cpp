// The computer player: its pace, the letters it prefers, the words it may
// choose, and how it gives up, is rejected or hands the seat back.
#include <gtest/gtest.h>

#include "support/host_fixture.h"

namespace tw::test {
namespace {

using Messages = std::vector<std::string>;

bool startsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

class Computer : public HostFixture {
 protected:
  explicit Computer(HostRules rules = testRules({"cats"}, {"cats"})) : HostFixture(std::move(rules)) {}
  // Ann starts and passes; the computer's seat 2 is next, with this bar and
  // the board all one letter.
  void toComputersTurn(const std::string& bar = "", char boardLetter = 0) {
    join("Ann");
    start();
    if (!bar.empty()) HostProbe::setBar(host, 2, bar);
    if (boardLetter) HostProbe::fillBoard(host, boardLetter);
    say(1, "CMD_hepass+1+");
    pump();
    tick1(4);
    ASSERT_EQ(host.currentSeat(), 2);
  }
  int count(const Messages& got, const std::string& prefix) {
    int n = 0;
    for (const auto& m : got) n += startsWith(m, prefix);
    return n;
  }
};

TEST_F(Computer, StepsComeOneFourAndThreeTicksApartAtTheBotSpeed) {
  VirtualClock clock;
  clock.add(timer1, [this] { host.timer1Timer(); });
  clock.add(computertimer, [this] { host.computertimerTimer(); });
  toComputersTurn("catsqqq", 'q');
  clearAll();
  clock.now = 0;  // the turn starts now
  timer1.start(timer1.interval());
  computertimer.start(computertimer.interval());
  EXPECT_EQ(computertimer.interval(), 750);

  std::map<std::int64_t, Messages> at;
  while (host.currentSeat() == 2 && clock.step())
    for (auto& m : take(1)) at[clock.now].push_back(m);
  ASSERT_EQ(at.size(), 4u);
  EXPECT_EQ(at[750].size(), 10u);  // five flips, each after its letter
  EXPECT_EQ(at[750].back().substr(0, 13), "CMD_heflip+2+");
  EXPECT_NE(at[750].back().find("+t+0+"), std::string::npos);
  EXPECT_EQ(at[3750], (Messages{"CMD_heusebarletter+2+1+3+", "CMD_heusebarletter+2+2+1+",
                                "CMD_heusebarletter+2+3+20+", "CMD_heusebarletter+2+4+19+"}));
  EXPECT_EQ(at[6000], Messages{"CMD_hisword+2+cats+6+6+3+1+20+19"});
  EXPECT_EQ(at[10000], Messages{"CMD_nextplayer+1+"});
}

TEST_F(Computer, TheSlowPaceIsASecondAStep) {
  host.setBotSpeed(1000);
  toComputersTurn();
  EXPECT_EQ(computertimer.interval(), 1000);
  EXPECT_EQ(host.botStep(), BotStep::Flip);
  EXPECT_EQ(host.botCountdown(), 1);
}

TEST_F(Computer, TurnedOverCellsAreUsedBeforeBarLetters) {
  toComputersTurn("catsqqq", 'a');
  tickBot(1);
  clearAll();
  tickBot(4);
  const Messages got = take(1);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0], "CMD_heusebarletter+2+1+3+");
  EXPECT_TRUE(startsWith(got[1], "CMD_heuseboardletter+2+"));
  EXPECT_TRUE(got[1].find("+2+1+") != std::string::npos);
  tickBot(3);
  EXPECT_EQ(take(1), Messages{"CMD_hisword+2+cats+7+7+3+1+20+19"});
}

class ComputerWords : public Computer {
 protected:
  ComputerWords()
      : Computer(testRules(
            {"at", "eat", "sea", "tea", "east", "seat", "tease", "teases", "settees", "teatasse"},
            {"at", "east", "eat", "sea", "seat", "tea", "tease", "teases", "settees", "teatasse"})) {}
};

TEST_F(ComputerWords, WordsAreFourToSevenLetters) {
  join("Ann");
  start("Ann+100000+60+f+1+0+");
  say(1, "CMD_justwatch+1+1");
  pump();
  std::map<std::string, int> seen;
  for (int turn = 0; turn < 300 && host.gameRunning(); ++turn) {
    // Every word of the list can be spelled from this bar and board.
    HostProbe::setBar(host, host.currentSeat(), "settees");
    HostProbe::fillBoard(host, 'a');
    tickBot(8);
    for (const auto& m : take(1))
      if (startsWith(m, "CMD_hisword+")) {
        FieldReader r(std::string_view(m).substr(12));
        r.next();
        ++seen[std::string(r.next())];
      }
    tick1(4);
  }
  EXPECT_EQ(seen.size(), 5u);  // east seat tease teases settees
  for (const auto& [word, times] : seen) {
    EXPECT_GE(word.size(), 4u) << word;
    EXPECT_LE(word.size(), 7u) << word;
  }
}

class ComputerWithoutAWord : public Computer {
 protected:
  ComputerWithoutAWord() : Computer(testRules({"quiz"}, {"quiz"})) {}
};

TEST_F(ComputerWithoutAWord, PassesWhenNoWordCanBeSpelled) {
  toComputersTurn("eeeeeee", 'e');
  tickBot(1);
  clearAll();
  tickBot(4);
  EXPECT_EQ(take(1), Messages{"CMD_hepasses+2+"});
  EXPECT_EQ(host.phase(), TurnPhase::Pause);
  EXPECT_FALSE(computertimer.running());
}

class ComputerUnknownWord : public Computer {
 protected:
  ComputerUnknownWord() : Computer(testRules({}, {"cats"})) {}
};

TEST_F(ComputerUnknownWord, ARejectedWordLetsTheTurnRunOut) {
  toComputersTurn("catsqqq", 'q');
  clearAll();
  tickBot(8);
  EXPECT_EQ(count(take(1), "CMD_heusebarletter+2+"), 4);
  EXPECT_FALSE(computertimer.running());
  EXPECT_EQ(host.phase(), TurnPhase::Turn);
  EXPECT_EQ(host.countdown(), 64);  // the computer's ticks do not move the turn clock
  tick1(63);
  EXPECT_TRUE(take(1).empty());
  tick1(1);
  EXPECT_EQ(take(1), Messages{"CMD_timeup+2+"});
}

TEST_F(ComputerUnknownWord, AWatchingPlayerSeesHisSeatsWordBuiltAndRejected) {
  join("Ann");
  join("Bob");
  start();
  say(2, "CMD_justwatch+2+1");
  pump();
  HostProbe::setBar(host, 2, "cats");
  HostProbe::fillBoard(host, 'q');
  say(1, "CMD_hepass+1+");
  pump();
  tick1(4);
  clearAll();
  tickBot(8);
  const Messages bob = take(2);
  EXPECT_EQ(count(bob, "CMD_heflip+2+"), 5);
  EXPECT_EQ(count(bob, "CMD_heusebarletter+2+"), 4);
  EXPECT_EQ(bob.back(), "CMD_invalid+2+");
  EXPECT_EQ(count(take(1), "CMD_invalid"), 0);
}

TEST_F(Computer, APlayerWhoStopsWatchingTakesTheTurnBack) {
  join("Ann");
  join("Bob");
  start();
  say(2, "CMD_justwatch+2+1");
  pump();
  say(1, "CMD_hepass+1+");
  pump();
  tick1(4);
  ASSERT_TRUE(computertimer.running());
  say(2, "CMD_justwatch+2+2");
  pump();
  clearAll();
  tickBot(1);
  EXPECT_FALSE(computertimer.running());
  EXPECT_EQ(count(take(1), "CMD_heflip"), 0);
  EXPECT_EQ(host.flipsThisTurn(), 0);
}

}  // namespace
}  // namespace tw::test
