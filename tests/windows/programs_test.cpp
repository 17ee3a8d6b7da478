// Playing with friends through the real programs: the Host or Join window's
// command line run by the game program, and a window in seat 1 of the
// headless tilewhirl-host holding the host's rights.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QTemporaryDir>
#include <csignal>

#include "game_start.h"
#include "host_or_join.h"
#include "loopback.h"
#include "tchat.h"
#include "ui_app.h"

namespace tw::test {
namespace {

// A program run in a folder of its own (a copy, so that the game's files stay
// there too), killed at the end.
struct Program {
  QTemporaryDir folder;
  QProcess process;
  QByteArray log;

  explicit Program(const QStringList& args, const QString& path = QStringLiteral(TW_HOST_PROGRAM)) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), folder.path());
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder.path());
    QObject::connect(&process, &QProcess::readyReadStandardError,
                     [this] { log += process.readAllStandardError(); });
    QFile::copy(path, folder.filePath(QStringLiteral("program")));
    process.start(folder.filePath(QStringLiteral("program")), args);
  }
  ~Program() {
    process.kill();
    process.waitForFinished();
  }
  bool logged(const char* text) {
    return waitUntil([&] { return log.contains(text); }, 15000);
  }
  quint16 port() {
    if (!logged("listening on port ")) return 0;
    const int at = log.indexOf("listening on port ") + 18;
    return quint16(log.mid(at, log.indexOf('\n', at) - at).toUInt());
  }
};

bool heard(Peer& peer, const std::string& message) {
  return waitUntil([&] { return std::count(peer.received.begin(), peer.received.end(), message) > 0; }, 15000);
}

TEST(PlayingWithFriends, TheHostOrJoinCommandLineReachesALoggedInSeat) {
  uiApp();
  Program host({QStringLiteral("--port"), QStringLiteral("0")});
  const quint16 port = host.port();
  ASSERT_NE(port, 0) << host.log.constData();
  auto ann = Peer::join(port, "Ann");
  for (const bool hosting : {false, true}) {
    QTemporaryDir dir;
    Tconnect window{SettingsStore(dir.filePath(QStringLiteral("veltrixlobby.ini")).toStdString())};
    std::unique_ptr<Program> game;
    window.startProgram = [&](const QString&, const QStringList& args) {
      game = std::make_unique<Program>(args, QStringLiteral(TW_GAME_PROGRAM));
      return true;
    };
    QTcpServer probe;  // a free port for the new copy to host on
    probe.listen(QHostAddress::Any, 0);
    const quint16 gamePort = hosting ? probe.serverPort() : port;
    probe.close();
    window.findChild<QLineEdit*>(QStringLiteral("edit_name"))->setText(QStringLiteral("--Bob"));
    window.findChild<QRadioButton*>(hosting ? "radio_host" : "radio_join")->setChecked(true);
    window.findChild<QLineEdit*>(QStringLiteral("edit_host"))->setText(QStringLiteral("127.0.0.1"));
    window.findChild<QSpinBox*>(QStringLiteral("edit_port"))->setValue(gamePort);
    window.findChild<QPushButton*>(QStringLiteral("button_start"))->click();
    ASSERT_TRUE(game);
    if (!hosting) {
      EXPECT_TRUE(heard(*ann, "CMD_newplayerinfo+2+--Bob")) << game->log.constData();
      continue;
    }
    ASSERT_TRUE(game->logged("logged in as --Bob")) << game->log.constData();
    auto cy = Peer::join(gamePort, "Cy");
    EXPECT_TRUE(heard(*cy, "CMD_existingplayers+1+--Bob"));
  }
}

TEST(PlayingWithFriends, TheWindowInSeatOneOfTheHeadlessHostHasTheHostsRights) {
  uiApp();
  Program host({QStringLiteral("--port"), QStringLiteral("0")});
  QTemporaryDir dir;
  StartOptions options;
  options.playerName = QStringLiteral("Ann");
  options.hostAddress = QStringLiteral("127.0.0.1");
  options.host = options.solo = false;
  options.port = host.port();
  options.settingsPath = dir.filePath(QStringLiteral("veltrixlobby.ini")).toStdString();
  Tchat ann(options, [](const std::string&) {});
  ann.show();
  ASSERT_TRUE(waitUntil([&] { return ann.client().settingsLoaded(); }));
  EXPECT_EQ(ann.client().ownSeat(), 1);
  auto bob = Peer::join(options.port, "Bob");
  ASSERT_TRUE(waitUntil([&] { return ann.client().seatName(2) == "Bob"; }));
  emit ann.findChild<QLabel*>(QStringLiteral("label_playername2"))->customContextMenuRequested({2, 2});
  EXPECT_TRUE(ann.findChild<QAction*>(QStringLiteral("RemoveFromGame1"))->isEnabled());
  EXPECT_TRUE(ann.findChild<QAction*>(QStringLiteral("StartGame1"))->isEnabled());
  auto* start = ann.findChild<QPushButton*>(QStringLiteral("button_start"));
  EXPECT_TRUE(start->isVisible());
  start->click();
  ann.gamestart()->findChild<QPushButton*>(QStringLiteral("BUTTON_START"))->click();
  EXPECT_TRUE(heard(*bob, "CMD_startgame+Ann+250+60+1+0+"));
}

// The window started without parameters hosts a game for this machine alone,
// and stopped from outside it takes its working word list with it.
TEST(SoloGame, ListensOnThisMachineOnlyAndASigtermLeavesNoWordListBehind) {
  uiApp();
  Program game({QStringLiteral("--port"), QStringLiteral("0")}, QStringLiteral(TW_GAME_PROGRAM));
  const quint16 port = game.port();
  ASSERT_NE(port, 0) << game.log.constData();
  const QString wordList = game.folder.filePath(QStringLiteral("English"));
  EXPECT_TRUE(QFile::exists(wordList));
  Peer local(port);
  EXPECT_GT(local.seat(), 0);  // this machine is welcome
  for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
    if (address.isLoopback() || address.protocol() != QAbstractSocket::IPv4Protocol) continue;
    QTcpSocket outside;
    outside.connectToHost(address, port);
    EXPECT_FALSE(outside.waitForConnected(3000)) << address.toString().toStdString();
  }

  ::kill(pid_t(game.process.processId()), SIGTERM);
  ASSERT_TRUE(game.process.waitForFinished(15000));
  EXPECT_EQ(game.process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(game.process.exitCode(), 0);
  EXPECT_FALSE(QFile::exists(wordList));
}

}  // namespace
}  // namespace tw::test
