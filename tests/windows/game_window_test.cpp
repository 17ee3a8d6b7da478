// The game window played as a person plays it, headless, against the real
// host over loopback: the options window starts a game, real clicks on the
// board, the bar and the buttons make the moves, and the winner panel ends it.
#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QAction>
#include <QLineEdit>
#include <QMessageBox>
#include <QToolButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <filesystem>
#include <optional>

#include "client/ini_file.h"
#include "host/host_service.h"
#include "support/host_fixture.h"
#include "support/loopback.h"
#include "support/scratch.h"
#include "support/ui_app.h"
#include "windows/about.h"
#include "windows/chat_display.h"
#include "windows/connect.h"
#include "windows/download.h"
#include "windows/game_area.h"
#include "windows/game_start.h"
#include "windows/help.h"
#include "windows/phrases.h"
#include "windows/tally_list.h"
#include "windows/tchat.h"

namespace tw::test {
namespace {

// The host's turns run this much faster: a 60-second turn lasts 3 seconds,
// time enough for the test's clicks however busy the machine.
constexpr double kTimeScale = 20;

// Every word is a word: the test plays whatever its tiles spell.
HostRules anyWord() {
  HostRules rules;
  rules.checkWord = [](const std::string&) { return true; };
  rules.seed = 5;
  return rules;
}

// A line from a window to its host that the test can cut.
class Line {
 public:
  explicit Line(quint16 host) {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this, host] {
      QTcpSocket* near = server_.nextPendingConnection();
      auto* far = new QTcpSocket(near);
      far->connectToHost(QHostAddress::LocalHost, host);
      QObject::connect(near, &QTcpSocket::readyRead, far, [=] { far->write(near->readAll()); });
      QObject::connect(far, &QTcpSocket::readyRead, near, [=] { near->write(far->readAll()); });
      ends_ = {near, far};
    });
  }
  quint16 port() const { return server_.serverPort(); }
  void cut() {
    for (auto& end : ends_) end->abort();
  }

 private:
  QTcpServer server_;
  std::vector<QPointer<QTcpSocket>> ends_;
};

class GameWindow : public ::testing::Test {
 protected:
  GameWindow() {
    uiApp();
    settings = scratchPath("tw-game", ".ini").string();
    std::filesystem::remove(settings);
  }
  ~GameWindow() override {
    windows.clear();
    std::filesystem::remove(settings);
  }

  Tchat& open(const QString& name, bool hosting, HostService* host, quint16 port = 0) {
    StartOptions o;
    o.playerName = name;
    o.hostAddress = QStringLiteral("127.0.0.1");
    o.host = hosting;
    o.solo = name.isEmpty();
    o.port = port;
    o.settingsPath = settings;
    windows.push_back(std::make_unique<Tchat>(o, [](const std::string&) {}));
    Tchat& chat = *windows.back();
    chat.messageBox = [this](const QString& t) { boxes.push_back(t.toStdString()); };
    if (host) chat.setHost(host);
    chat.show();
    EXPECT_TRUE(waitUntil([&] { return chat.client().settingsLoaded(); }));
    return chat;
  }

