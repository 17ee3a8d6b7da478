// The real main window against the real host over loopback, headless:
// login and roster, spectators, disconnects, "just watch", chat sending and
// display, phrases, chatter sounds, settings and the ways a session ends.
#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <filesystem>
#include <optional>

#include "host/host_service.h"
#include "support/loopback.h"
#include "support/scratch.h"
#include "support/ui_app.h"
#include "windows/chat_display.h"
#include "windows/download.h"
#include "windows/game_area.h"
#include "windows/game_start.h"
#include "windows/help.h"
#include "windows/phrases.h"
#include "windows/sounds.h"
#include "windows/spy_list.h"
#include "windows/tally_list.h"
#include "windows/tchat.h"

namespace tw::test {
namespace {

using Messages = std::vector<std::string>;

// A host that says whatever the test tells it to.
class FakeHost {
 public:
  FakeHost() {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      socket_ = server_.nextPendingConnection();
      QObject::connect(socket_, &QTcpSocket::readyRead, [this] {
        const QByteArray b = socket_->readAll();
        splitter_.feed(std::string_view(b.constData(), std::size_t(b.size())), received);
      });
    });
  }
  quint16 port() const { return server_.serverPort(); }
  bool hasClient() const { return socket_ != nullptr; }
  bool waitForClient() {
    return waitUntil([this] { return socket_ != nullptr; });
  }
  void say(const std::string& message) {
    const std::string b = message + '\xFF';
    socket_->write(b.data(), qint64(b.size()));
    socket_->flush();
  }
  Messages received;

 private:
  QTcpServer server_;
  QTcpSocket* socket_ = nullptr;
  MessageSplitter splitter_;
};

class Window : public ::testing::Test {
 protected:
  Window() : host([](const std::string&) {}) {
    uiApp();
    EXPECT_TRUE(host.listen(0));
    // Every window and peer here comes from 127.0.0.1.
    host.server().setAddressLimits({AddressLimits{}.maxPendingPerAddress, 0, AddressLimits{}.kickBanMinutes});
    settings = scratchPath("tw-ui", ".ini").string();
    std::filesystem::remove(settings);
  }
  ~Window() override {
    windows.clear();
    std::filesystem::remove(settings);
  }

  StartOptions options(const QString& name, quint16 port, bool hosting = false,
                       const QString& address = QStringLiteral("127.0.0.1")) const {
    StartOptions o;
    o.playerName = name;
    o.hostAddress = address;
    o.host = hosting;
    o.solo = name.isEmpty();
    o.port = port;
    o.settingsPath = settings;
    return o;
  }
  Tchat& open(const QString& name, quint16 port, bool hosting = false,
              const QString& address = QStringLiteral("127.0.0.1"), HostService* hostService = nullptr) {
    const StartOptions o = options(name, port, hosting, address);
    auto w = std::make_unique<Tchat>(o, [this](const std::string& l) { log.push_back(l); });
    Tchat& chat = *w;
    chat.messageBox = [this](const QString& t) { boxes.push_back(t.toStdString()); };
    chat.openUrl = [this](const QUrl& u) {
      opened.push_back(u.toString().toStdString());
      return true;
    };
    chat.sounds().onPlay = [this](const QString& n) { played.push_back(n.toStdString()); };
    auto spy = std::make_unique<Tspylist>();
    chat.setSpyList(spy.get());
    spies.push_back(std::move(spy));
    if (hostService) chat.setHost(hostService);
    QObject::connect(&chat, &Tchat::closed, [this] { ++closedCount; });
    chat.show();
    windows.push_back(std::move(w));
    return chat;
  }
  Tchat& login(const QString& name) {
    Tchat& chat = open(name, host.port());
    EXPECT_TRUE(waitUntil([&] { return chat.client().settingsLoaded(); }));
    return chat;
  }
  // Ann in seat 1 of a host that says what the test tells it.
  Tchat& loginTo(FakeHost& fake) {
    Tchat& chat = open(QStringLiteral("Ann"), fake.port());
    EXPECT_TRUE(fake.waitForClient());
    fake.say("CMD_sendlogininfo+1");
    fake.say("CMD_newplayerinfo+1+Ann");
    EXPECT_TRUE(waitUntil([&] { return chat.client().settingsLoaded(); }));
    return chat;
  }
  std::unique_ptr<Peer> join(const std::string& name) { return Peer::join(host.port(), name); }
  static QString chatText(Tchat& chat) { return chat.mainchat()->toPlainText(); }
  static bool chatHas(Tchat& chat, const QString& text) {
    return waitUntil([&] { return chatText(chat).contains(text); });
  }
  template <typename T>
  static T* child(Tchat& chat, const char* name) {
    return chat.findChild<T*>(QLatin1String(name));
  }
  static void type(Tchat& chat, const QString& text) {
    auto* input = child<QLineEdit>(chat, "mychat");
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QCoreApplication::sendEvent(input, &key);  // empties "<Enter Chat Here>"
    input->setText(text);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(input, &enter);
  }
  static void trigger(Tchat& chat, const char* action) {
    QAction* a = child<QAction>(chat, action);
    ASSERT_NE(a, nullptr) << action;
    a->trigger();
  }
  static bool received(Peer& peer, const std::string& message) {
    return waitUntil([&] {
      return std::find(peer.received.begin(), peer.received.end(), message) != peer.received.end();
    });
  }

  HostService host;
  std::string settings;
  std::optional<Tally> record;  // outlives the windows whose mirror feeds it
  std::vector<std::unique_ptr<Tchat>> windows;
  std::vector<std::unique_ptr<Tspylist>> spies;
  Messages log, boxes, opened, played;
  int closedCount = 0;
};

