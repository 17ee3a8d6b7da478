// The secondary windows, headless: Escape and Enter on every one, the tally
// window's questions, the phrases editor's save, the help pages, the about
// window, the lobby download against a local HTTP server, and the command
// line of the host-or-join window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <functional>
#include <memory>

#include "client/ini_file.h"
#include "net/commands.h"
#include "support/loopback.h"
#include "support/ui_app.h"
#include "windows/about.h"
#include "windows/connect.h"
#include "windows/download.h"
#include "windows/help.h"
#include "windows/phrases.h"
#include "windows/spy_list.h"
#include "windows/tally_list.h"

namespace tw::test {
namespace {

void key(QWidget* w, int k) {
  QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
}

template <class T>
T* child(QObject* parent, const char* name) {
  T* found = parent->findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(found, nullptr) << name;
  return found;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString text(QObject* parent, const char* name) { return child<QLabel>(parent, name)->text(); }

// The open question box of a window, answered by clicking one of its buttons.
bool answer(QWidget* window, QMessageBox::StandardButton reply) {
  QMessageBox* box = nullptr;
  if (!waitUntil([&] {
        box = window->findChild<QMessageBox*>(QStringLiteral("question"));
        return box && box->isVisible();
      }))
    return false;
  box->button(reply)->click();
  QCoreApplication::processEvents();
  return true;
}

TEST(SecondaryWindows, EscapeClosesWithoutActingAndEnterPressesTheMainAction) {
  uiApp();
  QTemporaryDir dir;
  const std::string ini = dir.filePath(QStringLiteral("veltrixlobby.ini")).toStdString();
  struct Case {
    std::function<std::unique_ptr<SecondaryWindow>()> make;
    const char* title;
    const char* mainAction;
  };
  Tally inMemory;
  const Case cases[] = {
      {[&] { return std::make_unique<Ttallylist>(inMemory); }, "Tilewhirl - Tally List", "button_done"},
      {[&] { return std::make_unique<Tphrases>(); }, "Tilewhirl - Phrase Buttons ",
       "button_done"},
      {[] { return std::make_unique<Thelp>(); }, "Tilewhirl - Help File", "button_done"},
      {[] { return std::make_unique<Tabout>(); }, "Tilewhirl - About", "button_done"},
      {[&] { return std::make_unique<Tdownload>(Tdownload::Places{}); }, "Download The Veltrix Lobby",
       "getbutton"},
      {[&] { return std::make_unique<Tconnect>(SettingsStore(ini)); }, "Tilewhirl - Host or Join",
       "button_start"},
      {[] { return std::make_unique<Tspylist>(); }, "Tilewhirl - Spys", "button_done"},
  };
  for (const Case& c : cases) {
    std::unique_ptr<SecondaryWindow> w = c.make();
    EXPECT_EQ(w->windowTitle(), QString::fromLatin1(c.title));
    int defaults = 0;
    for (QPushButton* b : w->findChildren<QPushButton*>()) {
      if (!b->isDefault()) continue;
      ++defaults;
      EXPECT_EQ(b->objectName(), QString::fromLatin1(c.mainAction)) << c.title;
    }
    EXPECT_EQ(defaults, 1) << c.title;
    w->show();
    ASSERT_TRUE(waitUntil([&] { return w->isVisible(); }));
    key(w.get(), Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible()) << c.title;
  }

  // Escape in the editors acts on nothing; Enter is their main action.
  Tphrases phrases;
  int saved = 0;
  QObject::connect(&phrases, &Tphrases::phrasesChanged, [&] { ++saved; });
  phrases.showPhrases({QStringLiteral("Hi")});
  key(&phrases, Qt::Key_Escape);
  EXPECT_EQ(saved, 0);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(ini)));
  phrases.showPhrases({QStringLiteral("Hi")});
  key(child<QLineEdit>(&phrases, "phrase3"), Qt::Key_Return);
  EXPECT_EQ(saved, 1);
  EXPECT_FALSE(phrases.isVisible());