  template <typename T>
  static T* child(QWidget& w, const char* name) {
    return w.findChild<T*>(QLatin1String(name));
  }
  static const GameState& state(Tchat& chat) { return chat.client().game().state(); }
  static void release(QWidget* target, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    QMouseEvent press(QEvent::MouseButtonPress, at, target->mapToGlobal(at), button, button, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent up(QEvent::MouseButtonRelease, at, target->mapToGlobal(at), button, Qt::NoButton,
                   Qt::NoModifier);
    QApplication::sendEvent(target, &up);
  }
  static void clickCell(Tchat& chat, int x, int y, Qt::MouseButton button = Qt::LeftButton) {
    release(child<QWidget>(chat, "paintbox_board"), QPoint((x - 1) * 41 + 20, (y - 1) * 41 + 20), button);
  }
  static void clickSlot(Tchat& chat, int slot) {
    release(child<QLabel>(chat, QStringLiteral("letters_%1").arg(slot).toLatin1().constData()),
            QPoint(20, 20));
  }
  static void key(QWidget* target, int k) {
    QKeyEvent down(QEvent::KeyPress, k, Qt::NoModifier);
    QApplication::sendEvent(target, &down);
  }

  // Opens the options window with the start button, sets the play-to score
  // with the spinner's arrow key, and presses Return for Start.
  static void startGame(Tchat& chat, int playTo) {
    child<QPushButton>(chat, "button_start")->click();
    Tgamestart* options = chat.gamestart();
    ASSERT_TRUE(options->isVisible());
    auto* spinner = child<QAbstractSpinBox>(*options, "edit_playtoscore");
    for (int i = 0; i < (250 - playTo) / 5; ++i) key(spinner, Qt::Key_Down);
    key(options, Qt::Key_Return);
    EXPECT_FALSE(options->isVisible());
  }

  // Flips the first five face-down cells, then spells ten letters: those
  // five and the first five bar tiles, and presses Done.
  static void playATurn(Tchat& chat) {
    std::vector<std::pair<int, int>> flipped;
    for (int y = 1; y <= 8 && flipped.size() < 5; ++y)
      for (int x = 1; x <= 10 && flipped.size() < 5; ++x)
        if (!state(chat).cell(x, y).faceUp) {
          clickCell(chat, x, y);
          flipped.emplace_back(x, y);
        }
    ASSERT_TRUE(waitUntil([&] { return state(chat).building; }));
    for (auto [x, y] : flipped) clickCell(chat, x, y);
    for (int slot = 1; slot <= 5; ++slot) clickSlot(chat, slot);
    EXPECT_EQ(state(chat).wordLength, 10);
    // What the player sees: the used tiles have left the bar for the word row.
    for (int n = 1; n <= 10; ++n) {
      const char* name = n <= 5 ? "letters_%1" : "word_%1";
      const int number = n <= 5 ? n : n - 5;
      const QPixmap shown =
          child<QLabel>(chat, QString::fromLatin1(name).arg(number).toLatin1().constData())->pixmap();
      EXPECT_EQ(shown.isNull(), n <= 5) << name << number;
    }
    child<QPushButton>(chat, "button_done")->click();
  }

  std::string settings;
  std::optional<Tally> record;  // outlives the windows whose mirror feeds it
  std::vector<std::unique_ptr<Tchat>> windows;
  std::vector<std::string> boxes;
};

TEST_F(GameWindow, TheOptionsWindowsDefaultsStartTheGameAndEscapeSendsNothing) {
  QTcpServer fake;
  fake.listen(QHostAddress::LocalHost, 0);
  QTcpSocket* peer = nullptr;
  QByteArray got;
  QObject::connect(&fake, &QTcpServer::newConnection, [&] {
    peer = fake.nextPendingConnection();
    QObject::connect(peer, &QTcpSocket::readyRead, [&] { got += peer->readAll(); });
    peer->write(
        "CMD_sendlogininfo+1\xFF"
        "CMD_newplayerinfo+1+You\xFF");
  });
  Tchat& chat = open(QStringLiteral("You"), false, nullptr, fake.serverPort());
  got.clear();
  child<QPushButton>(chat, "button_start")->show();
  child<QPushButton>(chat, "button_start")->click();
  key(chat.gamestart(), Qt::Key_Escape);
  EXPECT_FALSE(chat.gamestart()->isVisible());
  // Anything Escape sent would arrive before the start below, which must come alone.
  EXPECT_TRUE(got.isEmpty());
  child<QPushButton>(chat, "button_start")->click();
  key(chat.gamestart(), Qt::Key_Return);
  ASSERT_TRUE(waitUntil([&] { return got.endsWith('\xFF'); }));
  EXPECT_EQ(got, QByteArray("CMD_startgame+You+250+60+f+1+0+\xFF"));

  got.clear();
  peer->write(
      "CMD_startgame+You+250+60+f+1+0+\xFF"
      "CMD_justwatching+1+1\xFF");
  ASSERT_TRUE(waitUntil([&] { return chat.client().gameOn() && chat.client().justWatchChecked(); }));
  // Lines this copy makes about the player "You" read right.
  const QString lines = chat.mainchat()->toPlainText();
  EXPECT_TRUE(lines.contains(QStringLiteral("You have started a game."))) << lines.toStdString();
  EXPECT_TRUE(lines.contains(QStringLiteral("You are just watching"))) << lines.toStdString();
  // In a running game the start's shortcut asks first, and Enter keeps the game.
  QAction* start = child<QAction>(chat, "StartGame1");
  EXPECT_EQ(start->shortcut(), QKeySequence(QKeySequence::New));
  start->trigger();
  auto* question = child<QMessageBox>(chat, "question");
  ASSERT_TRUE(question && question->isVisible());
  EXPECT_FALSE(chat.gamestart()->isVisible());
  key(question, Qt::Key_Return);
  EXPECT_TRUE(waitUntil([&] { return !child<QMessageBox>(chat, "question"); }));
  EXPECT_FALSE(chat.gamestart()->isVisible());
  start->trigger();
  child<QMessageBox>(chat, "question")->button(QMessageBox::Yes)->click();
  EXPECT_TRUE(chat.gamestart()->isVisible());
  EXPECT_TRUE(got.isEmpty());
}

TEST_F(GameWindow, ASoloGameIsPlayedWithTheMouseToTheWinnerPanel) {
  HostService own(anyWord(), [](const std::string&) {});
  own.setTimeScale(kTimeScale);
  Tchat& chat = open(QString(), true, &own);
  startGame(chat, 100);
  auto* winner = child<QWidget>(chat, "panel_winner");
  for (int turn = 0; turn < 10 && !winner->isVisible(); ++turn) {
    ASSERT_TRUE(waitUntil([&] { return state(chat).seatOnTurn == 1 || winner->isVisible(); }, 20000));
    if (winner->isVisible()) break;
    playATurn(chat);
    ASSERT_TRUE(waitUntil([&] { return !child<QLabel>(chat, "label_bonus1")->text().isEmpty(); }));
    EXPECT_EQ(child<QLabel>(chat, "label_score1")->text().toStdString(),
              std::to_string(own.server().seat(1).score));
  }
  ASSERT_TRUE(waitUntil([&] { return winner->isVisible(); }, 20000));
  EXPECT_EQ(child<QLabel>(chat, "label_winner1")->text(), QStringLiteral("You have Won the Game!"));
  EXPECT_TRUE(child<QPushButton>(chat, "button_start")->isVisible());
  EXPECT_TRUE(child<QLabel>(chat, "label_playername2")->isVisible());  // the computer's seat
  EXPECT_TRUE(boxes.empty());
}

TEST_F(GameWindow, TwoWindowsPlayATurnEach) {
  HostService own(anyWord(), [](const std::string&) {});
  own.setTimeScale(kTimeScale);
  Tchat& ann = open(QStringLiteral("Ann"), true, &own);
  Tchat& bob = open(QStringLiteral("Bob"), false, nullptr, own.port());
  ASSERT_TRUE(waitUntil([&] { return ann.client().seatName(2) == "Bob"; }));
  EXPECT_TRUE(child<QAction>(ann, "OpenBoard1")->isVisible());  // the hosting copy's choice only
  EXPECT_FALSE(child<QAction>(bob, "OpenBoard1")->isVisible());
  startGame(ann, 100);
  ASSERT_TRUE(waitUntil([&] { return state(ann).seatOnTurn == 1; }));
  EXPECT_TRUE(waitUntil([&] { return state(bob).status == "Ann's turn."; }));
  for (int x = 1; x <= 5; ++x) clickCell(ann, x, 1);
  ASSERT_TRUE(waitUntil([&] { return state(bob).cell(5, 1).faceUp; }));
  child<QPushButton>(ann, "button_pass")->click();
  ASSERT_TRUE(waitUntil([&] { return state(bob).seatOnTurn == 2; }, 10000));
  EXPECT_EQ(child<QLabel>(ann, "label_status")->text(), QStringLiteral("Bob's turn."));
  EXPECT_FALSE(state(bob).cell(5, 1).faceUp);  // last turn's tiles went face down
  playATurn(bob);
  ASSERT_TRUE(waitUntil([&] { return !child<QLabel>(ann, "label_bonus2")->text().isEmpty(); }));
  EXPECT_EQ(child<QLabel>(ann, "label_score2")->text().toStdString(),
            std::to_string(own.server().seat(2).score));
  EXPECT_TRUE(waitUntil([&] {
    return child<QLabel>(ann, "label_status")->text() == child<QLabel>(bob, "label_status")->text();
  }));
}

TEST_F(GameWindow, ACutLineMendsItselfAndTheWindowIsBackInItsSeat) {
  HostService own(anyWord(), [](const std::string&) {});
  Tchat& ann = open(QStringLiteral("Ann"), true, &own);
  Line line(own.port());
  Tchat& bob = open(QStringLiteral("Bob"), false, nullptr, line.port());
  ASSERT_TRUE(waitUntil([&] { return ann.client().seatName(2) == "Bob"; }));
  startGame(ann, 100);
  ASSERT_TRUE(waitUntil([&] { return state(bob).seatOnTurn == 1; }));
  HostProbe::seat(own.server(), 2).score = 37;

  line.cut();
  ASSERT_TRUE(waitUntil([&] { return bob.client().rejoining(); }));
  ASSERT_TRUE(waitUntil([&] { return bob.client().loggedIn() && !bob.client().rejoining(); }));
  EXPECT_TRUE(bob.isVisible());
  EXPECT_EQ(bob.client().ownSeat(), 2);
  EXPECT_TRUE(waitUntil([&] { return child<QLabel>(bob, "label_score2")->text() == QStringLiteral("37"); }));
  for (int n = 1; n <= 7; ++n)
    EXPECT_EQ(state(bob).bar[std::size_t(n)].code, own.server().seat(2).letters[n].code);
  EXPECT_TRUE(
      waitUntil([&] { return ann.mainchat()->toPlainText().contains(QStringLiteral("Bob disconnected.")); }));
}

TEST_F(GameWindow, EveryMenuItemOpensItsWindowAndTheTallyHearsTheGame) {
  HostService own(anyWord(), [](const std::string&) {});
  own.setTimeScale(kTimeScale);
  Tchat& chat = open(QString(), true, &own);
  const std::string tallyFile = settings + ".tld";
  Tdownload download(Tdownload::defaultPlaces(chat.client().settingsStore()), &chat);
  Thelp help(&chat);
  Tphrases phrases(&chat);
  record.emplace(tallyFile, [](const std::string&) {});
  chat.client().game().setTally(&*record);
  Ttallylist tally(*record, &chat);
  Tabout about(&chat);
  Tconnect hostOrJoin(chat.client().settingsStore(), &chat);
  chat.setWindows({&download, &help, &phrases, &tally, &about, &hostOrJoin});
  const std::pair<const char*, QWidget*> items[] = {{"ViewTally1", &tally},
                                                    {"PhraseList1", &phrases},
                                                    {"Content1", &help},
                                                    {"About1", &about},
                                                    {"HostOrJoin1", &hostOrJoin}};
  for (auto [item, window] : items) {
    child<QAction>(chat, item)->trigger();
    EXPECT_TRUE(window->isVisible()) << item;
    key(window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible()) << item;
  }

  child<QAction>(chat, "Fast1")->trigger();  // the in-process host takes the pace at once
  EXPECT_EQ(own.server().botSpeed(), 250);
  child<QAction>(chat, "OpenBoard1")->trigger();  // and this game goes out with every letter
  EXPECT_TRUE(own.server().openBoard());
  EXPECT_EQ(IniFile::load(settings).value("Tilewhirl", "Openboard"), "true");
  child<QAction>(chat, "Expert1")->trigger();  // and the level, kept in the settings file
  EXPECT_EQ(own.server().computerLevel(), ComputerLevel::Expert);
  EXPECT_EQ(IniFile::load(settings).value("Tilewhirl", "Computerlevel"), "expert");
  child<QAction>(chat, "Casual1")->trigger();  // a level between, labelled with its points a turn
  EXPECT_EQ(own.server().computerLevel(), ComputerLevel::Casual);
  EXPECT_EQ(child<QAction>(chat, "Casual1")->text().toStdString(), levelLabel(ComputerLevel::Casual));

  child<QAction>(chat, "PhraseList1")->trigger();
  EXPECT_EQ(child<QLineEdit>(phrases, "phrase2")->text(), QStringLiteral("Good One!"));
  child<QLineEdit>(phrases, "phrase2")->setText(QStringLiteral("Nice \u20AC!"));  // a euro sign
  key(&phrases, Qt::Key_Return);
  EXPECT_FALSE(phrases.isVisible());
  EXPECT_EQ(child<QToolButton>(chat, "b_phrase2")->toolTip(), QStringLiteral("Nice \u20AC!"));
  EXPECT_EQ(IniFile::load(settings).value("Tilewhirl", "Phrase2"), "Nice \x80!");

  startGame(chat, 100);
  auto* winner = child<QWidget>(chat, "panel_winner");
  for (int turn = 0; turn < 10 && !winner->isVisible(); ++turn) {
    ASSERT_TRUE(waitUntil([&] { return state(chat).seatOnTurn == 1 || winner->isVisible(); }, 20000));
    if (!winner->isVisible()) playATurn(chat);
  }
  ASSERT_TRUE(waitUntil([&] { return winner->isVisible(); }, 20000));
  EXPECT_EQ(tally.tally().mylabel(1), "1");  // one game
  EXPECT_EQ(tally.tally().mylabel(2), "1");  // won
  EXPECT_NE(tally.tally().mylabel(3), "0");  // words made
  // The record is on disk already, whatever happens to the program next.
  Tally again(tallyFile);
  EXPECT_EQ(again.mylabel(2), "1");
  std::filesystem::remove(tallyFile);
  std::filesystem::remove(tallyFile + ".lock");
}

}  // namespace
}  // namespace tw::test