TEST_F(Window, ASoloStartHostsOnThisCopyAndLogsInAsYou) {
  HostService own([](const std::string&) {});
  Tchat& chat = open(QString(), 0, true, QString(), &own);
  Tdownload download(Tdownload::defaultPlaces(chat.client().settingsStore()), &chat);  // no address: no offer
  chat.setWindows({&download, {}, {}, {}, {}, {}});
  ASSERT_TRUE(waitUntil([&] { return chat.client().settingsLoaded(); }));
  EXPECT_EQ(chat.client().ownSeat(), 1);
  EXPECT_TRUE(chat.client().hosting());
  EXPECT_EQ(child<QLabel>(chat, "label_playername1")->text(), QStringLiteral("You"));
  EXPECT_TRUE(child<QLabel>(chat, "label_playername1")->isVisible());
  EXPECT_TRUE(child<QPushButton>(chat, "button_start")->isVisible());
  EXPECT_TRUE(child<QAction>(chat, "StartGame1")->isEnabled());
  EXPECT_TRUE(
      chatText(chat).startsWith(QStringLiteral(" Loading Solo Game..Please wait. \n You are Connected.")));
  EXPECT_EQ(played, Messages{"entered"});
  EXPECT_EQ(own.server().seat(1).name, "You");
  EXPECT_FALSE(download.isVisible());
  emit chat.findChild<GameArea*>()->logoClicked();  // no web page: nothing opens
  EXPECT_TRUE(opened.empty() && boxes.empty());
}

TEST_F(Window, TwoCopiesOneHostingChatWithEachOther) {
  HostService own([](const std::string&) {});
  Tchat& ann = open(QStringLiteral("Ann"), 0, true, QStringLiteral("ignored.invalid"), &own);
  ASSERT_TRUE(waitUntil([&] { return ann.client().settingsLoaded(); }));
  Tchat& bob = open(QStringLiteral("Bob"), own.port(), false);
  ASSERT_TRUE(waitUntil([&] { return bob.client().settingsLoaded(); }));
  EXPECT_EQ(bob.client().ownSeat(), 2);
  EXPECT_FALSE(child<QPushButton>(bob, "button_start")->isVisible());
  // The roster follows the newcomer's own announcement, one message per tick.
  EXPECT_TRUE(
      waitUntil([&] { return child<QLabel>(bob, "label_playername1")->text() == QStringLiteral("Ann"); }));
  type(bob, QStringLiteral("hi Ann :)#10"));
  ASSERT_TRUE(chatHas(ann, QStringLiteral("Bob chats:  hi Ann ")));
  type(ann, QStringLiteral("/me waves"));
  ASSERT_TRUE(chatHas(bob, QStringLiteral("Ann waves")));
}

TEST_F(Window, TheWindowHasTheNamedComponents) {
  Tchat& chat = open(QStringLiteral("Ann"), host.port());
  for (const char* name : {"word_1",         "word_10",        "image_bonus10",     "label_status",
                           "label_timer",    "image_timer",    "letters_7",         "label_playername6",
                           "label_score6",   "label_bonus6",   "image_eyes6",       "image_Turn",
                           "Image6",         "label_gm",       "label_playtoscore", "label_timeperturn",
                           "image_canplay5", "image_canplay6", "label_theirtiles",  "image_theirtile7"})
    EXPECT_NE(child<QLabel>(chat, name), nullptr) << name;
  for (const char* name : {"button_clear", "button_buy", "button_pass", "button_done", "button_start"})
    EXPECT_NE(child<QPushButton>(chat, name), nullptr) << name;
  for (const char* name : {"b_phrase1", "b_phrase9", "b_phrase10", "button_smilies", "button_shuffle"})
    EXPECT_NE(child<QToolButton>(chat, name), nullptr) << name;
  for (const char* name : {"paintbox_board", "panel_theboard", "panel_winner", "panel_theirletters"})
    EXPECT_NE(child<QWidget>(chat, name), nullptr) << name;
  for (const char* name : {"StartGame1",
                           "JustWatch1",
                           "Exit1",
                           "PlaySounds1",
                           "PlayChatterSounds1",
                           "Classic1",
                           "New1",
                           "TextColor1",
                           "N8",
                           "N10",
                           "N12",
                           "N14",
                           "ScrollChatOff1",
                           "ScrollChatOff2",
                           "ClearMainChat1",
                           "ClearMainChat2",
                           "SelectAll1",
                           "Copy1",
                           "Paste1",
                           "Slow1",
                           "Normal1",
                           "Fast1",
                           "ClearWord",
                           "seetheirs",
                           "ResetScreenLocation1",
                           "ViewTally1",
                           "SpyList1",
                           "PhraseList1",
                           "Content1",
                           "About1",
                           "RemoveFromGame1",
                           "SettoJustWatch1",
                           "UnsetJustWatch1",
                           "wave1",
                           "wave20"})
    EXPECT_NE(child<QAction>(chat, name), nullptr) << name;
  EXPECT_EQ(child<QAction>(chat, "wave20")->text(), QStringLiteral("Crying"));
  EXPECT_EQ(child<QLabel>(chat, "word_3")->geometry(), QRect(95, 15, 41, 41));
  EXPECT_EQ(child<QLabel>(chat, "label_playername3")->geometry(), QRect(475, 96, 92, 16));
  EXPECT_EQ(child<QToolButton>(chat, "b_phrase4")->toolTip(), QStringLiteral("Excellent!"));
}

// The help names each item in italics as the menus caption it; an item of
// another window is named with its window ("the spy list's ...").
TEST_F(Window, HelpNamesTheItemsTheMenusHave) {
  Tchat& chat = open(QStringLiteral("Ann"), host.port());
  QStringList captions;
  for (const QAction* a : chat.findChildren<QAction*>()) captions << a->text().remove(QLatin1Char('&'));
  Thelp help;
  int named = 0;
  for (const QTextBrowser* page : help.findChildren<QTextBrowser*>()) {
    for (QTextBlock block = page->document()->begin(); block.isValid(); block = block.next()) {
      QString before;
      for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment part = it.fragment();
        if (part.charFormat().fontItalic()) {
          ++named;
          EXPECT_TRUE(captions.contains(part.text()) || before.endsWith(QStringLiteral("'s ")))
              << part.text().toStdString();
        }
        before = part.text();
      }
    }
  }
  EXPECT_GT(named, 5);
}

TEST_F(Window, TheRosterFollowsLoginsSpectatorsAndDisconnects) {
  Tchat& ann = login(QStringLiteral("Ann"));
  std::vector<std::unique_ptr<Peer>> players;
  for (const char* name : {"Bob", "Cid", "Dee", "Eli", "Fay"}) players.push_back(join(name));
  ASSERT_TRUE(
      waitUntil([&] { return child<QLabel>(ann, "label_playername6")->text() == QStringLiteral("Fay"); }));
  EXPECT_TRUE(child<QLabel>(ann, "label_score2")->isVisible());
  auto eve = join("Eve");
  ASSERT_TRUE(chatHas(ann, QStringLiteral("Eve is spying.")));
  auto* list = spies.front().get();
  EXPECT_EQ(list->entries(), QStringList{QStringLiteral("7: Eve")});

  eve.reset();
  ASSERT_TRUE(chatHas(ann, QStringLiteral("Eve has left.")));
  EXPECT_TRUE(list->entries().isEmpty());
  players[0].reset();
  players[1].reset();
  ASSERT_TRUE(waitUntil(
      [&] { return child<QLabel>(ann, "label_playername3")->text() == QStringLiteral("<Waiting>"); }));
  EXPECT_EQ(child<QLabel>(ann, "label_playername2")->text(), QStringLiteral("Klot"));
  EXPECT_TRUE(chatText(ann).contains(QStringLiteral("Bob disconnected.")));
}