  Tconnect connect{SettingsStore(ini)};
  int started = 0;
  connect.startProgram = [&](const QString&, const QStringList&) { return ++started > 0; };
  child<QLineEdit>(&connect, "edit_name")->setText(QStringLiteral("Ann"));
  child<QRadioButton>(&connect, "radio_host")->setChecked(true);
  connect.show();
  key(&connect, Qt::Key_Escape);
  EXPECT_EQ(started, 0);
  connect.show();
  key(&connect, Qt::Key_Return);
  EXPECT_EQ(started, 1);
}

TEST(TallyWindow, ChecksTalliesAndAsksBeforeDeleting) {
  uiApp();
  QTemporaryDir dir;
  const std::string path = dir.filePath(QStringLiteral("Tilewhirltally.tld")).toStdString();
  Tally tally(path);
  Ttallylist window(tally);
  window.viewTally({"Bob", "<Waiting>", "<b>Cy"});
  auto* checklist = child<QListWidget>(&window, "checklist");
  auto* tallied = child<QListWidget>(&window, "listbox_tally");
  ASSERT_TRUE(waitUntil([&] { return checklist->count() == 2; }));
  checklist->item(0)->setCheckState(Qt::Checked);
  ASSERT_TRUE(waitUntil([&] { return tallied->count() == 1; }));
  window.tally().addgame({true, "You"}, {"Bob", "<b>Cy"});
  window.tally().addtomineincrease(3);
  window.tally().addtomineset(4, 14, "quartz");
  ASSERT_TRUE(waitUntil([&] { return text(&window, "mylabel_1") == QStringLiteral("1"); }));
  EXPECT_EQ(text(&window, "mylabel_2"), QStringLiteral("1"));
  EXPECT_EQ(text(&window, "mylabel_4"), QStringLiteral("quartz (14)"));
  tallied->setCurrentRow(0);
  EXPECT_EQ(text(&window, "label_caption"), QStringLiteral("Bob's Tally"));
  EXPECT_EQ(text(&window, "label_wins"), QStringLiteral("Bob Wins:"));
  EXPECT_EQ(text(&window, "label_1"), QStringLiteral("1"));
  EXPECT_EQ(text(&window, "label_3"), QStringLiteral("1"));
  EXPECT_EQ(text(&window, "label_7"), QStringLiteral("1"));

  // A name with markup in it is shown as it is.
  tallied->setCurrentRow(-1);
  checklist->item(1)->setCheckState(Qt::Checked);
  ASSERT_TRUE(waitUntil([&] { return tallied->count() == 2; }));
  tallied->setCurrentRow(1);
  EXPECT_EQ(text(&window, "label_caption"), QStringLiteral("<b>Cy's Tally"));
  EXPECT_EQ(child<QLabel>(&window, "label_caption")->textFormat(), Qt::PlainText);
  window.tally().untallyPlayer(1);
  ASSERT_TRUE(waitUntil([&] { return tallied->count() == 1; }));

  // Unchecking in the game list removes nothing.
  checklist->item(0)->setCheckState(Qt::Unchecked);
  ASSERT_TRUE(waitUntil([&] { return checklist->item(0)->checkState() == Qt::Checked; }));

  // No keeps the tally and checks it again; Yes deletes it.
  tallied->item(0)->setCheckState(Qt::Unchecked);
  auto* box = window.findChild<QMessageBox*>(QStringLiteral("question"));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), QStringLiteral("This will delete Bob's Tally, Are you want to delete it?"));
  ASSERT_TRUE(answer(&window, QMessageBox::No));
  ASSERT_TRUE(
      waitUntil([&] { return tallied->count() == 1 && tallied->item(0)->checkState() == Qt::Checked; }));
  tallied->item(0)->setCheckState(Qt::Unchecked);
  ASSERT_TRUE(answer(&window, QMessageBox::Yes));
  ASSERT_TRUE(waitUntil([&] { return tallied->count() == 0; }));
  EXPECT_EQ(Tally(path).grid().rowCount(), 1);  // on disk already

  child<QPushButton>(&window, "button_reset")->click();
  ASSERT_TRUE(answer(&window, QMessageBox::No));
  EXPECT_EQ(window.tally().mylabel(1), "1");
  child<QPushButton>(&window, "button_reset")->click();
  ASSERT_TRUE(answer(&window, QMessageBox::Yes));
  ASSERT_TRUE(waitUntil([&] { return text(&window, "mylabel_4") == QStringLiteral("-"); }));
  EXPECT_EQ(text(&window, "mylabel_1"), QStringLiteral("0"));
}

