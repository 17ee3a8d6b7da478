// The directory over real loopback sockets: a host registers, is probed on
// its game port without anyone there seeing it, and is found over HTTP; and
// the storage contract against memory and a real redis-server.
#include <gtest/gtest.h>
#include <httplib.h>

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

#include "directory_service.h"
#include "host_service.h"
#include "loopback.h"
#include "proxy_line.h"
#include "redis_server.h"

namespace tw::dir {
namespace {

using test::waitUntil;
using test::freePort;
using test::RedisServer;

// A host's registration connection, spoken by hand.
struct Registrant {
  explicit Registrant(quint16 port) {
    QObject::connect(&socket, &QTcpSocket::readyRead, [this] {
      reader.feed(socket.readAll().toStdString(), [this](std::string_view l) { lines.emplace_back(l); });
    });
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
  }
  void say(const std::string& line) { socket.write(line.data(), qint64(line.size())); }
  bool waitFor(std::size_t n) { return waitUntil([&] { return lines.size() >= n; }); }
  QTcpSocket socket;
  LineReader reader;
  std::vector<std::string> lines;
};

TEST(DirectoryLoopback, AHostIsCheckedOnItsGamePortUnseenAndFoundOverHttp) {
  test::qtApp();
  HostService host([](const std::string&) {});
  ASSERT_TRUE(host.listen(0));
  auto ann = test::Peer::join(host.port(), "Ann");
  const std::size_t annHeard = ann->received.size();

  MemoryStorage storage;
  DirectoryService directory(storage, Limits{});
  ASSERT_TRUE(directory.listen(0));
  LookupServer lookups(storage, Limits{}, directory.port(), 0);
  std::string error;
  ASSERT_TRUE(lookups.start("127.0.0.1", 0, error)) << error;

  Registrant reg(directory.port());
  reg.say(registerLine({kProtocol, host.port(), true, "1.0.4", "", "", "Ann's <table>"}));
  ASSERT_TRUE(reg.waitFor(2));
  const auto code = std::get<Code>(parseDirectoryLine(reg.lines[0]));
  EXPECT_EQ(reg.lines[1], "REACH\tdirect");
  reg.say(stateLine({1, 0, false, 0}));

  // Seat 1 saw nothing of the check, and the next player still gets seat 2.
  test::spin(200);
  EXPECT_EQ(ann->received.size(), annHeard);
  EXPECT_EQ(test::Peer::join(host.port(), "Bob")->seat(), 2);

  httplib::Client http("127.0.0.1", lookups.port());
  auto list = http.Get("/games.json");
  ASSERT_TRUE(list);
  EXPECT_NE(list->body.find("\"title\":\"Ann's \\u003ctable\\u003e\",\"address\":\"127.0.0.1\",\"port\":" +
                            std::to_string(host.port()) + ",\"seats\":1"),
            std::string::npos)
      << list->body;
  auto invite = http.Get(("/invite/" + showCode(code.code)).c_str());
  ASSERT_TRUE(invite);
  EXPECT_EQ(invite->status, 200);
  EXPECT_NE(invite->body.find("\"port\":" + std::to_string(host.port())), std::string::npos);
  EXPECT_EQ(http.Get("/invite/AAA-AAA")->status, 404);
  EXPECT_NE(http.Get("/")->body.find("Ann&#39;s &lt;table&gt;"), std::string::npos);

  // A port where no host answers: told why, and not listed.
  Registrant nowhere(directory.port());
  nowhere.say(registerLine({kProtocol, freePort(), true, "1.0.4", "", "", "Nobody"}));
  ASSERT_TRUE(nowhere.waitFor(2));
  EXPECT_EQ(nowhere.lines[1].rfind("REACH\tunreachable\tno answer on port", 0), 0u) << nowhere.lines[1];
  EXPECT_EQ(http.Get("/games.json")->body.find("Nobody"), std::string::npos);

  // The host leaves: so does its game.
  reg.socket.disconnectFromHost();
  waitUntil([&] { return storage.games(wallClockMs()).size() == 1; });
  EXPECT_EQ(http.Get("/games.json")->body, "{\"games\":[]}\n");
  lookups.stop();
}

// A game behind a router, relayed by an in-process directory; the test plays
// its host by hand: it takes the relay, and the player's connection on OPEN.
struct RelayedGame {
  explicit RelayedGame(Limits limits) : directory(storage, withRelayPort(limits)), reg((directory.listen(0), directory.port())) {
    reg.say(registerLine({kProtocol, freePort(), true, "1.0.4", "", "", "Behind"}));
    reg.waitFor(3);
    EXPECT_EQ(reg.lines.at(2), "RELAY");
    reg.say("RELAY\n");
    reg.waitFor(4);
    EXPECT_EQ(reg.lines.at(3), "REACH\trelayed\t" + std::to_string(port));
    player.bind(QHostAddress(QStringLiteral("127.0.0.5")));
    player.connectToHost(QStringLiteral("127.0.0.1"), port);
    reg.waitFor(5);
    const auto open = std::get<Open>(parseDirectoryLine(reg.lines.at(4)));
    // A stalled reader: what it does not read stays in the system's buffers.
    host.setReadBufferSize(1024);
    host.connectToHost(QStringLiteral("127.0.0.1"), directory.port());
    const std::string join = joinLine(open.token);
    host.write(join.data(), qint64(join.size()));
    waitUntil([&] { return host.bytesAvailable() > 0 && host.canReadLine(); });
    const QByteArray line = host.readLine();
    proxy = readProxyLine(std::string_view(line.constData(), std::size_t(line.size())));
  }
  Limits withRelayPort(Limits limits) {
    limits.firstRelayPort = limits.lastRelayPort = port;
    return limits;
  }
  quint16 port = freePort();
  MemoryStorage storage;
  DirectoryService directory;
  Registrant reg;
  QTcpSocket player, host;
  ProxyLine proxy;
};

TEST(DirectoryRelay, AFloodIntoAStalledReaderIsHeldBackAndArrivesWholeInOrder) {
  test::qtApp();
  Limits limits;
  limits.relayBytesPerSecond = 0;
  RelayedGame game(limits);
  ASSERT_EQ(game.proxy.status, ProxyLine::Status::Ok) << game.proxy.why;
  EXPECT_EQ(game.proxy.source, "127.0.0.5");
  EXPECT_EQ(game.proxy.destinationPort, game.port);

  // A JOIN that nobody waits for is cut off.
  QTcpSocket stranger;
  stranger.connectToHost(QStringLiteral("127.0.0.1"), game.directory.port());
  stranger.write(joinLine(std::string(kTokenLength, 'a')).c_str());
  EXPECT_TRUE(waitUntil([&] { return stranger.state() == QAbstractSocket::UnconnectedState; }));

  constexpr int kTotal = 32 << 20;  // more than the system's buffers on the way take in
  QByteArray flood(kTotal, '\0');
  for (int i = 0; i < kTotal; ++i) flood[i] = char(i % 251);
  game.player.write(flood);
  qint64 most = 0;
  waitUntil([&] {
    most = std::max(most, game.directory.relay().buffered());
    return false;
  }, 1000);
  EXPECT_GT(most, 0);
  EXPECT_LE(most, 6 * Relay::kBound);
  EXPECT_GT(game.player.bytesToWrite(), 0);  // held back, not taken in

  // The reader wakes: every byte, in order, and back the other way too.
  game.host.setReadBufferSize(0);
  QByteArray got;
  waitUntil([&] {
    got += game.host.readAll();
    most = std::max(most, game.directory.relay().buffered());
    return got.size() >= kTotal;
  }, 60000);
  EXPECT_EQ(got.size(), kTotal);
  EXPECT_TRUE(got == flood);
  EXPECT_LE(most, 6 * Relay::kBound);
  game.host.write("CMD_sendlogininfo+2\xFF");
  EXPECT_TRUE(waitUntil([&] { return game.player.bytesAvailable() == 20; }));

  // The host leaves: the player is cut off and the port is free for the next game.
  game.reg.socket.disconnectFromHost();
  EXPECT_TRUE(waitUntil([&] { return game.player.state() == QAbstractSocket::UnconnectedState; }));
  EXPECT_EQ(game.directory.relay().games(), 0u);
}

TEST(DirectoryRelay, AGameIsCarriedNoFasterThanItsCap) {
  test::qtApp();
  Limits limits;
  limits.relayBytesPerSecond = 32 * 1024;
  RelayedGame game(limits);
  game.host.setReadBufferSize(0);
  // The first second's worth at once; the rest no sooner than the cap allows.
  QElapsedTimer clock;
  clock.start();
  game.player.write(QByteArray(48 * 1024, 'x'));
  QByteArray got;
  EXPECT_TRUE(waitUntil([&] { return (got += game.host.readAll()).size() == 48 * 1024; }, 10000));
  EXPECT_GE(clock.elapsed(), 400);
}

class StorageContract : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) {
      redis_ = std::make_unique<RedisServer>();
      std::string error;
      storage_ = openRedisStorage(redis_->url(), error);
      ASSERT_TRUE(storage_) << error;
    } else {
      storage_ = std::make_unique<MemoryStorage>();
    }
  }
  std::unique_ptr<RedisServer> redis_;
  std::unique_ptr<Storage> storage_;
};