TEST_F(Window, ASpectatorSeesItselfSpying) {
  std::vector<std::unique_ptr<Peer>> players;
  for (const char* name : {"A", "B", "C", "D", "E", "F"}) players.push_back(join(name));
  Tchat& ann = login(QStringLiteral("Ann"));
  ASSERT_TRUE(chatHas(ann, QStringLiteral("You are spying.")));
  EXPECT_EQ(ann.client().ownSeat(), 7);
  EXPECT_EQ(spies.front()->entries(), QStringList{QStringLiteral("7: Ann")});
  // A spectator sends no chatter sounds.
  trigger(ann, "wave3");
  // Sent after it on the same connection: once this line is relayed, a sound would have been.
  type(ann, QStringLiteral("after"));
  ASSERT_TRUE(received(*players[0], "CMD_chat+7+Ann chats: after|clBlack"));
  EXPECT_TRUE(std::none_of(players[0]->received.begin(), players[0]->received.end(),
                           [](const std::string& m) { return m.rfind("CMD_playasound", 0) == 0; }));
}

TEST_F(Window, JustWatchIsCheckedOnlyWhenTheHostSaysSo) {
  Tchat& ann = login(QStringLiteral("Ann"));
  auto bob = join("Bob");
  trigger(ann, "JustWatch1");  // no game running: the host does not answer
  // An answer would come before the echo of a line sent after the request.
  type(ann, QStringLiteral("after"));
  ASSERT_TRUE(chatHas(ann, QStringLiteral("Ann chats:  after")));
  EXPECT_FALSE(child<QAction>(ann, "JustWatch1")->isChecked());
  bob->say("CMD_justwatch+2+2");
  ASSERT_TRUE(chatHas(ann, QStringLiteral("Bob is now playing again")));
  EXPECT_FALSE(child<QLabel>(ann, "image_eyes2")->isVisible());

  FakeHost fake;
  Tchat& cid = open(QStringLiteral("Cid"), fake.port());
  ASSERT_TRUE(fake.waitForClient());
  fake.say("CMD_sendlogininfo+3");
  fake.say("CMD_newplayerinfo+3+Cid");
  ASSERT_TRUE(waitUntil([&] { return cid.client().loggedIn(); }));
  trigger(cid, "JustWatch1");
  ASSERT_TRUE(waitUntil([&] { return fake.received.size() == 2; }));
  EXPECT_EQ(fake.received[1], "CMD_justwatch+3+1");
  EXPECT_FALSE(child<QAction>(cid, "JustWatch1")->isChecked());
  fake.say("CMD_justwatching+3+1");
  ASSERT_TRUE(waitUntil([&] { return child<QAction>(cid, "JustWatch1")->isChecked(); }));
  EXPECT_TRUE(child<QLabel>(cid, "image_eyes3")->isVisible());
  EXPECT_TRUE(chatText(cid).contains(QStringLiteral("Cid is just watching")));
}

TEST_F(Window, ChatAndActionsFollowTheSendingRules) {
  Tchat& ann = login(QStringLiteral("Ann"));
  auto bob = join("Bob");
  auto* input = child<QLineEdit>(ann, "mychat");
  EXPECT_EQ(input->text(), QStringLiteral("<Enter Chat Here>"));
  type(ann, QStringLiteral("hello"));
  ASSERT_TRUE(received(*bob, "CMD_chat+1+Ann chats: hello|clBlack"));
  EXPECT_TRUE(input->text().isEmpty());
  ASSERT_TRUE(chatHas(ann, QStringLiteral("Ann chats:  hello")));
  type(ann, QStringLiteral("/meow"));
  ASSERT_TRUE(received(*bob, "CMD_action+1+Ann w|clBlack"));
  type(ann, QStringLiteral("/help"));
  EXPECT_TRUE(input->text().isEmpty());
  type(ann, QString());
  type(ann, QStringLiteral("/me"));
  ASSERT_TRUE(received(*bob, "CMD_action+1+Ann |clBlack"));
  // "/help" and the empty line sent nothing in between.
  EXPECT_EQ(std::count_if(bob->received.begin(), bob->received.end(),
                          [](const std::string& m) {
                            return m.rfind("CMD_chat", 0) == 0 || m.rfind("CMD_action", 0) == 0;
                          }),
            3);
}

TEST_F(Window, TextStaysInTheInputUntilLoggedIn) {
  FakeHost fake;
  Tchat& ann = open(QStringLiteral("Ann"), fake.port());
  ASSERT_TRUE(fake.waitForClient());
  type(ann, QStringLiteral("too early"));
  EXPECT_EQ(child<QLineEdit>(ann, "mychat")->text(), QStringLiteral("too early"));
  // The login is the first thing the window sends: nothing went out before it.
  fake.say("CMD_sendlogininfo+1");
  ASSERT_TRUE(waitUntil([&] { return !fake.received.empty(); }));
  EXPECT_EQ(fake.received.front().rfind("CMD_logininfo+1+", 0), 0u);
}

TEST_F(Window, PhraseButtonsSendOneLineInTwoSeconds) {
  Tchat& ann = login(QStringLiteral("Ann"));
  auto bob = join("Bob");
  child<QToolButton>(ann, "b_phrase7")->click();
  child<QToolButton>(ann, "b_phrase1")->click();
  ASSERT_TRUE(received(*bob, "CMD_action+1+Ann says: Thanks!|clBlack"));
  // A second phrase would reach Bob before a line typed after the clicks.
  type(ann, QStringLiteral("after"));
  ASSERT_TRUE(received(*bob, "CMD_chat+1+Ann chats: after|clBlack"));
  EXPECT_EQ(std::count_if(bob->received.begin(), bob->received.end(),
                          [](const std::string& m) { return m.rfind("CMD_action", 0) == 0; }),
            1);
}

