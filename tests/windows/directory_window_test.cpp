// Play with Others against a real tilewhirl-directory and two real
// tilewhirl-host programs on loopback: the public game is joined from the
// list "Public games", the invite-only one by its code; refusals and a
// directory that goes away show as a line in the window.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>

#include "directory_lookup.h"
#include "connect.h"
#include "loopback.h"
#include "ui_app.h"

namespace tw::test {
namespace {

struct Program {
  QProcess process;
  QByteArray log;
  void start(const char* program, const QStringList& args) {
    QObject::connect(&process, &QProcess::readyReadStandardError, [this] { log += process.readAllStandardError(); });
    process.start(QString::fromLatin1(program), args);
    ASSERT_TRUE(process.waitForStarted(5000));
  }
  QString await(const QString& pattern) {
    const QRegularExpression re(pattern);
    QString found;
    waitUntil([&] { return !(found = re.match(QString::fromLatin1(log)).captured(1)).isEmpty(); }, 10000);
    return found;
  }
  ~Program() {
    process.kill();
    process.waitForFinished(3000);
  }
};

void doubleClick(QTableWidget& table, int row) {
  QWidget* viewport = table.viewport();
  const QPointF at = table.visualRect(table.model()->index(row, 0)).center();
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                            QEvent::MouseButtonRelease}) {
    QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &event);
  }
}

int portIn(const QStringList& args) { return args.size() > 1 ? args[1].toInt() : 0; }

TEST(DirectoryWindow, PublicGamesAreJoinedFromTheListAndPrivateOnesByCode) {
  uiApp();
  QTemporaryDir dir;
  const SettingsStore store(dir.filePath(QStringLiteral("settings.ini")).toStdString());
  {
    // A default build names no directory: the field and list say so, and nothing is asked.
    Tconnect bare{store};
    bare.show();
    EXPECT_FALSE(bare.findChild<QLineEdit*>(QStringLiteral("edit_code"))->isEnabled());
    bare.findChild<QRadioButton*>(QStringLiteral("radio_host"))->setChecked(true);
    EXPECT_FALSE(bare.findChild<QRadioButton*>(QStringLiteral("radio_public"))->isEnabled());
    EXPECT_TRUE(bare.findChild<QLabel*>(QStringLiteral("label_public"))->text().startsWith("No game directory"));
  }

  Program directory, open, invited;
  directory.start(TW_DIRECTORY_PROGRAM, {"--port", "0", "--http-port", "0"});
  const QString registrations = directory.await(QStringLiteral("registrations on port (\\d+)"));
  const int http = directory.await(QStringLiteral("look-ups on port (\\d+)")).toInt();
  ASSERT_NE(http, 0) << directory.log.constData();
  const QString where = "127.0.0.1:" + registrations;
  open.start(TW_HOST_PROGRAM, {"--port", "0", "--directory", where, "--public", "--title", "Ann's table"});
  invited.start(TW_HOST_PROGRAM, {"--port", "0", "--directory", where, "--invite-only", "--title", "Bob's"});
  const QString code = invited.await(QStringLiteral("Invite code: ([A-Z0-9]{3}-[A-Z0-9]{3})"));
  ASSERT_FALSE(code.isEmpty()) << invited.log.constData();
  ASSERT_TRUE(store.saveDirectory({where.toStdString(), http}, ""));

  Tconnect window{store};
  QStringList started;
  window.startProgram = [&](const QString&, const QStringList& args) {
    started = args;
    return true;
  };
  window.findChild<QLineEdit*>(QStringLiteral("edit_name"))->setText(QStringLiteral("Dee"));
  window.show();
  auto* table = window.findChild<QTableWidget*>(QStringLiteral("table_public"));
  ASSERT_TRUE(waitUntil([&] { return table->rowCount() == 1; }, 10000))
      << window.findChild<QLabel*>(QStringLiteral("label_public"))->text().toStdString();
  EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("Ann's table"));  // and not the invite-only game
  if (const QByteArray shots = qgetenv("TW_SHOT_DIR"); !shots.isEmpty())
    window.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/31-play-with-others.png"));
  doubleClick(*table, 0);
  const int publicPort = portIn(started);
  ASSERT_NE(publicPort, 0) << started.join(' ').toStdString();
  EXPECT_EQ(Peer::join(quint16(publicPort), "Ann")->seat(), 1);

  // A code typed as people type it finds the other game; a wrong one says so.
  auto* label = window.findChild<QLabel*>(QStringLiteral("label_error"));
  auto typeCode = [&](const QString& text) {
    started.clear();
    window.show();
    window.findChild<QLineEdit*>(QStringLiteral("edit_code"))->setText(text);
    window.findChild<QPushButton*>(QStringLiteral("button_code"))->click();
  };
  typeCode(QStringLiteral(" zzz zzz "));
  EXPECT_TRUE(waitUntil([&] { return label->text() == "No game has this invite code."; })) << label->text().toStdString();
  typeCode(code.toLower().remove('-'));
  ASSERT_TRUE(waitUntil([&] { return !started.isEmpty(); })) << label->text().toStdString();
  EXPECT_NE(portIn(started), publicPort);
  EXPECT_EQ(Peer::join(quint16(portIn(started)), "Cat")->seat(), 1);

  // The directory goes away: a line says so, and the list it gave stays.
  directory.process.kill();
  directory.process.waitForFinished(3000);
  typeCode(code);
  EXPECT_TRUE(waitUntil([&] { return label->text().contains("cannot be reached"); })) << label->text().toStdString();
  EXPECT_EQ(table->rowCount(), 1);

  // Hosting, listed publicly: the choice reaches the settings the hosting copy reads.
  window.show();
  window.findChild<QRadioButton*>(QStringLiteral("radio_host"))->setChecked(true);
  window.findChild<QRadioButton*>(QStringLiteral("radio_public"))->click();
  window.findChild<QPushButton*>(QStringLiteral("button_start"))->click();
  EXPECT_EQ(started.value(6), QStringLiteral("true")) << started.join(' ').toStdString();  // hosting
  EXPECT_EQ(store.loadJoin().listing, JoinChoices::kListedPublicly);

  // What a directory sends is a stranger's: rows capped, control characters dropped, no address no row.
  QByteArray hostile = R"({"games":[{"title":"a\u0007b\nc","address":"10.0.0.1","port":7,"seats":99},)"
                       R"({"title":"x","port":8},)";
  for (int i = 0; i < 300; ++i) hostile += R"({"title":"t","address":"h","port":1},)";
  const std::vector<PublicGame> games = readPublicGames(hostile + R"({}]})");
  ASSERT_EQ(games.size(), std::size_t(kMaxPublicGames));
  EXPECT_EQ(games[0].title, QStringLiteral("abc"));
  EXPECT_EQ(games[0].seats, 6);
  EXPECT_EQ(games[1].address, QStringLiteral("h"));
}

}  // namespace
}  // namespace tw::test
