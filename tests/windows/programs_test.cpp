// Playing with friends through the real programs: the Host or Join window's
// command line run by the real game program, and a window in seat 1 of the
// headless tilewhirl-host holding the host's rights.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QTemporaryDir>
#include <algorithm>

#include "game_start.h"
#include "host_or_join.h"
#include "loopback.h"
#include "spy_list.h"
#include "tchat.h"
#include "ui_app.h"

namespace tw::test {
namespace {

// A program run by the test in a folder of its own, stopped at the end.
struct ProgramRun {
  QTemporaryDir folder;
  QProcess process;
  QByteArray log;

  ProgramRun() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const char* var : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
      env.insert(QLatin1String(var), folder.path());
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder.path());
    QObject::connect(&process, &QProcess::readyReadStandardError,
                     [this] { log += process.readAllStandardError(); });
  }
  ~ProgramRun() {
    process.kill();
    process.waitForFinished(5000);
  }
  // The game program is copied first, so that its files stay in this folder.
  bool start(const QString& program, const QStringList& args) {
    QString run = program;
    if (program == QLatin1String(TW_GAME_PROGRAM)) {
      run = folder.filePath(QStringLiteral("tilewhirl"));
      if (!QFile::copy(program, run)) return false;
    }
    process.start(run, args);
    return process.waitForStarted(5000);
  }
  // tilewhirl-host on a port of its choosing; gives the port.
  quint16 host() {
    if (!start(QStringLiteral(TW_HOST_PROGRAM), {QStringLiteral("--port"), QStringLiteral("0")})) return 0;
    if (!waitUntil([this] { return log.contains("listening on port "); }, 10000)) return 0;
    const int at = log.indexOf("listening on port ") + 18;
    return quint16(log.mid(at, log.indexOf('\n', at) - at).toUInt());
  }
};

bool heard(Peer& peer, const std::string& message, int ms = 15000) {
  return waitUntil(
      [&] { return std::find(peer.received.begin(), peer.received.end(), message) != peer.received.end(); },
      ms);
}

quint16 freePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::Any, 0);
  return probe.serverPort();
}

TEST(HostOrJoinRoad, TheWindowsCommandLineReachesALoggedInSeatJoiningAndHosting) {
  uiApp();
  ProgramRun host;
  const quint16 port = host.host();
  ASSERT_NE(port, 0) << host.log.constData();
  auto ann = Peer::join(port, "Ann");

  for (const bool hosting : {false, true}) {
    QTemporaryDir dir;
    Tconnect window(dir.filePath(QStringLiteral("veltrixlobby.ini")).toStdString());
    window.program = QStringLiteral(TW_GAME_PROGRAM);
    ProgramRun game;
    window.startProgram = [&](const QString& program, const QStringList& args) {
      return game.start(program, args);
    };
    window.findChild<QLineEdit*>(QStringLiteral("edit_name"))->setText(QStringLiteral("--Bob"));
    window.findChild<QRadioButton*>(hosting ? "radio_host" : "radio_join")->setChecked(true);
    window.findChild<QLineEdit*>(QStringLiteral("edit_host"))->setText(QStringLiteral("127.0.0.1"));
    const quint16 gamePort = hosting ? freePort() : port;
    window.findChild<QSpinBox*>(QStringLiteral("edit_port"))->setValue(gamePort);
    window.findChild<QPushButton*>(QStringLiteral("button_start"))->click();
    ASSERT_EQ(game.process.state(), QProcess::Running) << hosting;

    if (!hosting) {
      EXPECT_TRUE(heard(*ann, "CMD_newplayerinfo+2+--Bob")) << game.log.constData();
      continue;
    }
    // The new copy hosts: its own window holds seat 1, a friend gets seat 2.
    ASSERT_TRUE(waitUntil([&] { return game.log.contains("logged in as --Bob"); }, 15000))
        << game.log.constData();
    auto cy = Peer::join(gamePort, "Cy");
    EXPECT_EQ(cy->received.front(), "CMD_sendlogininfo+2");
    EXPECT_TRUE(heard(*cy, "CMD_existingplayers+1+--Bob")) << game.log.constData();
  }
}

TEST(HeadlessHost, TheWindowInSeatOneStartsGamesAndRemovesPlayers) {
  uiApp();
  ProgramRun host;
  const quint16 port = host.host();
  ASSERT_NE(port, 0) << host.log.constData();
  QTemporaryDir dir;
  StartOptions options;
  options.playerName = QStringLiteral("Ann");
  options.hostAddress = QStringLiteral("127.0.0.1");
  options.host = options.solo = false;
  options.port = port;
  options.settingsPath = dir.filePath(QStringLiteral("veltrixlobby.ini")).toStdString();
  Tchat ann(options, [](const std::string&) {});
  Tspylist spies;
  ann.setSpyList(&spies);
  ann.show();
  ASSERT_TRUE(waitUntil([&] { return ann.client().settingsLoaded(); }));
  EXPECT_EQ(ann.client().ownSeat(), 1);
  EXPECT_FALSE(ann.client().hosting());
  auto* startButton = ann.findChild<QPushButton*>(QStringLiteral("button_start"));
  EXPECT_TRUE(startButton->isVisible());
  EXPECT_TRUE(ann.findChild<QAction*>(QStringLiteral("StartGame1"))->isEnabled());

  auto bob = Peer::join(port, "Bob");
  auto cy = Peer::join(port, "Cy");
  ASSERT_TRUE(waitUntil([&] { return ann.client().seatName(3) == "Cy"; }));
  QLabel* cyLabel = ann.findChild<QLabel*>(QStringLiteral("label_playername3"));
  emit cyLabel->customContextMenuRequested(QPoint(2, 2));
  auto* remove = ann.findChild<QAction*>(QStringLiteral("RemoveFromGame1"));
  ASSERT_TRUE(remove->isEnabled());
  EXPECT_TRUE(ann.findChild<QAction*>(QStringLiteral("SettoJustWatch1"))->isEnabled());
  ann.findChild<QMenu*>(QStringLiteral("popup_kick"))->hide();
  remove->trigger();
  EXPECT_TRUE(heard(*cy, "CMD_kicked+", 5000));
  EXPECT_TRUE(waitUntil([&] { return cy->closed; }));

  startButton->click();
  ASSERT_TRUE(ann.gamestart()->isVisible());
  ann.gamestart()->findChild<QPushButton*>(QStringLiteral("BUTTON_START"))->click();
  EXPECT_TRUE(heard(*bob, "CMD_startgame+Ann+250+60+1+0+", 5000));
  EXPECT_TRUE(waitUntil([&] { return !startButton->isVisible(); }));
}

}  // namespace
}  // namespace tw::test
