// Limits by address: idle connections from one address, players of one
// address, and the ban on a removed player's address, on a manual clock.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/host_fixture.h"

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
  say(2, "CMD_logininfo+2+" + std::string(kVersion) + "+Mal");
  pump();
  EXPECT_EQ(connect(mal), 5);  // one of the two has logged in
  EXPECT_TRUE(refused(mal));
  EXPECT_EQ(logLines("connection from " + mal + " refused"), 2u);

  // The operator may cap the players of one address lower than the default.
  host.setAddressLimits({0, 2, 10});
  const std::string home = "203.0.113.7";
  for (int slot : {connect(home), connect(home)})
    say(slot, "CMD_logininfo+" + std::to_string(slot) + "+" + std::string(kVersion) + "+Amy");
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
  say(2, "CMD_logininfo+2+" + std::string(kVersion) + "+Bob");
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
  say(2, "CMD_logininfo+2+" + std::string(kVersion) + "+Rob");
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

TEST_F(KeepOut, AddressesCountByMachineAndARemovedPlayerStaysOutOverEitherFamily) {
  EXPECT_EQ(addressGroup("2001:db8:5:6:a::1"), "2001:db8:5:6::/64");
  EXPECT_EQ(addressGroup("2001:DB8:5:6:ffff:ffff:ffff:ffff"), "2001:db8:5:6::/64");
  EXPECT_EQ(addressGroup("::ffff:192.0.2.7"), "192.0.2.7");
  EXPECT_EQ(addressGroup("fe80::1%eth0"), "fe80:0:0:0::/64");
  for (const char* odd : {"192.0.2.7", "", "::ffff:1.2.3", "1::2::3", "not:an:address%", "%"})
    EXPECT_EQ(addressGroup(odd), odd);

  // By default one address (an IPv6 one by its /64) holds at most four slots.
  join("Ann");
  for (int n = 1; n <= 4; ++n) {
    const int slot = connect("2001:db8:5:6::" + std::to_string(n));
    say(slot, "CMD_logininfo+" + std::to_string(slot) + "+" + std::string(kVersion) + "+Amy");
    pump();
  }
  EXPECT_TRUE(refused("2001:db8:5:6:ffff::9"));
  EXPECT_EQ(connect("2001:db8:5:7::1"), 6);

  // Bob was seen over IPv4, then plays over IPv6: his removal keeps both out.
  int changes = 0;
  host.setBansChanged([&] { ++changes; });
  const int v4 = connect("198.51.100.7");
  say(v4, "CMD_logininfo+" + std::to_string(v4) + "+" + std::string(kVersion) + "+Bob");
  pump();
  host.tempsockInfo(v4);
  const int v6 = connect("2001:db8:7:7::1");
  say(v6, "CMD_logininfo+" + std::to_string(v6) + "+" + std::string(kVersion) + "+Bob");
  pump();
  say(1, "CMD_kickhim+1+" + std::to_string(v6) + "+");
  pump();
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(refused("198.51.100.7"));
  EXPECT_TRUE(refused("::ffff:198.51.100.7"));
  EXPECT_TRUE(refused("2001:db8:7:7:abcd::2"));
  // From an address never seen, his name is refused and that address kept out too.
  const int fresh = connect("203.0.113.50");
  ASSERT_NE(fresh, TServer::kRefusedSlot);
  clearAll();
  say(fresh, "CMD_logininfo+" + std::to_string(fresh) + "+" + std::string(kVersion) + "+Bob");
  pump();
  EXPECT_EQ(take(fresh), Messages{"CMD_full+"});
  EXPECT_TRUE(transport.closed[fresh]);
  EXPECT_EQ(take(1), Messages{"CMD_playerdisconnected+" + std::to_string(fresh) + "+"});  // nobody was announced
  EXPECT_TRUE(refused("203.0.113.50"));
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(connect("203.0.113.51"), fresh);  // others are welcome

  // Lifting the bans lets the name back in too.
  for (const std::string a : {"198.51.100.7", "2001:db8:7:7::1", "203.0.113.50"}) EXPECT_TRUE(host.letBackIn(a));
  say(fresh, "CMD_logininfo+" + std::to_string(fresh) + "+" + std::string(kVersion) + "+Bob");
  pump();
  EXPECT_EQ(host.seat(fresh).name, "Bob");
}

}  // namespace
}  // namespace tw::test