TEST_F(Window, ChatLinesShowPrefixSmiliesLinksAndOnlyText) {
  Tchat& ann = login(QStringLiteral("Ann"));
  auto bob = join("Bob");
  bob->say(
      "CMD_chat+2+hi :)#12 www.example.org <b>x</b><img src=\"file:///etc/passwd\"> "
      "file://http://evil|clNavy");
  ASSERT_TRUE(chatHas(ann, QStringLiteral("Bob chats:  hi ")));
  QTextDocument* doc = ann.mainchat()->document();
  const QTextBlock line = doc->lastBlock();
  EXPECT_TRUE(line.text().contains(QStringLiteral("<b>x</b><img src=\"file:///etc/passwd\">")));
  std::vector<QString> images, links;
  QString prefixWeight;
  for (auto it = line.begin(); !it.atEnd(); ++it) {
    const QTextCharFormat f = it.fragment().charFormat();
    if (f.isImageFormat()) images.push_back(f.toImageFormat().name());
    if (f.isAnchor()) {
      links.push_back(it.fragment().text());
      EXPECT_TRUE(f.fontUnderline());
    }
  }
  EXPECT_EQ(images, std::vector<QString>{ChatDisplay::smileyName(2)});
  EXPECT_EQ(links, std::vector<QString>{QStringLiteral("www.example.org ")});
  EXPECT_FALSE(doc->toHtml().contains(QStringLiteral("<b>x")));

  // A click on the link opens its address; the seat's colour is navy and bold.
  const QTextCharFormat first = line.begin().fragment().charFormat();
  EXPECT_EQ(first.foreground().color(), QColor(0, 0, 0x80));
  EXPECT_EQ(first.fontWeight(), QFont::Bold);
  for (auto it = line.begin(); !it.atEnd(); ++it)
    if (it.fragment().charFormat().isAnchor())
      emit ann.mainchat()->anchorClicked(QUrl(it.fragment().charFormat().anchorHref()));
  EXPECT_EQ(opened, Messages{"http://www.example.org"});
  // A link gone from the table, or one that does not parse, says so as every
  // failed link does.
  emit ann.mainchat()->anchorClicked(QUrl(QStringLiteral("tw-link:99999")));
  EXPECT_EQ(boxes, Messages{"Cannot open Webpage"});
  bob->say("CMD_chat+2+http://[bad|clNavy");
  ASSERT_TRUE(chatHas(ann, QStringLiteral("http://[bad")));
  for (auto it = doc->lastBlock().begin(); !it.atEnd(); ++it)
    if (it.fragment().charFormat().isAnchor())
      emit ann.mainchat()->anchorClicked(QUrl(it.fragment().charFormat().anchorHref()));
  EXPECT_EQ(boxes, Messages(2, "Cannot open Webpage"));
  EXPECT_EQ(opened.size(), 1u);

  // The next line in green turns every earlier line of seat 2 green.
  bob->say("CMD_chat+2+again|clGreen");
  ASSERT_TRUE(chatHas(ann, QStringLiteral("again")));
  EXPECT_EQ(line.begin().fragment().charFormat().foreground().color(), QColor(0, 0x80, 0));
}

// One message is one line under its sender's name, in a colour that is not
// the blue of this copy's own lines; control characters show as blanks.
TEST_F(Window, APeerCannotForgeStatusLines) {
  FakeHost fake;
  Tchat& ann = loginTo(fake);
  fake.say("CMD_newplayerinfo+2+Bob\r\nBob disconnected.");
  ASSERT_TRUE(chatHas(ann, QStringLiteral("Bob  Bob disconnected. is Connected.")));
  // Too long for its box, the name shows whole in the tooltip.
  EXPECT_EQ(child<QLabel>(ann, "label_playername2")->toolTip(), QStringLiteral("Bob  Bob disconnected."));
  QTextDocument* doc = ann.mainchat()->document();
  const int lines = doc->blockCount();
  const auto colour = [&](int line) {
    return doc->findBlockByNumber(lines + line).begin().fragment().charFormat().foreground().color();
  };
  fake.say("CMD_chat+2+Bob chats: hi\nBob disconnected.\x7f|clBlue");
  fake.say("CMD_action+3+Bob disconnected.|$00FE0101");
  fake.say("CMD_chat+0+Bob disconnected.|clBlue");  // the system's own style is not for peers
  fake.say("CMD_chat+4+Cid chats: a|b :|) c|clGreen");
  ASSERT_TRUE(chatHas(ann, QStringLiteral("a|b")));
  EXPECT_EQ(doc->blockCount(), lines + 3);
  EXPECT_EQ(doc->findBlockByNumber(lines).text(), QStringLiteral("Bob chats:  hi Bob disconnected.  "));
  EXPECT_EQ(colour(0), QColor(0, 0, 0x80));  // blue and near-blue show as navy
  EXPECT_EQ(colour(1), QColor(0, 0, 0x80));
  EXPECT_EQ(doc->findBlockByNumber(lines + 2).text(), QStringLiteral("Cid chats:  a|b :|) c "));
  EXPECT_EQ(colour(2), QColor(0, 0x80, 0));
  EXPECT_EQ(ann.mainchat()->style(0).colour, kBlue);
}

TEST_F(Window, ChatterSoundsPlayOrShowAsText) {
  Tchat& ann = login(QStringLiteral("Ann"));
  auto bob = join("Bob");
  trigger(ann, "wave14");
  ASSERT_TRUE(received(*bob, "CMD_playasound+1+wave14+"));
  ASSERT_TRUE(waitUntil([&] { return !played.empty() && played.back() == "wave14"; }));
  trigger(ann, "PlayChatterSounds1");
  EXPECT_FALSE(child<QAction>(ann, "PlayChatterSounds1")->isChecked());
  bob->say("CMD_playasound+2+wave14+");
  ASSERT_TRUE(chatHas(ann, QStringLiteral("Bob:  <Chatter Sound> Honk")));
  EXPECT_EQ(IniFile::load(settings).value("Tilewhirl", "ChatterSounds"), "false");
}

