// The installed host program as an operator meets it: a clear refusal when
// its port is taken, and a clean stop on SIGTERM that leaves no word list behind.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <csignal>

#include "support/loopback.h"

namespace {

using tw::test::Peer;
using tw::test::waitUntil;

struct HostRun {
  QTemporaryDir folder;
  QProcess process;
  QByteArray log;

  void start(const QStringList& args) {
    tw::test::qtApp();
    process.setWorkingDirectory(folder.path());
    process.setProcessChannelMode(QProcess::SeparateChannels);
    QObject::connect(&process, &QProcess::readyReadStandardError,
                     [this] { log += process.readAllStandardError(); });
    process.start(QStringLiteral(TW_HOST_PROGRAM), args);
    ASSERT_TRUE(process.waitForStarted(5000));
  }
  bool finished(int ms = 10000) {
    return waitUntil([this] { return process.state() == QProcess::NotRunning; }, ms);
  }
  bool wordListLeft() const { return QDir(folder.path()).exists(QStringLiteral("English")); }
};

TEST(HostProgram, RefusesATakenPortOrABadOneWithAMessageAndAFailureStatus) {
  tw::test::qtApp();
  QTcpServer holder;
  ASSERT_TRUE(holder.listen(QHostAddress::Any, 0));
  const QString port = QString::number(holder.serverPort());

  HostRun taken;
  taken.start({QStringLiteral("--port"), port});
  ASSERT_TRUE(taken.finished());
  EXPECT_EQ(taken.process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(taken.process.exitCode(), 1);
  EXPECT_TRUE(taken.log.contains(("cannot listen on port " + port).toLatin1())) << taken.log.constData();
  EXPECT_FALSE(taken.wordListLeft());

  for (const char* option : {"port", "max-pending-per-address", "kick-ban-minutes"}) {
    for (const char* bad : {"700000", "-1", "seven"}) {
      HostRun run;
      run.start({QStringLiteral("--") + QLatin1String(option), QString::fromLatin1(bad)});
      ASSERT_TRUE(run.finished()) << bad;
      EXPECT_EQ(run.process.exitCode(), 2) << bad;
      EXPECT_TRUE(run.log.contains("--" + QByteArray(option) + " needs a number")) << run.log.constData();
    }
  }
}

TEST(HostProgram, ServesAClientWithItsOptionsThenStopsCleanlyOnSigterm) {
  HostRun host;
  host.start({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--open-board"),
              QStringLiteral("--max-pending-per-address"), QStringLiteral("1")});
  ASSERT_TRUE(waitUntil([&] { return host.log.contains("listening on port "); })) << host.log.constData();
  const int at = host.log.indexOf("listening on port ") + 18;
  const quint16 port = quint16(host.log.mid(at, host.log.indexOf('\n', at) - at).toUInt());
  ASSERT_NE(port, 0);
  EXPECT_TRUE(host.wordListLeft());

  Peer peer(port);
  ASSERT_TRUE(peer.waitFor(1));
  EXPECT_EQ(peer.received.front(), "CMD_sendlogininfo+1");
  // Every letter, as older hosts sent them.
  peer.say("CMD_logininfo+1+" + std::string(tw::kVersion) + "+Ann");
  peer.say("CMD_startgame+Ann+100+60+f+1+0+");
  ASSERT_TRUE(peer.waitFor(4));
  ASSERT_EQ(peer.received[3].rfind("CMD_theboard+", 0), 0u) << peer.received[3];
  tw::FieldReader board(tw::splitCommand(peer.received[3]).body);
  const auto cells = board.groups(3);
  EXPECT_EQ(cells.size(), 80u);
  for (const auto& cell : cells) EXPECT_NE(tw::toInt(cell[2]), 0);
  Peer idle(port, {}, QStringLiteral("127.0.0.2"));
  EXPECT_EQ(idle.seat(), 2);
  Peer refused(port, {}, QStringLiteral("127.0.0.2"));
  ASSERT_TRUE(waitUntil([&] { return refused.closed; }));
  EXPECT_EQ(refused.received, std::vector<std::string>{"CMD_full+"});
  // A name and a version that would forge log lines of their own.
  Peer eve(port, {}, QStringLiteral("127.0.0.3"));
  eve.say("CMD_logininfo+" + std::to_string(eve.seat()) + "+1.0\n4+Eve\nseat 1: logged in as Mal\r");
  ASSERT_TRUE(waitUntil([&] { return host.log.contains("Eve"); })) << host.log.constData();
  EXPECT_TRUE(host.log.contains("logged in as Eve\\x0aseat 1: logged in as Mal\\x0d (version 1.0\\x0a4)"))
      << host.log.constData();
  EXPECT_FALSE(host.log.contains("\nseat 1: logged in as Mal"));

  ::kill(pid_t(host.process.processId()), SIGTERM);
  ASSERT_TRUE(host.finished());
  EXPECT_EQ(host.process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(host.process.exitCode(), 0);
  EXPECT_TRUE(host.log.contains("stopping")) << host.log.constData();
  EXPECT_TRUE(waitUntil([&] { return peer.closed; }));
  EXPECT_EQ(peer.received.back(), "CMD_hostended+");  // told why before the close
  EXPECT_FALSE(host.wordListLeft());
}

}  // namespace

TEST(HostProgram, TheComputerPlaysAtTheLevelGivenAndAnUnknownLevelIsRefused) {
  HostRun bad;
  bad.start({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--computer-level"),
             QStringLiteral("master")});
  ASSERT_TRUE(bad.finished());
  EXPECT_EQ(bad.process.exitCode(), 2);
  EXPECT_TRUE(bad.log.contains("--computer-level must be beginner, casual, club, strong or expert")) << bad.log.constData();

  HostRun host;
  host.start({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--computer-level"),
              QStringLiteral("Expert"), QStringLiteral("--bot-speed"), QStringLiteral("fast")});
  ASSERT_TRUE(waitUntil([&] { return host.log.contains("listening on port "); })) << host.log.constData();
  const int at = host.log.indexOf("listening on port ") + 18;
  auto peer = Peer::join(quint16(host.log.mid(at, host.log.indexOf('\n', at) - at).toUInt()), "Ann");
  // Ann sits out at once, so the computer's seat 2 plays first.
  peer->say("CMD_startgame+Ann+100+60+f+1+0+");
  peer->say("CMD_justwatch+1+1");
  const std::string told = "CMD_action+2+Klot plays at the Expert level.|clGray";
  EXPECT_TRUE(waitUntil(
      [&] { return std::find(peer->received.begin(), peer->received.end(), told) != peer->received.end(); }));
  ::kill(pid_t(host.process.processId()), SIGTERM);
  EXPECT_TRUE(host.finished());
}
