// The list "On this network" in Play with Others, against a private Avahi
// daemon: a host's game shows up, and a double-click on it starts the game
// program, which takes a seat in that game.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>

#include "discovery/lan_announcer.h"
#include "host/host_service.h"
#include "support/private_avahi.h"
#include "support/ui_app.h"
#include "windows/connect.h"

namespace tw::test {
namespace {

void doubleClick(QTableWidget& table, int row) {
  QWidget* viewport = table.viewport();
  const QPointF at = table.visualRect(table.model()->index(row, 0)).center();
  const QPointF global = viewport->mapToGlobal(at);
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                            QEvent::MouseButtonRelease}) {
    QMouseEvent event(type, at, global, Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &event);
  }
}

TEST(LanWindow, AListedGameIsJoinedByDoubleClickAndTheJoinerIsSeated) {
  if (const QString why = PrivateAvahi::unavailable(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
  uiApp();
  PrivateAvahi avahi;
  ASSERT_TRUE(avahi.startBus());
  ASSERT_TRUE(avahi.startDaemon()) << avahi.daemonLog().toStdString();
  LanAnnouncer announcer([](const std::string&) {});
  HostService host([](const std::string&) {});
  host.addListingSink(&announcer);
  // Every peer of this test comes from 127.0.0.1.
  host.server().setAddressLimits({AddressLimits{}.maxPendingPerAddress, 0, AddressLimits{}.kickBanMinutes});
  ASSERT_TRUE(host.listen(0));
  auto ann = Peer::join(host.port(), "Ann");

  QTemporaryDir dir;
  Tconnect window{SettingsStore(dir.filePath(QStringLiteral("settings.ini")).toStdString())};
  QProcess game;
  window.startProgram = [&](const QString&, const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), dir.path());
    game.setProcessEnvironment(env);
    game.setWorkingDirectory(dir.path());
    game.start(QStringLiteral(TW_GAME_PROGRAM), args);
    return game.waitForStarted(5000);
  };
  window.findChild<QLineEdit*>(QStringLiteral("edit_name"))->setText(QStringLiteral("Dee"));
  window.show();
  auto* table = window.findChild<QTableWidget*>(QStringLiteral("table_lan"));
  ASSERT_TRUE(waitUntil([&] { return table->rowCount() == 1 && table->item(0, 2)->text() == "1/6"; }, 8000))
      << table->rowCount() << " " << (table->rowCount() ? table->item(0, 2)->text().toStdString() : "")
      << window.findChild<QLabel*>(QStringLiteral("label_lan"))->text().toStdString();
  EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("Ann"));  // the host's player names it
  EXPECT_EQ(table->item(0, 4)->text(), QStringLiteral("open"));
  if (const QByteArray shots = qgetenv("TW_SHOT_DIR"); !shots.isEmpty())
    window.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/on-this-network.png"));

  doubleClick(*table, 0);
  EXPECT_TRUE(waitUntil([&] { return host.server().seat(2).name == "Dee"; }, 15000))
      << window.findChild<QLabel*>(QStringLiteral("label_error"))->text().toStdString();
  game.kill();
  game.waitForFinished(3000);

  // The game fills: picking it offers to watch, and Return on it again watches.
  std::vector<std::unique_ptr<Peer>> others;
  for (const char* name : {"Eve", "Fay", "Gus", "Hal", "Ivy"}) others.push_back(Peer::join(host.port(), name));
  QStringList started;
  window.startProgram = [&](const QString&, const QStringList& args) {
    started = args;
    return true;
  };
  window.show();
  ASSERT_TRUE(waitUntil([&] { return table->rowCount() == 1 && table->item(0, 2)->text() == "6/6"; }, 8000));
  table->setCurrentCell(0, 0);
  doubleClick(*table, 0);
  EXPECT_TRUE(started.isEmpty());
  EXPECT_TRUE(window.findChild<QLabel*>(QStringLiteral("label_error"))->text().contains("watch"));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(table, &enter);
  EXPECT_TRUE(started.contains(QString::number(host.port()))) << started.join(' ').toStdString();

  // Without the daemon the list says so in one line, and the window stays usable.
  window.show();
  avahi.killDaemon();
  auto* status = window.findChild<QLabel*>(QStringLiteral("label_lan"));
  EXPECT_TRUE(waitUntil([&] { return status->text().contains("cannot be searched") && table->rowCount() == 0; }));
  if (const QByteArray shots = qgetenv("TW_SHOT_DIR"); !shots.isEmpty())
    window.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/no-daemon.png"));
  host.removeListingSink(&announcer);
}

}  // namespace
}  // namespace tw::test