// Two copies of the program sharing one tally file (a second copy, or two
// accounts on one folder): each change is made to the file as it is, so the
// games of both count. Names show in Windows-1252, as in every other window.
TEST(TallyWindow, TwoCopiesSharingTheFileBothCount) {
  uiApp();
  QTemporaryDir dir;
  const std::string path = dir.filePath(QStringLiteral("Tilewhirltally.tld")).toStdString();
  using Row = std::array<std::string, 8>;
  Tally firstTally(path), secondTally(path);
  Ttallylist first(firstTally), second(secondTally);
  const std::string upper =
                        "\x8A"
                        "an\x80",
                    lower =
                        "\x9A"
                        "an\x80";  // "Šan€", "šan€"
  first.viewTally({upper});
  auto* checklist = child<QListWidget>(&first, "checklist");
  ASSERT_TRUE(waitUntil([&] { return checklist->count() == 1; }));
  EXPECT_EQ(checklist->item(0)->text(), QString::fromUtf8("Šan€"));
  checklist->item(0)->setCheckState(Qt::Checked);
  first.tally().addgame({true, "You"}, {upper});
  second.tally().addgame({false, lower}, {lower});
  first.viewTally({upper});  // shows the other copy's game
  EXPECT_EQ(first.tally().mylabel(1), "2");
  first.tally().addtomineincrease(3);
  // Each copy's session counts its own games.
  EXPECT_EQ(first.tally().talliedRow(0), (Row{"2", "1", "1", "0", "1", "0", "1", "0"}));
  EXPECT_EQ(second.tally().talliedRow(0), (Row{"2", "1", "1", "0", "1", "1", "0", "0"}));
  Tally thirdTally(path);
  Ttallylist third(thirdTally);
  EXPECT_EQ(third.tally().mylabel(2), "1");
  EXPECT_EQ(third.tally().mylabel(3), "1");
  EXPECT_EQ(third.tally().talliedRow(0), (Row{"2", "1", "1", "0", "0", "0", "0", "0"}));
  EXPECT_EQ(child<QListWidget>(&third, "listbox_tally")->item(0)->text(), QString::fromUtf8("Šan€"));
}

TEST(TallyWindow, ADamagedFileIsReportedOnceWithoutBlocking) {
  uiApp();
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("Tilewhirltally.tld"));
  ASSERT_TRUE(writeFile(path, "WRZL\xff\xff\xff\xff garbage"));
  Tally tally(path.toStdString());
  Ttallylist window(tally);
  QMessageBox* notice = nullptr;
  ASSERT_TRUE(waitUntil([&] {
    notice = window.findChild<QMessageBox*>(QStringLiteral("notice"));
    return notice && notice->isVisible();
  }));
  EXPECT_FALSE(notice->isModal());
  EXPECT_TRUE(notice->text().contains(path));
  EXPECT_TRUE(notice->text().contains(path + QStringLiteral(".damaged")));
  EXPECT_TRUE(QFile::exists(path + QStringLiteral(".damaged")));
  spin(50);
  EXPECT_EQ(window.findChildren<QMessageBox*>().size(), 1);
}

TEST(PhrasesWindow, DoneHandsTheNinePhrasesOver) {
  uiApp();
  Tphrases window;
  QStringList handed;
  QObject::connect(&window, &Tphrases::phrasesChanged, [&](const QStringList& p) { handed = p; });
  QStringList current;
  for (int i = 1; i <= 9; ++i) current << QStringLiteral("Phrase %1").arg(i);
  window.showPhrases(current);
  child<QLineEdit>(&window, "phrase2")->clear();
  child<QLineEdit>(&window, "phrase9")->setText(QString(80, QLatin1Char('x')));
  EXPECT_EQ(child<QLineEdit>(&window, "phrase9")->text().size(), 50);
  child<QPushButton>(&window, "button_done")->click();

  ASSERT_EQ(handed.size(), 9);
  EXPECT_EQ(handed[0], QStringLiteral("Phrase 1"));
  EXPECT_EQ(handed[1], QString());
  EXPECT_EQ(handed[8], QString(50, QLatin1Char('x')));
  EXPECT_FALSE(window.isVisible());
}