TEST_F(Window, SettingsAreReadAtLoginAndWrittenKeyByKey) {
  ASSERT_TRUE(IniFile::parse("; mine\n[Lobby]\nx=1\n[TILEWHIRL]\nTEXTSIZE=12\nplaysounds=False\n"
                             "Left=30\nTop=40\nWidth=760\nHeight=560\nPhrase4=Hooray\n")
                  .save(settings));
  Tchat& ann = login(QStringLiteral("Ann"));
  EXPECT_TRUE(child<QAction>(ann, "N12")->isChecked());
  EXPECT_TRUE(child<QAction>(ann, "PlaySounds1")->isChecked());
  EXPECT_TRUE(child<QAction>(ann, "Normal1")->isChecked());
  EXPECT_EQ(ann.mainchat()->style(3).size, 12);
  EXPECT_EQ(child<QToolButton>(ann, "b_phrase4")->toolTip(), QStringLiteral("Hooray"));
  EXPECT_EQ(ann.pos(), QPoint(30, 40));
  EXPECT_EQ(ann.minimumSize(), ann.maximumSize());  // one size: the stored one only moves it
  trigger(ann, "Fast1");
  const std::string text = IniFile::load(settings).text();
  EXPECT_EQ(text.rfind("; mine\n[Lobby]\nx=1\n[TILEWHIRL]\n", 0), 0u);
  const IniFile file = IniFile::parse(text);
  EXPECT_EQ(file.value("tilewhirl", "Botspeed"), "250");
  EXPECT_EQ(file.value("tilewhirl", "Textsize"), "12");
  EXPECT_EQ(file.value("tilewhirl", "Phrase4"), "Hooray");
  EXPECT_EQ(file.value("tilewhirl", "Playsounds"), "true");
}

// The phrases editor's Done puts the phrases on the buttons and into the
// settings file, renamed over the old one with the rest of it kept; a file
// that cannot be written says so in the editor.
TEST_F(Window, EditedPhrasesReachTheButtonsAndTheFile) {
  ASSERT_TRUE(IniFile::parse("[Tilewhirl]\nTextsize=12\nPhrase2=Old\n[Other]\nx=1\n").save(settings));
  Tchat& ann = login(QStringLiteral("Ann"));
  Tphrases phrases(&ann);
  Tchat::Windows secondary;
  secondary.phrases = &phrases;
  ann.setWindows(secondary);
  trigger(ann, "PhraseList1");
  phrases.findChild<QLineEdit*>(QStringLiteral("phrase1"))->setText(QStringLiteral("Caf\u00E9"));
  phrases.findChild<QLineEdit*>(QStringLiteral("phrase2"))->clear();
  phrases.findChild<QPushButton*>(QStringLiteral("button_done"))->click();
  EXPECT_EQ(child<QToolButton>(ann, "b_phrase1")->toolTip(), QStringLiteral("Caf\u00E9"));
  const IniFile file = IniFile::load(settings);
  EXPECT_EQ(file.value("Tilewhirl", "Phrase1"), "Caf\xE9");
  EXPECT_EQ(file.value("Tilewhirl", "Phrase2"), "");
  EXPECT_EQ(file.value("Tilewhirl", "Textsize"), "12");
  EXPECT_EQ(file.value("Other", "x"), "1");
  EXPECT_FALSE(std::filesystem::exists(settings + ".new"));
  EXPECT_TRUE(phrases.findChildren<QMessageBox*>().isEmpty());

  std::filesystem::remove(settings);
  std::filesystem::create_directory(settings);  // no file can be renamed over a folder
  trigger(ann, "PhraseList1");
  phrases.findChild<QPushButton*>(QStringLiteral("button_done"))->click();
  EXPECT_EQ(phrases.findChildren<QMessageBox*>().size(), 1);
  std::filesystem::remove(settings);
}

// The options window holds what was typed into it for the whole run: saves
// of other settings store it instead of overwriting it, and so does the close.
TEST_F(Window, TheOptionsWindowKeepsWhatWasTypedThroughEverySave) {
  FakeHost fake;
  Tchat& ann = loginTo(fake);
  Tphrases phrases(&ann);
  Tchat::Windows secondary;
  secondary.phrases = &phrases;
  ann.setWindows(secondary);
  child<QPushButton>(ann, "button_start")->show();
  child<QPushButton>(ann, "button_start")->click();
  auto* playTo = ann.gamestart()->findChild<QAbstractSpinBox*>(QStringLiteral("edit_playtoscore"));
  QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
  for (int i = 0; i < 10; ++i) QCoreApplication::sendEvent(playTo, &up);
  trigger(ann, "PlaySounds1");
  trigger(ann, "PhraseList1");
  QKeyEvent done(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(&phrases, &done);  // the phrases are saved
  EXPECT_EQ(playTo->text(), QStringLiteral("300"));
  EXPECT_EQ(IniFile::load(settings).value("Tilewhirl", "Playtoscore"), "300");
  ann.gamestart()->findChild<QPushButton*>(QStringLiteral("BUTTON_START"))->click();
  ASSERT_TRUE(waitUntil([&] { return fake.received.size() == 2; }));
  EXPECT_EQ(fake.received[1], "CMD_startgame+Ann+300+60+f+1+0+");

  child<QPushButton>(ann, "button_start")->click();
  QCoreApplication::sendEvent(playTo, &up);
  ann.close();
  EXPECT_EQ(IniFile::load(settings).value("Tilewhirl", "Playtoscore"), "305");
}

// An opponent who calls himself by the name the own win once travelled under
// wins as himself, in the window and in the file.
TEST_F(Window, AnOpponentNamedAddtomineWinsAsHimself) {
  FakeHost fake;
  Tchat& ann = loginTo(fake);
  const std::string file = settings + ".tld";
  record.emplace(file, [](const std::string&) {});
  ann.client().game().setTally(&*record);
  auto tally = std::make_unique<Ttallylist>(*record, &ann);
  Tchat::Windows secondary;
  secondary.tally = tally.get();
  ann.setWindows(secondary);
  fake.say("CMD_newplayerinfo+2+addtomine");
  ASSERT_TRUE(waitUntil([&] { return ann.client().seatName(2) == "addtomine"; }));
  trigger(ann, "ViewTally1");
  auto* checklist = tally->findChild<QListWidget*>(QStringLiteral("checklist"));
  ASSERT_TRUE(waitUntil([&] { return checklist->count() == 1; }));
  checklist->item(0)->setCheckState(Qt::Checked);
  fake.say("CMD_winner+addtomine+");
  ASSERT_TRUE(chatHas(ann, QStringLiteral("addtomine has Won the Game!")));
  tally.reset();
  Tally again(file);
  EXPECT_EQ(again.mylabel(1), "1");
  EXPECT_EQ(again.mylabel(2), "0");
  EXPECT_EQ(again.talliedRow(0)[1], "1");  // addtomine's wins
  std::filesystem::remove(file);
  std::filesystem::remove(file + ".lock");
}

TEST_F(Window, EveryCaptionShowsWholeInItsBox) {
  FakeHost fake;
  Tchat& ann = open(QStringLiteral("Ann"), fake.port());
  ASSERT_TRUE(fake.waitForClient());
  const std::string longest(30, 'W');
  fake.say("CMD_sendlogininfo+1");
  for (int s = 1; s <= 6; ++s)
    fake.say("CMD_newplayerinfo+" + std::to_string(s) + "+" + (s == 3 ? longest : "Bartholomew"));
  fake.say("CMD_startgame+Ann+500+120+3+0+");
  fake.say("CMD_nextplayer+1+");
  for (int s = 2; s <= 6; ++s) fake.say("CMD_hisword+" + std::to_string(s) + "+mammograms+1150+150+1");
  fake.say("CMD_sneaker+4+");
  fake.say("CMD_justwatching+5+1");
  fake.say("CMD_winner+" + longest + "+");
  auto* winner = child<QLabel>(ann, "label_winner1");
  ASSERT_TRUE(waitUntil([&] { return winner->isVisible(); }));
  EXPECT_EQ(child<QLabel>(ann, "label_bonus4")->text(), QStringLiteral("+150 mammograms"));
  const QRect mark = child<QLabel>(ann, "image_sneaker")->geometry();
  for (QLabel* l : child<QWidget>(ann, "panel_background")->findChildren<QLabel*>()) {
    if (!l->isVisible() || l->text().isEmpty()) continue;
    const std::string name = l->objectName().toStdString();
    EXPECT_TRUE(l->parentWidget()->rect().contains(l->geometry())) << name;
    EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->contentsRect().width()) << name;
    EXPECT_FALSE(l->geometry().intersects(mark)) << name;  // the mark covers no text
  }
}

