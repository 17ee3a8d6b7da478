// Play with Others against a real tilewhirl-directory (in memory, or on a real
// redis-server) and two real tilewhirl-host programs on loopback: a window
// joins the public game by double-clicking it in "Public games", another by
// typing the invite-only game's code, each starting a real game window that
// takes a seat; a full game is offered for watching first. Refusals and a
// directory that goes away show as a line in the window.
#include <gtest/gtest.h>
#include <httplib.h>

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
#include <mutex>
#include <thread>

#include "redis_server.h"
#include "support/loopback.h"
#include "support/ui_app.h"
#include "windows/connect.h"
#include "windows/directory_lookup.h"

namespace tw::test {
namespace {

// A program of ours with its own home and no screen, killed at the end.
struct Program {
  QTemporaryDir home;
  QProcess process;
  QByteArray log;
  void start(const char* program, const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(home.path());
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

// Keys as a player types them, Return at the end.
void type(QLineEdit& edit, const QString& text) {
  edit.clear();
  edit.setFocus();
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(&edit, &press);
  }
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(&edit, &enter);
}

int portIn(const QStringList& args) { return args.size() > 1 ? args[1].toInt() : 0; }

bool heard(Peer& peer, const std::string& message) {
  return waitUntil([&] { return std::count(peer.received.begin(), peer.received.end(), message) > 0; }, 20000);
}

// One Play with Others window whose Start runs the real game program.
struct PlayWithOthers {
  explicit PlayWithOthers(const SettingsStore& store, const QString& name) : window(store) {
    window.startProgram = [this](const QString&, const QStringList& args) {
      started = args;
      if (!launch) return true;
      games.push_back(std::make_unique<Program>());
      games.back()->start(TW_GAME_PROGRAM, args);
      return true;
    };
    window.findChild<QLineEdit*>(QStringLiteral("edit_name"))->setText(name);
    window.show();
  }
  QLabel& error() { return *window.findChild<QLabel*>(QStringLiteral("label_error")); }
  Tconnect window;
  QStringList started;
  bool launch = true;
  std::vector<std::unique_ptr<Program>> games;
};

class DirectoryWindow : public ::testing::TestWithParam<bool> {};

TEST_P(DirectoryWindow, APublicGameIsJoinedFromTheListAndAPrivateOneByItsTypedCode) {
  uiApp();
  std::unique_ptr<RedisServer> redis;
  QStringList storage;
  if (GetParam()) {
    redis = std::make_unique<RedisServer>();
    storage = {QStringLiteral("--redis"), QString::fromStdString(redis->url())};
  }
  Program directory, open, invited;
  directory.start(TW_DIRECTORY_PROGRAM, QStringList{"--port", "0", "--http-port", "0"} + storage);
  const QString registrations = directory.await(QStringLiteral("registrations on port (\\d+)"));
  const int http = directory.await(QStringLiteral("look-ups on port (\\d+)")).toInt();
  ASSERT_NE(http, 0) << directory.log.constData();
  const QString where = "127.0.0.1:" + registrations;
  open.start(TW_HOST_PROGRAM, {"--port", "0", "--directory", where, "--public", "--title", "Ann's table"});
  invited.start(TW_HOST_PROGRAM, {"--port", "0", "--directory", where, "--invite-only", "--title", "Bob's"});
  const QString code = invited.await(QStringLiteral("Invite code: ([A-Z0-9]{3}-[A-Z0-9]{3})"));
  ASSERT_FALSE(code.isEmpty()) << invited.log.constData();
  QTemporaryDir dir;
  const SettingsStore store(dir.filePath(QStringLiteral("settings.ini")).toStdString());
  ASSERT_TRUE(store.saveDirectory({where.toStdString(), http}, ""));

  // Double-clicked in the list (which does not show the invite-only game), the
  // public game gets a game window in its seat 1.
  PlayWithOthers dee(store, QStringLiteral("Dee"));
  auto* table = dee.window.findChild<QTableWidget*>(QStringLiteral("table_public"));
  ASSERT_TRUE(waitUntil([&] { return table->rowCount() == 1; }, 15000))
      << dee.window.findChild<QLabel*>(QStringLiteral("label_public"))->text().toStdString();
  EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("Ann's table"));
  if (const QByteArray shots = qgetenv("TW_SHOT_DIR"); !shots.isEmpty())
    dee.window.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/play-with-others.png"));
  doubleClick(*table, 0);
  const quint16 publicPort = quint16(portIn(dee.started));
  ASSERT_NE(publicPort, 0) << dee.started.join(' ').toStdString();
  ASSERT_TRUE(waitUntil([&] { return open.log.contains("logged in as Dee"); }, 20000))
      << open.log.constData() << dee.games.back()->log.constData();
  std::vector<std::unique_ptr<Peer>> others;
  others.push_back(Peer::join(publicPort, "Eve"));
  EXPECT_TRUE(heard(*others.back(), "CMD_existingplayers+1+Dee"));

  // Full: the list shows it, and the first pick only offers to watch. (From
  // addresses of their own: a host takes only so many players from one.)
  while (others.size() < 5) {
    const QString from = QStringLiteral("127.0.0.%1").arg(others.size() + 1);
    others.push_back(Peer::join(publicPort, "P" + std::to_string(others.size()), from));
  }
  PlayWithOthers fay(store, QStringLiteral("Fay"));
  fay.launch = false;
  auto* fayTable = fay.window.findChild<QTableWidget*>(QStringLiteral("table_public"));
  ASSERT_TRUE(waitUntil([&] { return fayTable->rowCount() == 1 && fayTable->item(0, 2)->text() == "6/6"; }, 20000))
      << (fayTable->rowCount() ? fayTable->item(0, 2)->text().toStdString() : "no row") << open.log.constData();
  doubleClick(*fayTable, 0);
  EXPECT_TRUE(fay.started.isEmpty());
  EXPECT_TRUE(fay.error().text().startsWith("All seats of Ann's table are taken.")) << fay.error().text().toStdString();
  doubleClick(*fayTable, 0);
  EXPECT_EQ(portIn(fay.started), publicPort);