TEST(HelpAndAbout, PagesCaptionsScoringLicenceAndVersion) {
  uiApp();
  Thelp help;
  EXPECT_EQ(help.currentPage(), 1);
  const std::pair<const char*, int> buttons[] = {
      {"button_page4", 4}, {"button_page5", 5}, {"button_page11", 11}};
  for (const auto& [name, page] : buttons) {
    child<QPushButton>(&help, name)->click();
    EXPECT_EQ(help.currentPage(), page);
  }
  child<QPushButton>(&help, "button_page5")->click();
  EXPECT_EQ(text(&help, "label_caption"), QStringLiteral("Documentation"));
  const QString docs = child<QTextBrowser>(&help, "memo5")->toPlainText();
  for (const char* option : {"Tiles Viewable", "4 Player Max", "Creation Time", "Clear Word", "Spy List",
                             "Bot Speed", "Just Watch"})
    EXPECT_TRUE(docs.contains(QLatin1String(option))) << option;
  EXPECT_TRUE(child<QTextBrowser>(&help, "memo3")->toPlainText().contains(QStringLiteral("Buy costs 20")));
  for (QTextBrowser* page : help.findChildren<QTextBrowser*>())  // the licences are quoted as written
    EXPECT_TRUE(page->objectName() == QLatin1String("memo6") ||
                !page->toPlainText().contains(QRegularExpression(QStringLiteral("\\bhis\\b"))));
  child<QPushButton>(&help, "button_page3")->click();
  EXPECT_EQ(text(&help, "label_caption"), QStringLiteral("Game Play"));

  const QString scoring = child<QTextBrowser>(&help, "memo4")->toPlainText();
  EXPECT_TRUE(scoring.contains(QStringLiteral("Q 10"))) << scoring.toStdString();
  EXPECT_TRUE(scoring.contains(QStringLiteral("count 2 times")));
  EXPECT_TRUE(scoring.contains(QStringLiteral("10 letters: 30 points")));
  EXPECT_TRUE(scoring.contains(QStringLiteral("adds 5 points")));
  // Closing the download window stops the download; the history says so.
  const QString history = child<QTextBrowser>(&help, "memo5")->toPlainText();
  EXPECT_TRUE(history.contains(QStringLiteral("closing its window stops it"))) << history.toStdString();
  EXPECT_FALSE(history.contains(QStringLiteral("background")));
  const QString licence = child<QTextBrowser>(&help, "memo6")->toPlainText();
  EXPECT_TRUE(licence.contains(QStringLiteral("MIT License")));
  EXPECT_TRUE(licence.contains(QStringLiteral("The Tilewhirl developers")));
  EXPECT_TRUE(licence.contains(QStringLiteral("SCOWL")));

  int aboutAsked = 0;
  QObject::connect(&help, &Thelp::aboutRequested, [&] { ++aboutAsked; });
  help.show();
  child<QPushButton>(&help, "button_about")->click();
  EXPECT_EQ(aboutAsked, 1);
  child<QPushButton>(&help, "button_done")->click();
  EXPECT_FALSE(help.isVisible());

  Tabout about;
  EXPECT_EQ(text(&about, "version").toStdString(), kVersion);
  // The version reads once: "Version " and the number, with no stray part beside it.
  QStringList captions;
  for (const QLabel* l : about.findChildren<QLabel*>())
    if (!l->text().isEmpty()) captions << l->text();
  EXPECT_EQ(captions, (QStringList{QStringLiteral("Version"), QString::fromLatin1(kVersion.data())}));
  QList<QUrl> opened;
  about.openUrl = [&](const QUrl& url) {
    opened << url;
    return false;
  };
  // A build without a web page links to none.
  EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("label_web")), nullptr);
  const QUrl page(QStringLiteral("https://game.test/"));
  Tabout linked(nullptr, page);
  linked.openUrl = about.openUrl;
  emit child<QLabel>(&linked, "label_web")->linkActivated(QString());
  EXPECT_EQ(opened, QList<QUrl>{page});
  ASSERT_TRUE(waitUntil([&] { return linked.findChild<QMessageBox*>(QStringLiteral("notice")) != nullptr; }));
  EXPECT_EQ(linked.findChild<QMessageBox*>(QStringLiteral("notice"))->text(),
            QStringLiteral("Cannot open Webpage"));
}