TEST_F(Window, TheWindowSaysWhenTheHostGoesAndStays) {
  auto own = std::make_unique<HostService>([](const std::string&) {});
  ASSERT_TRUE(own->listen(0));
  Tchat& ann = open(QStringLiteral("Ann"), own->port());
  ASSERT_TRUE(waitUntil([&] { return ann.client().loggedIn(); }));
  own.reset();
  ASSERT_TRUE(waitUntil([&] { return !boxes.empty(); }));
  EXPECT_EQ(boxes, Messages{"The host has ended the game."});
  spin(50);
  EXPECT_TRUE(ann.isVisible());
  EXPECT_EQ(closedCount, 0);
}

TEST_F(Window, ARemovedPlayerIsToldWhyAndTheHostAsksBeforeEndingAGame) {
  HostService own([](const std::string&) {});
  Tchat& ann = open(QStringLiteral("Ann"), 0, true, QString(), &own);
  ASSERT_TRUE(waitUntil([&] { return ann.client().loggedIn(); }));
  Tchat& bob = open(QStringLiteral("Bob"), own.port());
  Tchat& cy = open(QStringLiteral("Cy"), own.port());
  ASSERT_TRUE(waitUntil([&] { return ann.client().seatName(3) == "Cy"; }));
  ann.client().kicking(2);
  ASSERT_TRUE(waitUntil([&] { return !boxes.empty(); }));
  EXPECT_EQ(boxes, Messages{"You were removed from the game."});
  EXPECT_TRUE(bob.isVisible());  // until he closes it
  EXPECT_FALSE(bob.client().loggedIn());

  ann.client().startGame(GameOptions{});
  ASSERT_TRUE(waitUntil([&] { return own.server().gameRunning(); }));
  trigger(ann, "Exit1");
  auto* question = ann.findChild<QMessageBox*>(QStringLiteral("question"));
  ASSERT_TRUE(question && question->isVisible());
  EXPECT_TRUE(ann.isVisible() && cy.isVisible());
  question->button(QMessageBox::Yes)->click();
  EXPECT_TRUE(waitUntil([&] { return closedCount == 1 && !ann.isVisible(); }));
}

TEST_F(Window, AFullGameSaysSoAndEnds) {
  FakeHost fake;
  open(QStringLiteral("Ann"), fake.port());
  ASSERT_TRUE(fake.waitForClient());
  fake.say("CMD_full+");
  ASSERT_TRUE(waitUntil([&] { return closedCount == 1; }));
  EXPECT_EQ(boxes, Messages{"Game is full"});
}

TEST_F(Window, TheHostsMessageNeverBlocksTheWindow) {
  FakeHost fake;
  Tchat chat(options(QStringLiteral("Ann"), fake.port()),
             [](const std::string&) {});  // the program's own boxes
  bool closed = false;
  QObject::connect(&chat, &Tchat::closed, [&] { closed = true; });
  chat.show();
  ASSERT_TRUE(fake.waitForClient());
  fake.say("CMD_full+");
  QMessageBox* box = nullptr;
  ASSERT_TRUE(waitUntil([&] { return (box = chat.findChild<QMessageBox*>()) && box->isVisible(); }));
  EXPECT_EQ(box->text(), QStringLiteral("Game is full"));
  EXPECT_FALSE(box->isModal());
  spin(50);
  EXPECT_FALSE(closed);  // still open until the player has read it
  box->button(QMessageBox::Ok)->click();
  EXPECT_TRUE(waitUntil([&] { return closed; }));
}

TEST_F(Window, AJoinThatCannotConnectSaysSoAndWaits) {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  const quint16 unused = probe.serverPort();
  probe.close();
  Tchat& ann = open(QStringLiteral("Ann"), unused);
  ASSERT_TRUE(
      chatHas(ann, QStringLiteral("Could not connect to the game host 127.0.0.1 on port %1").arg(unused)));
  spin(50);
  EXPECT_EQ(closedCount, 0);

  Tchat& bob = open(QStringLiteral("Bob"), unused, false, QStringLiteral("no-such-host.invalid"));
  ASSERT_TRUE(
      waitUntil([&] { return chatText(bob).contains(QStringLiteral("no-such-host.invalid")); }, 15000));
  EXPECT_EQ(closedCount, 0);
}

