// Games on the local network end to end: hosts announce through a private
// Avahi daemon, the browser and Avahi's own avahi-browse find them, and
// both live through the daemon going away and coming back.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <cstdio>

#include "discovery/lan_announcer.h"
#include "discovery/lan_browser.h"
#include "host/host_service.h"
#include "support/private_avahi.h"

namespace tw::test {
namespace {

struct AnnouncedHost {
  explicit AnnouncedHost(const std::string& title) : host([](const std::string&) {}), announcer([](const std::string&) {}) {
    host.addListingSink(&announcer);
    host.setTitle(title);
    EXPECT_TRUE(host.listen(0));
  }
  ~AnnouncedHost() { host.removeListingSink(&announcer); }
  HostService host;
  LanAnnouncer announcer;
};

const LanGame* find(const LanBrowser& browser, const std::string& title, std::vector<LanGame>& keep,
                    quint16 port = 0) {
  keep = browser.games();
  for (const LanGame& g : keep)
    if (g.title == title && (port == 0 || g.port == port)) return &g;
  return nullptr;
}

QString avahiBrowse() {
  QProcess tool;
  tool.start(QStringLiteral("avahi-browse"), {QStringLiteral("-rpt"), QString::fromLatin1(kLanServiceType)});
  tool.waitForFinished(10000);
  return QString::fromUtf8(tool.readAllStandardOutput());
}

TEST(Lan, HostsAreListedFollowedWithdrawnAndAnnouncedAgainAfterTheDaemonReturns) {
  if (const QString why = PrivateAvahi::unavailable(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
  qtApp();
  PrivateAvahi avahi;
  ASSERT_TRUE(avahi.startBus());
  ASSERT_TRUE(avahi.startDaemon()) << avahi.daemonLog().toStdString();

  LanBrowser browser;
  auto ann = std::make_unique<AnnouncedHost>("Ann's game");
  auto bob = std::make_unique<AnnouncedHost>("Bob's game");
  AnnouncedHost twin("Ann's game");  // the name is taken: Avahi's next one
  std::vector<LanGame> games;
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(waitUntil([&] { return browser.games().size() == 3; }, 8000)) << browser.games().size();
  std::printf("three hosts listed %lld ms after they started listening\n", clock.elapsed());
  const LanGame* a = find(browser, "Ann's game", games);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->address, "127.0.0.1");
  EXPECT_EQ(a->seatsTaken, 0);
  EXPECT_EQ(a->watchers, 0);
  EXPECT_FALSE(a->playing);
  EXPECT_NE(a->hostName, "");
  EXPECT_TRUE(a->port == ann->host.port() || a->port == twin.host.port());
  EXPECT_EQ(twin.announcer.serviceName(), QStringLiteral("Ann's game #2"));

  // A seat fills: the list follows.
  clock.restart();
  auto peer = Peer::join(ann->host.port(), "Cid");
  std::printf("joined after %lld ms\n", clock.elapsed());
  ASSERT_TRUE(waitUntil([&] {
    const LanGame* g = find(browser, "Ann's game", games, ann->host.port());
    return g && g->seatsTaken == 1;
  }, 4000));
  std::printf("a filled seat listed after %lld ms\n", clock.elapsed());

  // Avahi's own tool sees what the host announces.
  const QString seen = avahiBrowse();
  EXPECT_TRUE(seen.contains(QStringLiteral("Ann\\039s\\032game;_tilewhirl._tcp;local;"))) << seen.toStdString();
  EXPECT_TRUE(seen.contains(QStringLiteral("\"v=1\" \"name=Bob's game\" \"seats=0/6\" \"watch=0/3\" \"state=open\"")))
      << seen.toStdString();
  EXPECT_TRUE(seen.contains(QStringLiteral("\"seats=1/6\""))) << seen.toStdString();

  // A host stops: it leaves the list.
  clock.restart();
  bob.reset();
  ASSERT_TRUE(waitUntil([&] { return browser.games().size() == 2; }, 4000));
  std::printf("a stopped host dropped after %lld ms\n", clock.elapsed());

  // The daemon dies: the host serves on, the list says why it is empty.
  avahi.killDaemon();
  ASSERT_TRUE(waitUntil([&] { return !browser.problem().isEmpty() && browser.games().empty(); }, 4000));
  peer->say("CMD_chat+1+still here|clBlack");
  ASSERT_TRUE(waitUntil([&] { return peer->received.back() == "CMD_chat+1+Cid chats: still here|clBlack"; }));

  // It comes back: announcing and browsing resume by themselves.
  clock.restart();
  ASSERT_TRUE(avahi.startDaemon());
  ASSERT_TRUE(waitUntil([&] {
    const LanGame* g = find(browser, "Ann's game", games, ann->host.port());
    return g && g->seatsTaken == 1 && browser.problem().isEmpty();
  }, 8000));
  std::printf("listed again %lld ms after the daemon was restarted\n", clock.elapsed());
  EXPECT_TRUE(avahiBrowse().contains(QStringLiteral("\"seats=1/6\"")));
  EXPECT_EQ(twin.announcer.serviceName(), QStringLiteral("Ann's game #2"));
}

}  // namespace
}  // namespace tw::test