// A tiny HTTP server: each path behaves in one way.
class HttpServer {
 public:
  static constexpr int kSize = 100000;

  HttpServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        auto request = std::make_shared<QByteArray>();
        QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, request] {
          *request += s->readAll();
          if (!request->contains("\r\n\r\n")) return;
          requests << *request;
          respond(s, request->split(' ').value(1));
        });
      }
    });
  }
  QUrl url(const char* path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(QLatin1String(path)));
  }
  static QByteArray body() {
    QByteArray b(kSize, '\0');
    for (int i = 0; i < kSize; ++i) b[i] = char(i * 7);
    return b;
  }
  QList<QByteArray> requests;

 private:
  void respond(QTcpSocket* s, const QByteArray& path) {
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                            QByteArray::number(kSize) + "\r\nConnection: close\r\n\r\n";
    if (path == "/lobby/vxlsetup.exe") {
      s->write(head + body());
      s->disconnectFromHost();
    } else if (path == "/broken") {
      s->write(head + body().left(5000));
      s->flush();
      s->abort();
    } else if (path == "/stall") {
      s->write(head + body().left(5000));  // and nothing more
    } else {
      s->write("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\nnot found");
      s->disconnectFromHost();
    }
  }
  QTcpServer server_;
};

struct DownloadRig {
  explicit DownloadRig(const QUrl& address)
      : window(Tdownload::Places{address, dir.filePath(QStringLiteral("lobby")),
                                 dir.filePath(QStringLiteral("bin")),
                                 dir.filePath(QStringLiteral("downloads"))}) {
    QDir(dir.path()).mkpath(QStringLiteral("bin"));
    window.startFile = [this](const QString& file, const QStringList& args) {
      started << (file + QLatin1Char(' ') + args.join(QLatin1Char(' ')));
      return startWorks;
    };
    QObject::connect(&window, &Tdownload::closeGameRequested, [this] { ++closeRequests; });
    window.show();
  }
  bool run() {
    child<QPushButton>(&window, "getbutton")->click();
    return waitUntil([&] { return !window.downloading(); }, 10000);
  }
  QString bin(const char* name) const { return dir.filePath(QStringLiteral("bin/") + QLatin1String(name)); }
  QString progress() { return text(&window, "infolabel"); }
  QString status() { return text(&window, "infolabel3"); }
  bool buttonsAtRest() {
    return child<QPushButton>(&window, "getbutton")->isEnabled() &&
           !child<QPushButton>(&window, "abortbutton")->isEnabled();
  }

  QTemporaryDir dir;
  Tdownload window;
  QStringList started;
  bool startWorks = true;
  int closeRequests = 0;
};