TEST_F(Window, AHostThatCannotListenSaysWhatToDo) {
  HostService second([](const std::string&) {});
  Tchat& ann = open(QStringLiteral("Ann"), host.port(), true, QString(), &second);
  ASSERT_TRUE(waitUntil([&] { return !boxes.empty(); }));
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("--port"), std::string::npos);
  EXPECT_FALSE(child<QPushButton>(ann, "button_start")->isVisible());
  spin(50);
  EXPECT_FALSE(ann.client().loggedIn());
}

TEST_F(Window, TheSpyListRemovesSpectatorsForTheHostOnly) {
  HostService own([](const std::string&) {});
  Tchat& ann = open(QString(), 0, true, QString(), &own);
  ASSERT_TRUE(waitUntil([&] { return ann.client().settingsLoaded(); }));
  std::vector<std::unique_ptr<Peer>> peers;
  for (int i = 0; i < 6; ++i) {
    peers.push_back(std::make_unique<Peer>(own.port(), "", QStringLiteral("127.0.0.%1").arg(10 + i)));
    const int seat = peers.back()->seat();
    peers.back()->say("CMD_logininfo+" + std::to_string(seat) + "+" + std::string(kVersion) + "+P" + std::to_string(seat));
  }
  ASSERT_TRUE(chatHas(ann, QStringLiteral("P7 is spying.")));
  spies.front()->removeFromGame(0);
  ASSERT_TRUE(waitUntil([&] { return peers.back()->closed; }));
  ASSERT_TRUE(chatHas(ann, QStringLiteral("P7 has left.")));

  // His address is kept out, whatever name he tries, until the host lets him back in.
  auto* keptOut = spies.front()->findChild<QListWidget*>(QStringLiteral("listbox_keptout"));
  ASSERT_EQ(keptOut->count(), 1);
  EXPECT_TRUE(keptOut->isVisibleTo(spies.front().get()));
  EXPECT_EQ(keptOut->item(0)->text(), QStringLiteral("P7 (127.0.0.15)"));
  Peer again(own.port(), "P8", QStringLiteral("127.0.0.15"));
  ASSERT_TRUE(waitUntil([&] { return again.closed; }));
  EXPECT_EQ(again.received, Messages{"CMD_full+"});
  keptOut->setCurrentRow(0);
  spies.front()->findChild<QPushButton*>(QStringLiteral("button_letbackin"))->click();
  EXPECT_EQ(keptOut->count(), 0);
  EXPECT_FALSE(keptOut->isVisibleTo(spies.front().get()));
  EXPECT_EQ(Peer(own.port(), "P8", QStringLiteral("127.0.0.15")).seat(), 7);
}

TEST_F(Window, PasteReplacesTheWholeInputFromMenuAndKeyboard) {
  FakeHost fake;
  Tchat& ann = open(QStringLiteral("Ann"), fake.port());
  auto* input = child<QLineEdit>(ann, "mychat");
  input->setText(QStringLiteral("typed text"));
  input->setCursorPosition(5);
  QApplication::clipboard()->setText(QStringLiteral("from the clipboard"));
  QKeyEvent ctrlV(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QStringLiteral("\x16"));
  QCoreApplication::sendEvent(input, &ctrlV);
  EXPECT_EQ(input->text(), QStringLiteral("from the clipboard"));
  QApplication::clipboard()->setText(QStringLiteral("again"));
  trigger(ann, "Paste1");
  EXPECT_EQ(input->text(), QStringLiteral("again"));
  // An empty clipboard leaves the input alone.
  QApplication::clipboard()->clear();
  QCoreApplication::sendEvent(input, &ctrlV);
  EXPECT_EQ(input->text(), QStringLiteral("again"));
}

TEST_F(Window, TextCrossesTheWidgetEdgeAsWindows1252) {
  Tchat& ann = login(QStringLiteral("Ann"));
  auto bob = join("Bob\x96Jr");
  bob->say(
      "CMD_chat+2+\x80"
      "5 \x93quoted\x94 \x85|clBlack");
  ASSERT_TRUE(chatHas(ann, QString::fromUtf8("Bob–Jr chats:  €5 “quoted” … ")));
  EXPECT_EQ(child<QLabel>(ann, "label_playername2")->text(), QString::fromUtf8("Bob–Jr"));
  type(ann, QString::fromUtf8("€ — “ok” 漢"));
  EXPECT_TRUE(received(*bob, "CMD_chat+1+Ann chats: \x80 \x97 \x93ok\x94 ?|clBlack"));
}

TEST_F(Window, FewerThanThreeParametersOnlyShowTheLoadingLine) {
  FakeHost fake;
  StartOptions o = options(QStringLiteral("Ann"), fake.port());
  o.connect = false;
  Tchat chat(o, [](const std::string&) {});
  chat.show();
  ASSERT_TRUE(chatHas(chat, QStringLiteral("Loading Multi-player Game.. Please Wait.")));
  spin(100);
  EXPECT_FALSE(fake.hasClient());
  EXPECT_EQ(chatText(chat), QStringLiteral(" Loading Multi-player Game.. Please Wait. "));
}

TEST_F(Window, AWindowThatOutlivesItsHostLetsItGo) {
  auto own = std::make_unique<HostService>([](const std::string&) {});
  Tchat& ann = open(QString(), 0, true, QString(), own.get());
  own.reset();  // gone before the window starts hosting
  ASSERT_TRUE(waitUntil([&] { return !boxes.empty(); }));
  EXPECT_FALSE(child<QPushButton>(ann, "button_start")->isVisible());
  trigger(ann, "Fast1");
  spin(50);
  EXPECT_FALSE(ann.client().loggedIn());
}