  // A code typed as people type it finds the other game; a wrong one says so.
  PlayWithOthers cat(store, QStringLiteral("Cat"));
  auto* catTable = cat.window.findChild<QTableWidget*>(QStringLiteral("table_public"));
  ASSERT_TRUE(waitUntil([&] { return catTable->rowCount() == 1; }, 15000));
  auto* edit = cat.window.findChild<QLineEdit*>(QStringLiteral("edit_code"));
  cat.launch = false;
  type(*edit, QStringLiteral(" zzz zzz "));
  EXPECT_TRUE(waitUntil([&] { return cat.error().text() == "No game has this invite code."; }))
      << cat.error().text().toStdString();
  cat.launch = true;
  type(*edit, code.toLower().remove('-'));
  ASSERT_TRUE(waitUntil([&] { return !cat.started.isEmpty(); })) << cat.error().text().toStdString();
  const quint16 invitedPort = quint16(portIn(cat.started));
  EXPECT_NE(invitedPort, publicPort);
  ASSERT_TRUE(waitUntil([&] { return invited.log.contains("logged in as Cat"); }, 20000))
      << invited.log.constData() << cat.games.back()->log.constData();
  auto gus = Peer::join(invitedPort, "Gus");
  EXPECT_TRUE(heard(*gus, "CMD_existingplayers+1+Cat"));

  // The directory goes away: a line says so, and the list it gave stays.
  directory.process.kill();
  directory.process.waitForFinished(3000);
  cat.launch = false;
  cat.window.show();
  type(*edit, code);
  EXPECT_TRUE(waitUntil([&] { return cat.error().text().contains("cannot be reached"); }))
      << cat.error().text().toStdString();
  EXPECT_EQ(catTable->rowCount(), 1);

  // Hosting, listed publicly: the choice reaches the settings the hosting copy reads.
  cat.window.findChild<QRadioButton*>(QStringLiteral("radio_host"))->setChecked(true);
  cat.window.findChild<QRadioButton*>(QStringLiteral("radio_public"))->click();
  cat.window.findChild<QPushButton*>(QStringLiteral("button_start"))->click();
  EXPECT_EQ(cat.started.value(6), QStringLiteral("true")) << cat.started.join(' ').toStdString();  // hosting
  EXPECT_EQ(store.loadJoin().listing, JoinChoices::kListedPublicly);
}

INSTANTIATE_TEST_SUITE_P(MemoryAndRedis, DirectoryWindow, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Redis" : "Memory"; });

TEST(DirectoryLookupClient, AsksForGzipShowsItsTagBackAndReadsStrangersWithSuspicion) {
  uiApp();
  {
    // A default build names no directory: the field and list say so, and nothing is asked.
    QTemporaryDir dir;
    Tconnect bare{SettingsStore(dir.filePath(QStringLiteral("settings.ini")).toStdString())};
    bare.show();
    EXPECT_FALSE(bare.findChild<QLineEdit*>(QStringLiteral("edit_code"))->isEnabled());
    bare.findChild<QRadioButton*>(QStringLiteral("radio_host"))->setChecked(true);
    EXPECT_FALSE(bare.findChild<QRadioButton*>(QStringLiteral("radio_public"))->isEnabled());
    EXPECT_TRUE(bare.findChild<QLabel*>(QStringLiteral("label_public"))->text().startsWith("No game directory"));
  }

  // The list once, then "unchanged": the games stay.
  httplib::Server server;
  server.set_keep_alive_timeout(1);
  std::vector<httplib::Headers> asked;
  std::mutex mutex;
  server.Get("/games.json", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(mutex);
    asked.push_back(req.headers);
    res.set_header("ETag", "W/\"1\"");
    if (req.get_header_value("If-None-Match") == "W/\"1\"") {
      res.status = 304;
      return;
    }
    res.set_content(R"({"games":[{"title":"Ann's","address":"10.0.0.1","port":7772,"seats":2}]})", "application/json");
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread serving([&] { server.listen_after_bind(); });
  DirectoryLookup lookup(QStringLiteral("127.0.0.1"), port);
  std::vector<std::vector<PublicGame>> read;
  QObject::connect(&lookup, &DirectoryLookup::gamesRead,
                   [&](const std::vector<PublicGame>& games, const QString&) { read.push_back(games); });
  for (std::size_t i = 1; i <= 2; ++i) {
    lookup.refreshGames();
    ASSERT_TRUE(waitUntil([&] { return read.size() == i; }));
    ASSERT_EQ(read.back().size(), 1u);
    EXPECT_EQ(read.back()[0].title, QStringLiteral("Ann's"));
  }
  server.stop();
  serving.join();
  ASSERT_EQ(asked.size(), 2u);
  auto header = [](const httplib::Headers& headers, const char* name) {
    const auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
  };
  EXPECT_NE(header(asked[0], "Accept-Encoding").find("gzip"), std::string::npos);
  EXPECT_EQ(header(asked[1], "If-None-Match"), "W/\"1\"");

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
