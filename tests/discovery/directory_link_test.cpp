// The host's directory link against the directory's registry, both plain,
// wired to each other by hand: registering, states, drops and the same code
// back, backoff, and a directory that stops answering.
#include <gtest/gtest.h>

#include <map>

#include "directory/registry.h"
#include "discovery/directory_link.h"
#include "support/manual_timer.h"

namespace tw {
namespace {

struct Wire final : DirectoryLinkOutput, dir::RegistryOutput {
  // Host side.
  void open() override {
    ++opens;
    if (directoryUp) {
      ++connection;
      registry->opened(connection, "10.0.0.5", now);
      link->connected();
    }
  }
  void send(const std::string& line) override {
    // A directory older than RECHECK takes it for a line it does not know.
    const bool old = olderDirectory && line.rfind("RECHECK", 0) == 0;
    if (registry && directoryUp) registry->received(connection, old ? "HELLO\n" : line, now);
  }
  void close() override {}
  void codeGiven(const std::string& code) override { codes.push_back(code); }
  void reachability(const Reachability& how) override {
    using Way = Reachability::Way;
    reach.push_back(how.way == Way::Direct       ? "direct"
                    : how.way == Way::PortMapped ? "mapped"
                    : how.way == Way::Relayed    ? "relayed" + how.relay
                                                 : how.why);
  }
  void openRelay(const std::string& token) override { tokens.push_back(token); }
  void log(const std::string& line) override { logs.push_back(line); }
  // Directory side.
  void send(int c, const std::string& line) override {
    heard[c].push_back(line);
    if (c == connection) link->received(line);
  }
  void close(int) override {}
  void probe(int c, const std::string&, int port, const std::string&) override {
    probes.push_back(port);
    if (!holdProbes) registry->probed(c, port == reachablePort, "no answer", now);
  }
  void releaseProbe() { registry->probed(connection, probes.back() == reachablePort, "no answer", now); }
  std::optional<std::string> relay(int, int port) override {
    relayPorts.push_back(port);
    return "203.0.113.1";
  }
  void unrelay(int c) override { unrelayed.push_back(c); }
  void joined(int c, const std::string& token, std::string_view rest) override {
    joins.push_back(std::to_string(c) + " " + token + " " + std::string(rest));
  }

  dir::Registry* registry = nullptr;
  DirectoryLink* link = nullptr;
  bool directoryUp = true;
  int connection = 0;
  std::int64_t now = 0;
  int opens = 0;
  int reachablePort = 7772;
  bool holdProbes = false;
  bool olderDirectory = false;
  std::vector<int> probes;
  std::vector<std::string> codes, reach, logs, tokens, joins;
  std::map<int, std::vector<std::string>> heard;
  std::vector<int> relayPorts, unrelayed;
};

struct LinkAndDirectory : ::testing::Test {
  Wire wire;
  dir::MemoryStorage storage;
  std::uint64_t n = 99;
  dir::Registry registry{storage, wire, dir::Limits{}, [this] { return n = n * 6364136223846793005ULL + 1; }};
  dir::Lookups lookups{storage, dir::Limits{}};
  test::ManualTimer ping, retry;
  DirectoryLink link{wire, ping, retry, 7772, true, "Ann\x01's game"};
  void SetUp() override {
    wire.registry = &registry;
    wire.link = &link;
  }
};

TEST_F(LinkAndDirectory, TheHostIsListedWithItsStateAndKeepsItsCodeAcrossDrops) {
  link.publish({2, 0, false, 0});
  link.start();
  ASSERT_EQ(wire.codes.size(), 1u);
  EXPECT_EQ(wire.reach, std::vector<std::string>{"direct"});
  auto listed = lookups.publicGames(0);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].title, "Ann's game");
  EXPECT_EQ(listed[0].state, (dir::GameState{2, 0, false, 0}));
  link.publish({3, 1, true, 2});
  EXPECT_EQ(lookups.publicGames(0)[0].state, (dir::GameState{3, 1, true, 2}));

  // The directory restarts with nothing: the host comes back, with backoff, to the same code.
  wire.directoryUp = false;
  registry.closed(wire.connection);
  dir::MemoryStorage freshStorage;
  dir::Registry fresh(freshStorage, wire, dir::Limits{}, [] { return 5; });
  wire.registry = &fresh;
  link.dropped("connection reset");
  EXPECT_TRUE(retry.running());
  EXPECT_EQ(retry.interval(), 1000);
  link.retryTimerTimer();
  link.dropped("connection refused");
  EXPECT_EQ(retry.interval(), 2000);
  wire.directoryUp = true;
  link.retryTimerTimer();
  EXPECT_EQ(wire.codes.size(), 1u);
  EXPECT_TRUE(link.online());
  auto back = dir::Lookups(freshStorage, dir::Limits{}).invite("1.1.1.1", link.code(), 0);
  ASSERT_TRUE(std::holds_alternative<dir::Listing>(back));
  EXPECT_EQ(std::get<dir::Listing>(back).state, (dir::GameState{3, 1, true, 2}));
  EXPECT_EQ(link.nextRetryMs(), DirectoryLink::kFirstRetryMs);
}

