// Limits by address: idle connections from one address, players of one
// address, and the ban on a removed player's address, on a manual clock.
#include <gtest/gtest.h>

#include <algorithm>

#include "host_fixture.h"

namespace tw::test {
namespace {

using Messages = std::vector<std::string>;

class KeepOut : public HostFixture {
 protected:
  bool refused(const std::string& from) {
    transport.sent.erase(TServer::kRefusedSlot);
    return connect(from) == TServer::kRefusedSlot && take(TServer::kRefusedSlot) == Messages{"CMD_full+"} &&
           transport.closed[TServer::kRefusedSlot];
  }
  std::size_t logLines(const std::string& text) const {
    return std::size_t(std::count_if(
        log.begin(), log.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; }));
  }
};

TEST_F(KeepOut, OneAddressMayKeepOnlyAFewConnectionsWaitingAndTheOperatorMayCapItsPlayers) {
  const std::string mal = "198.51.100.9";
  EXPECT_EQ(connect(mal), 1);  // seat 1 is outside the limits and counts for none
  EXPECT_EQ(connect(mal), 2);
  EXPECT_EQ(connect(mal), 3);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(refused(mal));
  EXPECT_EQ(logLines("connection from " + mal + " refused"), 1u);
  EXPECT_EQ(connect("203.0.113.5"), 4);
  say(2, "CMD_logininfo+2+1.0.4+Mal");
  pump();
  EXPECT_EQ(connect(mal), 5);  // one of the two has logged in
  EXPECT_TRUE(refused(mal));
  EXPECT_EQ(logLines("connection from " + mal + " refused"), 2u);

  // Friends behind one router are not limited until the operator says so.
  host.setAddressLimits({0, 2, 10});
  const std::string home = "203.0.113.7";
  for (int slot : {connect(home), connect(home)})
    say(slot, "CMD_logininfo+" + std::to_string(slot) + "+1.0.4+Amy");
  pump();
  EXPECT_TRUE(refused(home));
  EXPECT_TRUE(logged(home + " refused: 2 players come from that address"));
}

TEST_F(KeepOut, ARemovedPlayersAddressGetsNoSeatUntilLetBackInOrItsTimeIsUp) {
  int changes = 0;
  host.setBansChanged([&] { ++changes; });
  join("Ann");
  const std::string bob = "198.51.100.20";
  connect(bob);
  say(2, "CMD_logininfo+2+1.0.4+Bob");
  say(1, "CMD_kickhim+1+2+");
  pump();
  EXPECT_TRUE(refused(bob));  // under any name: the address is kept out
  EXPECT_TRUE(refused(bob));
  EXPECT_EQ(logLines(bob), 2u);  // connected, then kept out; refusals are quiet
  EXPECT_TRUE(logged(bob + " gets no seat for 10 minutes (Bob was removed)"));
  EXPECT_EQ(changes, 1);

  EXPECT_TRUE(host.letBackIn(bob));
  EXPECT_EQ(changes, 2);
  EXPECT_FALSE(bantimer.running());
  EXPECT_EQ(connect(bob), 2);
  say(2, "CMD_logininfo+2+1.0.4+Rob");
  say(1, "CMD_kickhim+1+2+");
  pump();

  // Ten minutes, counted by the ban timer; a kick from seat 1's own address bans nobody.
  ASSERT_TRUE(bantimer.running());
  for (int i = 0; i < 10 * 60000 / bantimer.interval(); ++i) host.bantimerTimer();
  EXPECT_TRUE(refused(bob));
  host.bantimerTimer();
  EXPECT_FALSE(bantimer.running());
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(connect(bob), 2);
  join("Cy");
  say(1, "CMD_kickhim+1+3+");
  pump();
  EXPECT_TRUE(host.bans().empty());
  EXPECT_EQ(connect(), 3);
}

}  // namespace
}  // namespace tw::test
