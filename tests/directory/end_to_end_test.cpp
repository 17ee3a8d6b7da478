// The real programs on loopback: a tilewhirl-directory (in memory, or on a
// real redis-server), a public and an invite-only tilewhirl-host registered
// with it, and plain clients that find them in the list and by code. The
// directory then stops and comes back; the hosts serve on meanwhile and get
// their codes back. And a host behind a simulated router, reached only
// through the directory's relay, that still knows each player by his own address.
#include <gtest/gtest.h>
#include <httplib.h>

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "redis_server.h"
#include "support/loopback.h"

namespace {

using tw::test::Peer;
using tw::test::waitUntil;

struct Program {
  QTemporaryDir folder;
  QProcess process;
  QByteArray log;

  void start(const char* program, const QStringList& args) {
    tw::test::qtApp();
    process.setWorkingDirectory(folder.path());
    QObject::connect(&process, &QProcess::readyReadStandardError, [this] { log += process.readAllStandardError(); });
    process.start(QString::fromLatin1(program), args);
    ASSERT_TRUE(process.waitForStarted(5000));
  }
  // The first capture of `pattern` in the log, once it is there.
  QString await(const QString& pattern, int ms = 10000) {
    const QRegularExpression re(pattern);
    QString found;
    waitUntil(
        [&] {
          const auto m = re.match(QString::fromLatin1(log));
          if (m.hasMatch()) found = m.captured(1);
          return m.hasMatch();
        },
        ms);
    return found;
  }
  ~Program() {
    if (process.state() == QProcess::NotRunning) return;
    process.terminate();
    if (!process.waitForFinished(5000)) process.kill();
  }
};

// An HTTP GET run off the event loop's thread, while the loop keeps turning.
std::string get(int port, const std::string& path) {
  std::string body = "(no answer)";
  bool done = false;
  std::thread worker([&] {
    httplib::Client client("127.0.0.1", port);
    if (auto res = client.Get(path.c_str())) body = res->body;
    done = true;
  });
  waitUntil([&] { return done; }, 10000);
  worker.join();
  return body;
}

// The port of the game with this title in a list, or of an invite's game.
int portIn(const std::string& json, const std::string& title) {
  const std::size_t at = json.find("\"title\":\"" + title + "\"");
  if (at == std::string::npos) return 0;
  const std::size_t game = json.rfind('{', at);
  const std::size_t port = json.find("\"port\":", game);
  return port == std::string::npos ? 0 : std::atoi(json.c_str() + port + 7);
}

class EndToEnd : public ::testing::TestWithParam<bool> {};

TEST_P(EndToEnd, PlayersFindAPublicGameInTheListAndAPrivateOneByItsCode) {
  std::unique_ptr<tw::test::RedisServer> redis;
  QStringList storage;
  if (GetParam()) {
    redis = std::make_unique<tw::test::RedisServer>();
    storage = {QStringLiteral("--redis"), QString::fromStdString(redis->url())};
  }
  auto directory = std::make_unique<Program>();
  directory->start(TW_DIRECTORY_PROGRAM, QStringList{"--port", "0", "--http-port", "0"} + storage);
  const QString registrations = directory->await(QStringLiteral("registrations on port (\\d+)"));
  const int http = directory->await(QStringLiteral("look-ups on port (\\d+)")).toInt();
  ASSERT_FALSE(registrations.isEmpty()) << directory->log.constData();
  const QString where = "127.0.0.1:" + registrations;

  Program open, invited;
  open.start(TW_HOST_PROGRAM, {"--port", "0", "--directory", where, "--public", "--title", "Ann's table"});
  invited.start(TW_HOST_PROGRAM, {"--port", "0", "--directory", where, "--invite-only", "--title", "Bob's"});
  const QString code = invited.await(QStringLiteral("Invite code: ([A-Z0-9]{3}-[A-Z0-9]{3})"));
  ASSERT_FALSE(code.isEmpty()) << invited.log.constData();
  EXPECT_FALSE(open.await(QStringLiteral("Invite code: (\\S+)")).isEmpty());
  for (Program* host : {&open, &invited})
    EXPECT_FALSE(host->await(QStringLiteral("(Reachable directly)")).isEmpty()) << host->log.constData();

  // Joined from the list; the private game is not in it.
  std::string list;
  waitUntil([&] { return portIn(list = get(http, "/games.json"), "Ann's table") != 0; });
  EXPECT_EQ(list.find("Bob's"), std::string::npos) << list;
  auto ann = Peer::join(quint16(portIn(list, "Ann's table")), "Ann");
  EXPECT_EQ(ann->seat(), 1);
  // Her seat shows in the list within a second or two (the list is made again once a second).
  EXPECT_TRUE(waitUntil(
      [&] {
        tw::test::spin(300);
        return get(http, "/games.json").find("\"seats\":1,") != std::string::npos;
      },
      8000));

  // Joined by code, typed as people type it.
  const std::string invite = get(http, "/invite/" + code.toLower().toStdString());
  const int invitedPort = portIn(invite, "Bob's");
  ASSERT_NE(invitedPort, 0) << invite;
  EXPECT_EQ(Peer::join(quint16(invitedPort), "Cat")->seat(), 1);

  // The directory goes away: the game goes on; it comes back: so does the same code.
  directory.reset();
  ann->say("CMD_chat+1+still here|0");
  EXPECT_TRUE(ann->waitFor(ann->received.size() + 1));
  directory = std::make_unique<Program>();
  directory->start(TW_DIRECTORY_PROGRAM, QStringList{"--port", registrations, "--http-port", "0"} + storage);
  const int http2 = directory->await(QStringLiteral("look-ups on port (\\d+)")).toInt();
  // (Asking over and over meanwhile would meet the limit on invite look-ups.)
  ASSERT_TRUE(waitUntil([&] { return invited.log.count("Reachable directly") == 2; }, 20000))
      << invited.log.constData();
  EXPECT_EQ(portIn(get(http2, "/invite/" + code.toStdString()), "Bob's"), invitedPort);
  EXPECT_EQ(invited.log.count("Invite code: "), 1) << invited.log.constData();
}

TEST(EndToEndRelay, AHostBehindARouterIsPlayedThroughTheRelayAndKnowsEachPlayerByHisOwnAddress) {
  // The game port listens on 127.0.0.3 alone; the registration comes from
  // 127.0.0.1, where the directory's check finds nothing.
  const int relay = tw::test::freePort();
  Program directory, host;
  directory.start(TW_DIRECTORY_PROGRAM, {"--port", "0", "--http-port", "0", "--relay-ports",
                                         QStringLiteral("%1-%1").arg(relay)});
  const QString registrations = directory.await(QStringLiteral("registrations on port (\\d+)"));
  const int http = directory.await(QStringLiteral("look-ups on port (\\d+)")).toInt();
  host.start(TW_HOST_PROGRAM, {"--port", "0", "--bind", "127.0.0.3", "--no-announce", "--directory",
                               "127.0.0.1:" + registrations, "--invite-only"});
  const quint16 gamePort = quint16(host.await(QStringLiteral("listening on port (\\d+)")).toInt());
  const QString code = host.await(QStringLiteral("Invite code: (\\S+)"));
  ASSERT_EQ(host.await(QStringLiteral("Reachable through the directory's relay at 127.0.0.1:(\\d+)")).toInt(), relay)
      << host.log.constData() << directory.log.constData();
  const std::string invite = get(http, "/invite/" + code.toStdString());
  EXPECT_NE(invite.find("\"address\":\"127.0.0.1\",\"port\":" + std::to_string(relay)), std::string::npos) << invite;
  EXPECT_NE(invite.find("\"reachable\":true"), std::string::npos) << invite;

  // Plain clients through the invite's relay port, each from an address of his own.
  const auto through = [&](const std::string& name, const char* from) {
    return Peer::join(quint16(relay), name, QString::fromLatin1(from));
  };
  auto ann = through("Ann", "127.0.0.5");
  auto bob = through("Bob", "127.0.0.6");
  auto cy = through("Cy", "127.0.0.8");
  EXPECT_EQ(ann->seat() * 100 + bob->seat() * 10 + cy->seat(), 123);
  EXPECT_TRUE(host.log.contains("connected from 127.0.0.6")) << host.log.constData();

  // A turn, seen by the others through the relay.
  ann->say("CMD_startgame+Ann+100+60+f+1+0+");
  ASSERT_TRUE(waitUntil([&] { return ann->find("CMD_nextplayer+1+") < ann->received.size(); }, 20000));
  ann->say("CMD_iflip+1+1+1+");
  ann->say("CMD_hepass+1+");
  ASSERT_TRUE(waitUntil([&] { return bob->find("CMD_hepasses+1+") < bob->received.size(); }, 10000));
  EXPECT_LT(cy->find("CMD_heflip+1+1+1+"), cy->received.size());

  // Cy drops and his seat is held for him, at his address: a PROXY line sent
  // straight to the game port naming it is not believed; Cy from there is.
  cy.reset();
  ASSERT_FALSE(host.await(QStringLiteral("(seat 3: held for Cy from 127.0.0.8)")).isEmpty()) << host.log.constData();
  tw::test::Peer impostor(gamePort, "", QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.3"));
  ASSERT_TRUE(impostor.waitFor(1));
  const int slot = impostor.seat();
  impostor.raw("PROXY TCP4 127.0.0.8 127.0.0.3 40000 " + std::to_string(gamePort) + "\r\n\xFF");
  impostor.say("CMD_logininfo+" + std::to_string(slot) + "+1.0.4+Cy");
  ASSERT_FALSE(host.await(QStringLiteral("(logged in as Cy)")).isEmpty()) << host.log.constData();
  EXPECT_NE(impostor.seat(), 3);
  cy = through("Cy", "127.0.0.8");
  EXPECT_TRUE(waitUntil([&] { return cy->seat() == 3; }));
  EXPECT_TRUE(host.log.contains("Cy returns to seat 3")) << host.log.constData();

  // Bob is removed and kept out by his address, through the relay as well.
  ann->say("CMD_kickhim+1+2+");
  ASSERT_TRUE(waitUntil([&] { return bob->closed; }));
  EXPECT_EQ(bob->received.back(), "CMD_kicked+");
  Peer again(quint16(relay), "Rob", QStringLiteral("127.0.0.6"));
  EXPECT_TRUE(waitUntil([&] { return again.closed; }));
  EXPECT_EQ(again.received, std::vector<std::string>{"CMD_full+"});
  // And no more than two connections from one address wait to log in.
  Peer idle(quint16(relay), "", QStringLiteral("127.0.0.9")), idle2(quint16(relay), "", QStringLiteral("127.0.0.9"));
  ASSERT_TRUE(idle.waitFor(1) && idle2.waitFor(1));
  Peer third(quint16(relay), "Dee", QStringLiteral("127.0.0.9"));
  EXPECT_TRUE(waitUntil([&] { return third.closed; }));
  EXPECT_EQ(third.received, std::vector<std::string>{"CMD_full+"});
  EXPECT_FALSE(ann->closed || cy->closed);
}

INSTANTIATE_TEST_SUITE_P(MemoryAndRedis, EndToEnd, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Redis" : "Memory"; });

}  // namespace