TEST_P(StorageContract, CodesAreClaimedOnceAndGamesLiveUntilSilent) {
  const std::int64_t now = wallClockMs();
  Storage& s = *storage_;
  EXPECT_TRUE(s.claimCode("K7M2QX", "secret-a", now));
  EXPECT_TRUE(s.claimCode("K7M2QX", "secret-a", now));
  EXPECT_FALSE(s.claimCode("K7M2QX", "secret-b", now));

  Listing a{"K7M2QX", "caf\xE9 \"1\"", "10.0.0.5", 7772, true, true, {3, 1, true, 2}, "1.0.4", now - 5000};
  Listing b{"ABCDEF", "B", "10.0.0.6", 7773, false, false, {}, "1.0.4", now - 1000};
  s.putGame(b, now);
  s.putGame(a, now);
  EXPECT_EQ(s.game("K7M2QX", now), a);
  EXPECT_EQ(s.games(now), (std::vector<Listing>{a, b}));
  EXPECT_FALSE(s.game("ZZZZZZ", now));
  s.removeGame("ABCDEF");
  EXPECT_EQ(s.games(now), std::vector<Listing>{a});
  // The silence time passes without a word from the host.
  EXPECT_TRUE(s.games(now + kSilenceMs + 1).empty());
}

INSTANTIATE_TEST_SUITE_P(MemoryAndRedis, StorageContract, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Redis" : "Memory"; });

TEST(DirectoryRedis, TwoDirectoriesShareOneListAndCodes) {
  test::qtApp();
  RedisServer redis;
  std::string error;
  auto first = openRedisStorage(redis.url(), error);
  auto second = openRedisStorage(redis.url(), error);
  ASSERT_TRUE(first && second) << error;
  HostService host([](const std::string&) {});
  ASSERT_TRUE(host.listen(0));
  DirectoryService directory(*first, Limits{});
  ASSERT_TRUE(directory.listen(0));
  LookupServer otherLookups(*second, Limits{}, 7790, 0);
  ASSERT_TRUE(otherLookups.start("127.0.0.1", 0, error)) << error;

  Registrant reg(directory.port());
  reg.say(registerLine({kProtocol, host.port(), false, "1.0.4", "", "", "Invited only"}));
  ASSERT_TRUE(reg.waitFor(2));
  const auto code = std::get<Code>(parseDirectoryLine(reg.lines[0]));
  httplib::Client http("127.0.0.1", otherLookups.port());
  auto invite = http.Get(("/invite/" + code.code).c_str());
  ASSERT_TRUE(invite);
  EXPECT_NE(invite->body.find("\"reachable\":true"), std::string::npos) << invite->body;
  EXPECT_EQ(http.Get("/games.json")->body, "{\"games\":[]}\n");
  EXPECT_FALSE(second->claimCode(code.code, std::string(32, 'f'), wallClockMs()));
  otherLookups.stop();
}

}  // namespace
}  // namespace tw::dir