TEST(DownloadWindow, ACompleteDownloadIsRenamedThenStarted) {
  uiApp();
  HttpServer server;
  DownloadRig rig(server.url("/lobby/vxlsetup.exe"));
  ASSERT_TRUE(rig.run());
  EXPECT_EQ(rig.progress(), QStringLiteral("Received 100000 bytes"));
  EXPECT_EQ(rig.status(), QStringLiteral("Installing"));
  EXPECT_TRUE(rig.buttonsAtRest());
  EXPECT_EQ(rig.started, QStringList{rig.bin("vxlsetup.exe") + QStringLiteral(" /SP- /silent /noicons")});
  EXPECT_EQ(rig.closeRequests, 1);
  QFile file(rig.bin("vxlsetup.exe"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), HttpServer::body());
  EXPECT_FALSE(QFile::exists(rig.bin("vxlsetup.exe.part")));
  ASSERT_EQ(server.requests.size(), 1);
  EXPECT_TRUE(server.requests[0].contains("User-Agent: Mozilla/3.0 (compatible)"));

  // The platform refusing the installer keeps the game open.
  rig.startWorks = false;
  ASSERT_TRUE(rig.run());
  EXPECT_EQ(rig.status(), QStringLiteral("An Error has Occurred."));
  EXPECT_EQ(rig.closeRequests, 1);
}

TEST(DownloadWindow, NothingIsStartedAfterA404ABrokenTransferOrStop) {
  uiApp();
  HttpServer server;
  {
    DownloadRig rig(server.url("/lobby/missing.exe"));
    ASSERT_TRUE(rig.run());
    EXPECT_EQ(rig.progress(), QStringLiteral("Download Aborted"));
    EXPECT_TRUE(rig.buttonsAtRest());
    EXPECT_TRUE(rig.started.isEmpty());
    EXPECT_FALSE(QFile::exists(rig.bin("missing.exe")));
    EXPECT_FALSE(QFile::exists(rig.bin("missing.exe.part")));
  }
  {
    DownloadRig rig(server.url("/broken"));
    ASSERT_TRUE(rig.run());
    EXPECT_EQ(rig.progress(), QStringLiteral("Download Aborted"));
    EXPECT_TRUE(rig.started.isEmpty());
    EXPECT_EQ(rig.closeRequests, 0);
    EXPECT_FALSE(QFile::exists(rig.bin("broken")));
    EXPECT_FALSE(QFile::exists(rig.bin("broken.part")));
  }
  {
    DownloadRig rig(server.url("/stall"));
    child<QPushButton>(&rig.window, "getbutton")->click();
    EXPECT_FALSE(child<QPushButton>(&rig.window, "getbutton")->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return rig.progress() == QStringLiteral("5000 bytes"); }));
    EXPECT_EQ(rig.status(), QStringLiteral("Downloading: stall"));
    child<QPushButton>(&rig.window, "abortbutton")->click();
    EXPECT_FALSE(rig.window.downloading());
    EXPECT_EQ(rig.progress(), QStringLiteral("Download has been aborted."));
    EXPECT_EQ(rig.status(), QStringLiteral("Download Aborted"));
    EXPECT_TRUE(rig.buttonsAtRest());
    spin(100);
    EXPECT_TRUE(rig.started.isEmpty());
    EXPECT_FALSE(QFile::exists(rig.bin("stall.part")));

    // Closing the offer while a download runs stops it too.
    child<QPushButton>(&rig.window, "getbutton")->click();
    ASSERT_TRUE(waitUntil([&] { return rig.progress() == QStringLiteral("5000 bytes"); }));
    key(&rig.window, Qt::Key_Escape);
    EXPECT_FALSE(rig.window.downloading());
    spin(100);
    EXPECT_TRUE(rig.started.isEmpty());
  }
}

TEST(DownloadWindow, PlayWithOthersOpensTheLobbyOrOffersHostOrJoin) {
  uiApp();
  DownloadRig rig(QUrl(QStringLiteral("http://127.0.0.1:1/")));
  int hostOrJoin = 0;
  QObject::connect(&rig.window, &Tdownload::hostOrJoinRequested, [&] { ++hostOrJoin; });
  child<QPushButton>(&rig.window, "button_others")->click();
  EXPECT_EQ(hostOrJoin, 1);
  EXPECT_TRUE(rig.started.isEmpty());
  EXPECT_FALSE(rig.window.isVisible());

  const QString lobby = rig.dir.filePath(QStringLiteral("lobby"));
  ASSERT_TRUE(writeFile(lobby, ""));
  rig.window.show();
  rig.startWorks = false;
  child<QPushButton>(&rig.window, "button_others")->click();
  EXPECT_EQ(rig.closeRequests, 0);
  rig.startWorks = true;
  child<QPushButton>(&rig.window, "button_others")->click();
  EXPECT_EQ(rig.closeRequests, 1);
  EXPECT_EQ(rig.started.last(), lobby + QLatin1Char(' '));
  EXPECT_EQ(hostOrJoin, 1);
}

