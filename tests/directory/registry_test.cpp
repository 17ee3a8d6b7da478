// The directory's core with a hand-driven clock: the host lines both ways,
// codes and their secrets, silence, limits, look-ups and the pages they serve.
#include <gtest/gtest.h>

#include <map>

#include "directory/directory_protocol.h"
#include "directory/lookup_pages.h"
#include "directory/probe_check.h"
#include "directory/registry.h"

namespace tw::dir {
namespace {

struct Recorder final : RegistryOutput {
  void send(int c, const std::string& line) override { sent[c].push_back(line); }
  void close(int c) override { closed.push_back(c); }
  void probe(int c, const std::string& address, int port, const std::string& nonce) override {
    probes.push_back({c, address + ":" + std::to_string(port), nonce});
  }
  struct Probe {
    int connection;
    std::string where, nonce;
  };
  std::map<int, std::vector<std::string>> sent;
  std::vector<int> closed;
  std::vector<Probe> probes;
};

struct Directory : ::testing::Test {
  MemoryStorage storage;
  Recorder out;
  std::uint64_t counter = 12345;
  Registry registry{storage, out, Limits{}, [this] { return counter = counter * 6364136223846793005ULL + 1; }};
  Lookups lookups{storage, Limits{}};

  Code enrolled(int c, const std::string& from, const Register& r, std::int64_t now = 0) {
    EXPECT_TRUE(registry.opened(c, from, now));
    registry.received(c, registerLine(r), now);
    const auto line = parseDirectoryLine(out.sent[c].at(0).substr(0, out.sent[c][0].size() - 1));
    return std::get<Code>(line);
  }
  static Register game(const std::string& title, bool isPublic = true) {
    return Register{kProtocol, 7772, isPublic, "1.0.4", "", "", title};
  }
};

TEST(DirectoryLines, RoundTripAndRefuseWhatIsNotAHostLine) {
  Register r{kProtocol, 7772, true, "1.0.4", "K7M2QX", std::string(32, 'a'), "Ann's\tgame\x01\n"};
  const std::string line = registerLine(r);
  ASSERT_EQ(line.back(), '\n');
  ASSERT_EQ(line.find('\n'), line.size() - 1);
  const auto back = std::get<Register>(parseHostLine(line.substr(0, line.size() - 1)));
  EXPECT_EQ(back.title, "Ann'sgame");
  EXPECT_EQ(back.code, "K7M2QX");
  EXPECT_TRUE(back.isPublic);
  const GameState s{4, 2, true, 3};
  EXPECT_EQ(std::get<State>(parseHostLine("STATE\t4\t2\tplaying\t3")).state, s);
  EXPECT_EQ(stateLine(s), "STATE\t4\t2\tplaying\t3\n");

  for (const char* bad : {"", "STATE\t7\t0\topen\t0", "STATE\t1\t0\tasleep\t0", "STATE\t1\t0\topen", "PING\tx",
                          "REGISTER\t2\t7772\tpublic\t1.0.4\t-\t-\tx", "REGISTER\t1\t0\tpublic\t1.0.4\t-\t-\tx",
                          "REGISTER\t1\t7772\tpublic\t1.0.4\tK7M2QX\t-\tx", "REGISTER\t1\t7772\tsecret\t1.0.4\t-\t-\tx",
                          "REGISTER\t1\t99999999999\tpublic\t1.0.4\t-\t-\tx", "HELLO"})
    EXPECT_TRUE(std::holds_alternative<BadLine>(parseHostLine(bad))) << bad;
  EXPECT_EQ(std::get<BadLine>(parseHostLine("REGISTER\t2\t1")).why, "protocol 2 is not spoken here (1 is)");
}

TEST(DirectoryLines, CodesAreShownGroupedAndReadAsTyped) {
  EXPECT_EQ(showCode("K7M2QX"), "K7M-2QX");
  EXPECT_EQ(readCode(" k7m-2qx "), "K7M2QX");
  for (const char* bad : {"K7M-2Q", "K7M-2QXX", "K0M-2QX", "KIM-2QX", "K1M-2QX", "KLM-2QX", "K7M/2QX"})
    EXPECT_FALSE(readCode(bad)) << bad;
}

TEST_F(Directory, RegistrationGetsACodeAndAProbeAndTheSecretGetsTheCodeBack) {
  const Code first = enrolled(1, "10.0.0.5", game("Ann"));
  EXPECT_TRUE(readCode(first.code));
  ASSERT_EQ(out.probes.size(), 1u);
  EXPECT_EQ(out.probes[0].where, "10.0.0.5:7772");

  // Unreachable: registered and found by its code, but not listed.
  registry.probed(1, false, "no answer", 0);
  EXPECT_EQ(out.sent[1].back(), "REACH\tunreachable\tno answer\n");
  EXPECT_TRUE(lookups.publicGames(0).empty());
  EXPECT_FALSE(std::get<Listing>(lookups.invite("1.2.3.4", showCode(first.code), 0)).reachable);

  // The connection drops; the host comes back with its secret, even to a fresh directory.
  registry.closed(1);
  EXPECT_TRUE(std::holds_alternative<Lookups::NotFound>(lookups.invite("1.2.3.4", first.code, 0)));
  Register again = game("Ann");
  again.code = first.code;
  again.secret = first.secret;
  EXPECT_EQ(enrolled(2, "10.0.0.5", again, 1000).code, first.code);
  MemoryStorage freshStorage;
  Registry fresh(freshStorage, out, Limits{}, [] { return 7; });
  fresh.opened(9, "10.0.0.5", 0);
  fresh.received(9, registerLine(again), 0);
  EXPECT_EQ(out.sent[9][0], codeLine(first));

  // Someone else's secret does not take the code.
  Register thief = again;
  thief.secret = std::string(32, 'b');
  EXPECT_NE(enrolled(3, "10.0.0.6", thief, 2000).code, first.code);
}

TEST_F(Directory, StatesListReachablePublicGamesAndSilenceEndsThem) {
  enrolled(1, "10.0.0.5", game("Ann"));
  enrolled(2, "10.0.0.6", game("Bob's friends", false));
  registry.probed(1, true, "", 0);
  registry.probed(2, true, "", 0);
  registry.received(1, "STATE\t3\t1\tplaying\t2\n", 10000);
  registry.received(2, "PI", 10000);
  registry.received(2, "NG\r\n", 20000);
  EXPECT_EQ(out.sent[2].back(), "PONG\n");

  auto listed = lookups.publicGames(20000);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].title, "Ann");
  EXPECT_EQ(listed[0].state, (GameState{3, 1, true, 2}));

