// The directory over real loopback sockets: a host registers, is probed on
// its game port without anyone there seeing it, and is found over HTTP; and
// the storage contract against memory and a real redis-server.
#include <gtest/gtest.h>
#include <httplib.h>

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "directory/directory_service.h"
#include "host/host_service.h"
#include "net/proxy_line.h"
#include "redis_server.h"
#include "support/loopback.h"

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

// A connection from `from` to the look-ups on loopback; it sends `request`
// (if any) and gives what comes back until the server closes.
std::string rawExchange(const char* from, int port, const std::string& request) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  ::inet_pton(AF_INET, from, &local.sin_addr);
  sockaddr_in server = local;
  ::inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
  server.sin_port = htons(quint16(port));
  std::string out;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
      ::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0 &&
      ::send(fd, request.data(), request.size(), 0) >= 0) {
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) out.append(buffer, std::size_t(n));
  }
  ::close(fd);
  return out;
}

Listing publicGame(const std::string& code, int seats) {
  Listing g{code, "Table " + code, "10.0.0.1", 7772, true, true, {}, "1.0.4", 1000};
  g.state.seatsTaken = seats;
  return g;
}

TEST(DirectoryHttp, TheListTravelsGzippedAndAnUnchangedOneCostsA304) {
  MemoryStorage storage;
  storage.putGame(publicGame("ABCDEF", 1), wallClockMs());
  LookupServer lookups(storage, Limits{}, 7790, 0);
  std::string error;
  ASSERT_TRUE(lookups.start("127.0.0.1", 0, error)) << error;
  httplib::Client http("127.0.0.1", lookups.port());
  auto plain = http.Get("/games.json");
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->has_header("Content-Encoding"));
  // Gzipped as sent, and the same list once unpacked.
  http.set_decompress(false);
  auto packed = http.Get("/games.json", {{"Accept-Encoding", "deflate, GZIP;q=0.5"}});
  ASSERT_TRUE(packed);
  EXPECT_EQ(packed->get_header_value("Content-Encoding"), "gzip");
  EXPECT_LT(packed->body.size(), plain->body.size());
  http.set_decompress(true);
  auto unpacked = http.Get("/games.json", {{"Accept-Encoding", "gzip"}});
  ASSERT_TRUE(unpacked);
  EXPECT_EQ(unpacked->body, plain->body);
  EXPECT_FALSE(http.Get("/games.json", {{"Accept-Encoding", "gzip;q=0, br"}})->has_header("Content-Encoding"));

  // Unchanged: 304 whatever the ages say, for the tag alone or among others.
  const std::string etag = plain->get_header_value("ETag");
  ASSERT_EQ(etag.rfind("W/\"", 0), 0u) << etag;
  for (const std::string& asked : {etag, "\"zzz\", " + etag, etag.substr(2)}) {
    auto same = http.Get("/games.json", {{"If-None-Match", asked}});
    ASSERT_TRUE(same);
    EXPECT_EQ(same->status, 304) << asked;
    EXPECT_TRUE(same->body.empty());
  }
  EXPECT_EQ(http.Get("/games.json", {{"If-None-Match", "\"" + std::string(5000, 'x')}})->status, 200);
  // A seat taken is a change.
  storage.putGame(publicGame("ABCDEF", 2), wallClockMs());
  auto changed = http.Get("/games.json", {{"If-None-Match", etag}});
  ASSERT_TRUE(changed);
  EXPECT_EQ(changed->status, 200);
  EXPECT_NE(changed->get_header_value("ETag"), etag);
  EXPECT_NE(changed->body.find("\"seats\":2,"), std::string::npos) << changed->body;
}

TEST(DirectoryHttp, ConnectionsFromOneAddressAreCappedAndOthersAreServedMeanwhile) {
  MemoryStorage storage;
  storage.putGame(publicGame("ABCDEF", 1), wallClockMs());
  Limits limits;
  limits.httpConnectionsPerAddress = 2;
  LookupServer lookups(storage, limits, 7790, 0);
  std::string error;
  ASSERT_TRUE(lookups.start("127.0.0.1", 0, error)) << error;
  const std::string get = "GET /games.json HTTP/1.0\r\n\r\n";
  {
    // Two kept-alive connections from 127.0.0.1, counted once they were answered.
    std::vector<std::unique_ptr<httplib::Client>> held;
    for (int i = 0; i < 2; ++i) {
      held.push_back(std::make_unique<httplib::Client>("127.0.0.1", lookups.port()));
      held.back()->set_keep_alive(true);
      ASSERT_EQ(held.back()->Get("/games.json")->status, 200);
    }
    const std::string refused = rawExchange("127.0.0.1", lookups.port(), "");
    EXPECT_EQ(refused.rfind("HTTP/1.1 429 ", 0), 0u) << refused;
    EXPECT_NE(refused.find("too many connections"), std::string::npos);
    const std::string other = rawExchange("127.0.0.2", lookups.port(), get);
    EXPECT_EQ(other.rfind("HTTP/1.1 200 ", 0), 0u) << other;
    EXPECT_NE(other.find("Table ABCDEF"), std::string::npos);
  }
  // Closed, they count no more.
  EXPECT_TRUE(waitUntil([&] { return rawExchange("127.0.0.1", lookups.port(), get).rfind("HTTP/1.1 200 ", 0) == 0; }));
}

// A Redis that hangs costs a wait now and then, not one per call, and is used
// again once it answers.
TEST(DirectoryRedis, AHungRedisDoesNotHoldTheDirectoryAndIsUsedAgainAfter) {
  test::qtApp();
  RedisServer redis;
  std::string error;
  auto storage = openRedisStorage(redis.url(), error);
  ASSERT_TRUE(storage) << error;
  const Listing game = publicGame("ABCDEF", 1);
  storage->putGame(game, wallClockMs());
  redis.pause();
  // Registering a new game tries 20 codes; each gives up rather than waits.
  for (int i = 0; i < 20; ++i) EXPECT_FALSE(storage->claimCode("QQQQQ" + std::string(1, char('A' + i)), "s", wallClockMs()));
  EXPECT_TRUE(storage->games(wallClockMs()).empty());
  EXPECT_FALSE(storage->game("ABCDEF", wallClockMs()));
  redis.resume();
  EXPECT_TRUE(waitUntil([&] { return storage->game("ABCDEF", wallClockMs()).has_value(); }, 30000));
  EXPECT_EQ(storage->games(wallClockMs()), std::vector<Listing>{game});
}

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
