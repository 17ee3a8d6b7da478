// Playing with friends through the real programs: the Host or Join window's
// command line run by the game program, a window in seat 1 of the headless
// tilewhirl-host holding the host's rights, and that window's line cut and
// mended from outside.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <csignal>

#include "support/loopback.h"
#include "support/ui_app.h"
#include "windows/chat_display.h"
#include "windows/connect.h"
#include "windows/game_start.h"
#include "windows/tchat.h"

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

// The network between a window and its host: it carries both ways, passes
// on a close, and can go down (nothing answers, every try is refused) and
// come back on the same port.
class Line {
 public:
  explicit Line(quint16 host) : host_(host) {
    QObject::connect(&server_, &QTcpServer::newConnection, [this] { carry(); });
    server_.listen(QHostAddress::LocalHost, 0);
    port_ = server_.serverPort();
  }
  quint16 port() const { return port_; }
  void cut() {
    server_.close();
    for (auto& end : ends_)
      if (end) end->abort();
  }
  bool mend() { return server_.listen(QHostAddress::LocalHost, port_); }

 private:
  void carry() {
    while (QTcpSocket* near = server_.nextPendingConnection()) {
      auto* far = new QTcpSocket(near);
      far->connectToHost(QHostAddress::LocalHost, host_);
      QObject::connect(near, &QTcpSocket::readyRead, far, [=] { far->write(near->readAll()); });
      QObject::connect(far, &QTcpSocket::readyRead, near, [=] { near->write(far->readAll()); });
      QObject::connect(far, &QTcpSocket::disconnected, near, &QTcpSocket::disconnectFromHost);
      QObject::connect(near, &QTcpSocket::disconnected, far, &QTcpSocket::disconnectFromHost);
      ends_.push_back(near);
      ends_.push_back(far);
    }
  }

  QTcpServer server_;
  quint16 host_;
  quint16 port_ = 0;
  std::vector<QPointer<QTcpSocket>> ends_;
};

StartOptions joining(const QString& name, quint16 port, const QTemporaryDir& dir) {
  StartOptions options;
  options.playerName = name;
  options.hostAddress = QStringLiteral("127.0.0.1");
  options.host = options.solo = false;
  options.port = port;
  options.settingsPath = dir.filePath(name + QStringLiteral(".ini")).toStdString();
  return options;
}

bool chatSays(Tchat& chat, const QString& text, int ms = 15000) {
  return waitUntil([&] { return chat.mainchat()->toPlainText().contains(text); }, ms);
}

QString shown(Tchat& chat, const char* label) {
  return chat.findChild<QLabel*>(QString::fromLatin1(label))->text();
}

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

// The road as a player meets it: the real host, the window's own socket, and
// a line that goes down mid-game for longer than the first tries.
TEST(PlayingWithFriends, ACutLineKeepsTheWindowWhichGetsItsSeatBackAndHearsTheHostEnd) {
  uiApp();
  Program host(
      {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--bot-speed"), QStringLiteral("fast")});
  const quint16 port = host.port();
  ASSERT_NE(port, 0) << host.log.constData();
  Line line(port);
  QTemporaryDir dir;
  auto ann =
      std::make_unique<Tchat>(joining(QStringLiteral("Ann"), line.port(), dir), [](const std::string&) {});
  int closed = 0;
  QObject::connect(ann.get(), &Tchat::closed, [&] { ++closed; });
  ann->show();
  ASSERT_TRUE(waitUntil([&] { return ann->client().settingsLoaded(); }));
  ann->findChild<QPushButton*>(QStringLiteral("button_start"))->click();
  ann->gamestart()->findChild<QPushButton*>(QStringLiteral("BUTTON_START"))->click();
  ASSERT_TRUE(waitUntil([&] { return ann->client().game().state().turnCount > 0; }));

  line.cut();
  ASSERT_TRUE(chatSays(*ann, QStringLiteral("The connection to the game was lost. Reconnecting...")));
  ASSERT_TRUE(chatSays(*ann, QStringLiteral("Reconnecting, try 2"), 5000));  // the first try was refused
  spin(500);
  EXPECT_TRUE(ann->isVisible());
  EXPECT_EQ(closed, 0);
  EXPECT_TRUE(ann->findChild<QLabel*>(QStringLiteral("label_playername2"))->isVisible());  // the board stays
  ASSERT_TRUE(line.mend());
  ASSERT_TRUE(chatSays(*ann, QStringLiteral("You are back in your seat.")));
  EXPECT_EQ(ann->client().ownSeat(), 1);
  EXPECT_TRUE(host.logged("returns to seat 1"));

  // A new window in place of a lost one: the game as it stands, the
  // computer in seat 2 and its score, at once.
  line.cut();
  ASSERT_TRUE(waitUntil([&] { return ann->mainchat()->toPlainText().count(QStringLiteral("try 2")) == 2; }));
  ann.reset();
  Tchat again(joining(QStringLiteral("Ann"), port, dir), [](const std::string&) {});
  QObject::connect(&again, &Tchat::closed, [&] { ++closed; });
  again.show();
  ASSERT_TRUE(chatSays(again, QStringLiteral("You are back in your seat.")));
  EXPECT_EQ(again.client().ownSeat(), 1);
  ASSERT_TRUE(waitUntil([&] { return shown(again, "label_playername2") == QStringLiteral("Klot"); }));
  EXPECT_TRUE(again.findChild<QLabel*>(QStringLiteral("label_score2"))->isVisible());
  EXPECT_NE(shown(again, "label_status"), QStringLiteral("Welcome to Tilewhirl"));  // the catch-up says it
  EXPECT_FALSE(shown(again, "label_status").contains(QStringLiteral("<Waiting>")));

  // The host ends: a message that waits for the player, and the window stays.
  host.process.terminate();
  QMessageBox* box = nullptr;
  ASSERT_TRUE(waitUntil([&] { return (box = again.findChild<QMessageBox*>()) && box->isVisible(); }));
  EXPECT_EQ(box->text(), QStringLiteral("The host has ended the game."));
  EXPECT_FALSE(box->isModal());
  spin(1500);
  EXPECT_TRUE(again.isVisible());
  EXPECT_EQ(closed, 0);
  EXPECT_FALSE(chatSays(again, QStringLiteral("Reconnecting"), 1));
}

}  // namespace
}  // namespace tw::test