TEST(DownloadWindow, AnAddressInTheSettingsFileReplacesTheMakersServer) {
  uiApp();
  QTemporaryDir dir;
  const QString ini = dir.filePath(QStringLiteral("veltrixlobby.ini"));
  EXPECT_FALSE(
      Tdownload(Tdownload::defaultPlaces(SettingsStore(ini.toStdString()))).offered());  // no address
  IniFile file;
  file.writeString("Tilewhirl", "Lobbyaddress", "http://mirror.test/x/setup.exe");
  file.writeString("Tilewhirl", "Lobbyprogram", "/somewhere/lobby");
  ASSERT_TRUE(file.save(ini.toStdString()));
  const Tdownload::Places places = Tdownload::defaultPlaces(SettingsStore(ini.toStdString()));
  EXPECT_EQ(places.address, QUrl(QStringLiteral("http://mirror.test/x/setup.exe")));
  EXPECT_EQ(places.lobbyProgram, QStringLiteral("/somewhere/lobby"));
  EXPECT_TRUE(Tdownload(places).offered());
}

TEST(HostOrJoinWindow, BuildsTheCommandLineRemembersItAndRefusesBadInput) {
  uiApp();
  QTemporaryDir dir;
  const std::string ini = dir.filePath(QStringLiteral("veltrixlobby.ini")).toStdString();
  QStringList line;
  bool works = true;
  int closes = 0;
  {
    Tconnect window{SettingsStore(ini)};
    EXPECT_EQ(child<QSpinBox>(&window, "edit_port")->value(), 7772);
    window.program = QStringLiteral("/games/tilewhirl");
    window.startProgram = [&](const QString& program, const QStringList& args) {
      line = QStringList{program} + args;
      return works;
    };
    QObject::connect(&window, &Tconnect::closeGameRequested, [&] { ++closes; });
    window.show();
    auto* start = child<QPushButton>(&window, "button_start");

    child<QRadioButton>(&window, "radio_join")->setChecked(true);
    start->click();  // no name
    EXPECT_TRUE(line.isEmpty());
    EXPECT_FALSE(text(&window, "label_error").isEmpty());
    child<QLineEdit>(&window, "edit_name")->setText(QStringLiteral("A+B"));
    child<QLineEdit>(&window, "edit_host")->setText(QStringLiteral("games.example.net"));
    start->click();
    EXPECT_TRUE(line.isEmpty());

    child<QLineEdit>(&window, "edit_name")->setText(QStringLiteral(" -Ann "));
    child<QSpinBox>(&window, "edit_port")->setValue(8000);
    works = false;
    start->click();
    EXPECT_EQ(closes, 0);
    EXPECT_EQ(text(&window, "label_error"), QStringLiteral("An Error has Occurred."));
    works = true;
    start->click();
    EXPECT_EQ(line, (QStringList{"/games/tilewhirl", "--port", "8000", "--new-instance", "--", "-Ann",
                                 "games.example.net", "false"}));
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(window.isVisible());
  }
  Tconnect again{SettingsStore(ini)};
  EXPECT_EQ(child<QLineEdit>(&again, "edit_name")->text(), QStringLiteral("-Ann"));
  EXPECT_EQ(child<QSpinBox>(&again, "edit_port")->value(), 8000);
  EXPECT_TRUE(child<QRadioButton>(&again, "radio_join")->isChecked());
  child<QRadioButton>(&again, "radio_host")->setChecked(true);
  EXPECT_FALSE(child<QLineEdit>(&again, "edit_host")->isEnabled());
  EXPECT_EQ(again.arguments(),
            (QStringList{"--port", "8000", "--new-instance", "--", "-Ann", "127.0.0.1", "true"}));
}

}  // namespace
}  // namespace tw::test