// Long lines in changing colours, more of them than the history keeps: the
// window keeps up, holds a bounded history and still sends what is typed.
TEST_F(Window, AFloodOfLongRecolouredLinesStaysBoundedAndTheInputWorks) {
  FakeHost fake;
  Tchat& ann = loginTo(fake);
  std::string words;
  while (words.size() < 60000) words += "ab :)#12 www.x.org ";
  for (int i = 0; i < 20; ++i) {
    fake.say("CMD_chat+2+Bob chats: " + words + (i % 2 ? "|clRed" : "|x|clNavy"));
    fake.say("CMD_chat+2+Bob chats: " + std::string(60000, 'w') + "|$00" + std::to_string(10 + i) + "0000");
  }
  for (int i = 0; i < ChatDisplay::kMaxLines; ++i)
    fake.say("CMD_action+" + std::to_string(1 + i % 6) + "+P waves " + std::to_string(i) + "|clGreen");
  fake.say("CMD_chat+3+Cid chats: the end|clBlack");
  ASSERT_TRUE(chatHas(ann, QStringLiteral("Cid chats:  the end")));
  QTextDocument* doc = ann.mainchat()->document();
  EXPECT_LE(doc->blockCount(), ChatDisplay::kMaxLines);
  EXPECT_TRUE(doc->firstBlock().text().contains(QStringLiteral("waves")));
  type(ann, QStringLiteral("still here"));
  EXPECT_TRUE(waitUntil([&] {
    return std::find(fake.received.begin(), fake.received.end(), "CMD_chat+1+still here|clBlack") !=
           fake.received.end();
  }));
  // A long line shows its start and where it was cut.
  fake.say("CMD_chat+2+Bob chats: " + std::string(60000, 'w') + "|clRed");
  ASSERT_TRUE(waitUntil([&] { return doc->lastBlock().text().endsWith(QStringLiteral("w... ")); }));
  EXPECT_LT(doc->lastBlock().length(), int(kMaxShownLineBytes) + 8);
}

// Row 1 of the board reads c a t e e; the bar a to g.
TEST_F(Window, AWholeTurnIsPlayedWithKeysAlone) {
  FakeHost fake;
  Tchat& ann = loginTo(fake);
  std::vector<std::string> alerts;
  ann.findChild<GameArea*>()->tellReader = [&](QAccessibleEvent* e) {
    if (e->type() == QAccessible::Alert || e->type() == QAccessible::ValueChanged)
      alerts.push_back(e->object()->objectName().toStdString());
  };
  ann.activateWindow();
  ASSERT_TRUE(waitUntil([&] { return ann.isActiveWindow(); }));
  fake.say("CMD_startgame+Bob+100+60+1+0+");
  std::string board = "CMD_theboard";
  const int row1[] = {3, 1, 20, 5, 5, 5, 5, 5, 5, 5};
  for (int x = 1; x <= 10; ++x)
    for (int y = 1; y <= 8; ++y)
      board +=
          "+" + std::to_string(x) + "+" + std::to_string(y) + "+" + std::to_string(y == 1 ? row1[x - 1] : 5);
  fake.say(board);
  fake.say("CMD_mytiles+1+1+1+2+2+3+3+4+4+5+5+6+6+7+7");
  fake.say("CMD_nextplayer+1+");
  auto* paintbox = child<QWidget>(ann, "paintbox_board");
  EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("mychat"));
  ASSERT_TRUE(waitUntil([&] { return ann.client().game().state().seatOnTurn == 1; }));
  EXPECT_EQ(QApplication::focusWidget(), paintbox);
  fake.received.clear();
  auto press = [](int k, const QString& text = {}, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QWidget* to = QApplication::focusWidget();
    QKeyEvent down(QEvent::KeyPress, k, m, text), up(QEvent::KeyRelease, k, m, text);
    QApplication::sendEvent(to, &down);
    QApplication::sendEvent(to, &up);
  };
  for (int x = 1; x <= 5; ++x) press(Qt::Key_Space), press(Qt::Key_Right);
  for (int x = 1; x <= 5; ++x)
    fake.say("CMD_heflip+1+" + std::to_string(x) + "+1+" +
             (x == 5 ? "t+0+" : "f+" + std::to_string(5 - x) + "+"));
  ASSERT_TRUE(waitUntil([&] { return ann.client().game().state().building; }));
  for (const char* c : {"c", "a", "t"}) press(Qt::Key_A + (c[0] - 'a'), QString::fromLatin1(c));
  press(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("bar_focus"));
  press(Qt::Key_Space);
  press(Qt::Key_Backspace);
  press(Qt::Key_E, QStringLiteral("e"));
  for (const char* name : {"button_clear", "button_buy", "button_pass", "button_done", "mychat"}) {
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QLatin1String(name));
  }
  press(Qt::Key_E, QStringLiteral("e"));  // chat typing is no move
  press(Qt::Key_Backtab, {}, Qt::ShiftModifier);
  press(Qt::Key_Space);  // Done
  const Messages moves = {"CMD_iflip+1+1+1+",
                          "CMD_iflip+1+2+1+",
                          "CMD_iflip+1+3+1+",
                          "CMD_iflip+1+4+1+",
                          "CMD_iflip+1+5+1+",
                          "CMD_useboardletter+1+1+1+1+",
                          "CMD_useboardletter+1+2+1+2+",
                          "CMD_useboardletter+1+3+1+3+",
                          "CMD_usebarletter+1+1+4+",
                          "CMD_clickclear+1+4+0,1",
                          "CMD_useboardletter+1+4+1+4+",
                          "CMD_idone+1+1,1+2,1+3,1+4,1"};
  waitUntil([&] { return fake.received.size() >= moves.size(); });
  EXPECT_EQ(fake.received, moves);

  QAccessibleInterface* cells = QAccessible::queryAccessibleInterface(paintbox);
  ASSERT_EQ(cells->childCount(), 80);
  EXPECT_EQ(cells->child(1)->text(QAccessible::Name),
            QStringLiteral("row 1, column 2, A, 1 point, face up, in the word"));
  EXPECT_EQ(cells->child(5)->text(QAccessible::Name), QStringLiteral("row 1, column 6, face down"));
  EXPECT_EQ(cells->indexOfChild(cells->childAt(paintbox->mapToGlobal(QPoint(50, 10)).x(),
                                               paintbox->mapToGlobal(QPoint(50, 10)).y())),
            1);
  EXPECT_EQ(child<QLabel>(ann, "word_4")->accessibleName(),
            QStringLiteral("word letter 4, E, 1 point, from the board"));
  fake.say("CMD_hisword+1+cate+20+20+0+0");
  ASSERT_TRUE(waitUntil([&] { return child<QLabel>(ann, "label_score1")->text() == QStringLiteral("20"); }));
  for (const char* name : {"label_status", "image_Turn", "label_score1"})
    EXPECT_NE(std::find(alerts.begin(), alerts.end(), name), alerts.end()) << name;
  for (QWidget* w : ann.findChildren<QWidget*>()) {
    if (w->window() != &ann || w->focusPolicy() == Qt::NoFocus || w->objectName().isEmpty()) continue;
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty())
        << w->objectName().toStdString();
  }
}

}  // namespace
}  // namespace tw::test