TEST_F(LinkAndDirectory, PingsKeepTheGameAndADeafDirectoryIsLeft) {
  link.start();
  for (int i = 1; i <= 5; ++i) {
    wire.now = i * dir::kPingMs;
    link.pingTimerTimer();
    registry.tick(wire.now);
  }
  EXPECT_EQ(lookups.publicGames(wire.now).size(), 1u);

  // The directory hears the pings but answers nothing.
  wire.directoryUp = false;
  for (int i = 0; i < DirectoryLink::kUnansweredPings + 1; ++i) link.pingTimerTimer();
  EXPECT_FALSE(link.online());
  EXPECT_TRUE(retry.running());

  // Refusals and garbage: a refusal waits and tries again, garbage is ignored.
  wire.directoryUp = true;
  link.retryTimerTimer();
  link.received("CODE\tnonsense\nREACH\tsideways\n");
  EXPECT_TRUE(link.online());
  link.received("ERROR\tat most 10 games from one address\n");
  EXPECT_FALSE(link.online());
  EXPECT_NE(wire.logs.back().find("refused: at most 10 games from one address"), std::string::npos);
  link.received(std::string(600, 'x'));
  link.stop();
  EXPECT_FALSE(retry.running());
  EXPECT_FALSE(ping.running());
}

TEST_F(LinkAndDirectory, TheRoutersOpeningIsCheckedAgainAtItsPortEvenByAnOlderDirectory) {
  const auto listedPort = [&] { return std::get<dir::Listing>(lookups.invite("1.1.1.1", link.code(), 0)).port; };
  wire.reachablePort = 40000;
  link.start();
  EXPECT_EQ(wire.reach, std::vector<std::string>{"no answer"});
  link.setMappedPort(40000);
  EXPECT_EQ(wire.reach.back(), "mapped");
  EXPECT_EQ(listedPort(), 40000);

  // Checks run one at a time: one asked for during another runs after it, at the latest port.
  wire.holdProbes = true;
  link.setMappedPort(0);
  link.setMappedPort(40001);
  link.setMappedPort(40000);
  EXPECT_EQ(wire.probes, (std::vector<int>{7772, 40000, 7772}));
  wire.releaseProbe();
  EXPECT_EQ(wire.probes.back(), 40000);
  wire.releaseProbe();
  EXPECT_EQ(wire.reach, (std::vector<std::string>{"no answer", "mapped", "no answer", "mapped"}));
  wire.holdProbes = false;

  // An older directory refuses RECHECK; registering again with the code checks the new port.
  wire.olderDirectory = true;
  wire.reachablePort = 40002;
  link.setMappedPort(40002);
  EXPECT_FALSE(link.online());
  link.retryTimerTimer();
  EXPECT_TRUE(link.online());
  EXPECT_EQ(wire.codes.size(), 1u);
  EXPECT_EQ(wire.reach.back(), "mapped");
  EXPECT_EQ(listedPort(), 40002);

  for (const char* bad : {"RECHECK", "RECHECK\t0", "RECHECK\t65536", "RECHECK\t7772\t1", "RECHECK\t-1"})
    EXPECT_TRUE(std::holds_alternative<dir::BadLine>(dir::parseHostLine(bad))) << bad;
}