  // Ann said nothing for 30 s after her state line; Bob pinged.
  registry.tick(39999);
  EXPECT_TRUE(out.closed.empty());
  registry.tick(40000);
  EXPECT_EQ(out.closed, std::vector<int>{1});
  EXPECT_EQ(out.sent[1].back(), "ERROR\tsilent for 30 s\n");
  EXPECT_TRUE(lookups.publicGames(40000).empty());
  EXPECT_EQ(registry.connections(), 1u);
}

TEST_F(Directory, HostileHostsGetAnErrorLineAndAreClosed) {
  const std::pair<const char*, const char*> cases[] = {
      {"STATE\t1\t0\topen\t0\n", "ERROR\tREGISTER first\n"},
      {"GET / HTTP/1.1\r\n", "ERROR\tunknown line\n"},
      {"REGISTER\t1\t7772\tpublic\t1.0.4\t-\t-\tx\nREGISTER\t1\t7772\tpublic\t1.0.4\t-\t-\tx\n",
       "ERROR\talready registered\n"},
  };
  int c = 100;
  for (const auto& [bytes, error] : cases) {
    registry.opened(++c, "10.0.0.9", 0);
    registry.received(c, bytes, 0);
    EXPECT_EQ(out.sent[c].back(), error);
    EXPECT_EQ(out.closed.back(), c);
  }
  registry.opened(++c, "10.0.0.9", 0);
  registry.received(c, std::string(100000, 'x'), 0);
  EXPECT_EQ(out.sent[c].back(), "ERROR\tline longer than 512 bytes\n");
  EXPECT_EQ(registry.connections(), 0u);

  // At most 10 from one address; a closed one makes room.
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(registry.opened(200 + i, "10.0.0.7", 0));
  EXPECT_FALSE(registry.opened(300, "10.0.0.7", 0));
  EXPECT_EQ(out.sent[300].back(), "ERROR\tat most 10 games from one address\n");
  EXPECT_TRUE(registry.opened(301, "10.0.0.8", 0));
  registry.closed(205);
  EXPECT_TRUE(registry.opened(302, "10.0.0.7", 0));
}

TEST_F(Directory, InviteLookUpsAreLimitedPerAddressAndMinute) {
  const Code c = enrolled(1, "10.0.0.5", game("Ann", false));
  for (int i = 0; i < 29; ++i) lookups.invite("6.6.6.6", "AAA-AAA", 1000);
  EXPECT_TRUE(std::holds_alternative<Listing>(lookups.invite("6.6.6.6", c.code, 1000)));
  EXPECT_TRUE(std::holds_alternative<Lookups::TooMany>(lookups.invite("6.6.6.6", c.code, 1000)));
  EXPECT_TRUE(std::holds_alternative<Listing>(lookups.invite("7.7.7.7", c.code, 1000)));
  registry.received(1, "PING\n", 60000);
  EXPECT_TRUE(std::holds_alternative<Listing>(lookups.invite("6.6.6.6", c.code, 61000)));
}

TEST(DirectoryPages, HostTextIsEscapedForJsonAndHtml) {
  Listing g{"K7M2QX", "<script>\"x\"\\ & caf\xE9", "10.0.0.5", 7772, true, true, {2, 1, false, 3}, "1.0.4", 0};
  const std::string json = gamesJson({g}, 125000);
  EXPECT_EQ(json,
            "{\"games\":[{\"title\":\"\\u003cscript\\u003e\\\"x\\\"\\\\ \\u0026 caf\xC3\xA9\",\"address\":"
            "\"10.0.0.5\",\"port\":7772,\"seats\":2,\"watchers\":1,\"state\":\"open\",\"level\":3,\"version\":"
            "\"1.0.4\",\"age\":125}]}\n");
  const std::string page = homePage({g}, 125000, 7790);
  EXPECT_NE(page.find("&lt;script&gt;&quot;x&quot;\\ &amp; caf\xC3\xA9"), std::string::npos);
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_NE(inviteJson(g).find("\"code\":\"K7M-2QX\""), std::string::npos);
}

TEST(DirectoryProbe, OnlyTheNonceOfThisRegistrationCounts) {
  ProbeCheck check("abc123");
  EXPECT_EQ(check.request(), "CMD_dirprobe+abc123\xFF");
  EXPECT_EQ(check.feed("CMD_sendlogininfo+1\xFF" "CMD_dirpro"), ProbeCheck::Result::Waiting);
  EXPECT_EQ(check.feed("bed+abc123\xFF"), ProbeCheck::Result::Reached);

  ProbeCheck other("abc123");
  EXPECT_EQ(other.feed("CMD_dirprobed+zzz\xFF"), ProbeCheck::Result::Failed);
  ProbeCheck chatty("abc123");
  EXPECT_EQ(chatty.feed(std::string(5000, 'x')), ProbeCheck::Result::Failed);
}

}  // namespace
}  // namespace tw::dir