TEST(DirectoryRelay, AnUnreachableGameIsRelayedWithinTheLimitsAndItsPortIsFreedWhenItLeaves) {
  Wire wire;
  dir::MemoryStorage storage;
  dir::Limits limits;
  limits.firstRelayPort = limits.lastRelayPort = 20000;
  std::uint64_t n = 7;
  dir::Registry registry{storage, wire, limits, [&] { return n = n * 6364136223846793005ULL + 1; }};
  dir::Lookups lookups{storage, limits};
  test::ManualTimer ping, retry;
  wire.registry = &registry;

  // A host that knows nothing of the relay ignores the offer: unreachable, unlisted, as before.
  DirectoryLink old{wire, ping, retry, 4000, true, "Old"};
  wire.link = &old;
  old.start();
  EXPECT_EQ(wire.reach, std::vector<std::string>{"no answer"});
  EXPECT_EQ(wire.heard[1].back(), "RELAY\n");
  EXPECT_EQ(registry.relayed(), 0u);
  EXPECT_TRUE(lookups.publicGames(0).empty());
  old.stop();
  registry.closed(1);

  // One that can be relayed takes the offer; the invite and the list point to the relay.
  DirectoryLink ann{wire, ping, retry, 4000, true, "Ann"};
  ann.setRelayable(true);
  wire.link = &ann;
  wire.reach.clear();
  ann.start();
  EXPECT_EQ(wire.reach, (std::vector<std::string>{"no answer", "relayed:20000"}));
  ASSERT_EQ(lookups.publicGames(0).size(), 1u);
  EXPECT_EQ(lookups.publicGames(0)[0].address, "203.0.113.1");
  EXPECT_EQ(lookups.publicGames(0)[0].port, 20000);

  // A player at the relay: the host is asked for a connection, which says JOIN first.
  const std::string token(32, 'c');
  ann.received(dir::openLine(token));
  EXPECT_EQ(wire.tokens, std::vector<std::string>{token});
  registry.opened(50, "10.0.0.5", 0);
  registry.received(50, dir::joinLine(token) + "CMD_sendlogininfo+2\xFF", 0);
  EXPECT_EQ(wire.joins, std::vector<std::string>{"50 " + token + " CMD_sendlogininfo+2\xFF"});
  EXPECT_EQ(registry.connections(), 1u);

  // No port is left for a second game: registered and told why, not listed.
  registry.opened(60, "10.0.0.6", 0);
  registry.received(60, dir::registerLine({dir::kProtocol, 4001, true, "1.0.4", "", "", "Bob"}), 0);
  registry.received(60, "RELAY\n", 0);
  EXPECT_EQ(wire.heard[60].back(), "REACH\tunreachable\tthe directory's relay is refused: no relay port is free\n");
  EXPECT_EQ(registry.connections(), 2u);
  // Hostile: RELAY again without an offer, JOIN on a registration, a JOIN without a token.
  registry.received(60, "RELAY\n", 0);
  EXPECT_EQ(wire.heard[60].back(), "ERROR\tRELAY without an offer\n");
  for (const std::string& line : std::vector<std::string>{"REGISTER\t1\t1\tpublic\t1\t-\t-\tx\nJOIN\t" + token + "\n", "JOIN\tnope\n"}) {
    registry.opened(70, "10.0.0.7", 0);
    registry.received(70, line, 0);
    EXPECT_EQ(wire.heard[70].back().rfind("ERROR\t", 0), 0u) << wire.heard[70].back();
  }
  EXPECT_EQ(wire.joins.size(), 1u);

  // Ann leaves: her port closes and goes to the next game, within the limit of relayed games.
  ann.stop();
  registry.closed(wire.connection);
  EXPECT_EQ(wire.unrelayed, std::vector<int>{wire.connection});
  registry.opened(80, "10.0.0.8", 0);
  registry.received(80, dir::registerLine({dir::kProtocol, 4002, true, "1.0.4", "", "", "Cat"}), 0);
  registry.received(80, "RELAY\n", 0);
  EXPECT_EQ(wire.heard[80].back(), "REACH\trelayed\t20000\n");
  EXPECT_EQ(wire.relayPorts, (std::vector<int>{20000, 20000}));

  // Her router opens the port after all: a check that fails keeps her relayed, one that
  // reaches her lists her directly, and the relay's port is free again.
  registry.received(80, "RECHECK\t4003\n", 0);
  EXPECT_EQ(wire.heard[80].back(), "REACH\trelayed\t20000\n");
  EXPECT_EQ(lookups.publicGames(0).at(0).port, 20000);
  wire.reachablePort = 4003;
  registry.received(80, "RECHECK\t4003\n", 0);
  EXPECT_EQ(wire.heard[80].back(), "REACH\tdirect\n");
  EXPECT_EQ(wire.unrelayed, (std::vector<int>{wire.connection, 80}));
  EXPECT_EQ(registry.relayed(), 0u);
  ASSERT_EQ(lookups.publicGames(0).size(), 1u);
  EXPECT_EQ(lookups.publicGames(0)[0].address, "10.0.0.8");
  EXPECT_EQ(lookups.publicGames(0)[0].port, 4003);
}

TEST(DirectoryState, AListingBecomesABoundedStateLine) {
  EXPECT_EQ(directoryState({"x", 7772, 9, 7, true, "Club"}), (dir::GameState{6, 3, true, 2}));
  EXPECT_EQ(directoryState({"x", 7772, 2, 0, false, ""}), (dir::GameState{2, 0, false, 0}));
  EXPECT_EQ(dir::stateLine(directoryState({"x", 1, -1, -1, false, "Expert"})), "STATE\t0\t0\topen\t3\n");
}

}  // namespace
}  // namespace tw
