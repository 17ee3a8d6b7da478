// Tchat: the main window. A humble view over the session core TClient: it
// lays out the playing area, seats and chat, turns widget events into calls
// on the core, and shows what the core tells it.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <variant>
#include <vector>

#include "client/client_session.h"

class QAction;
class QActionGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;

namespace tw {

class ChatDisplay;
class ClientService;
class GameArea;
class HostService;
class Tabout;
class Tconnect;
class Tdownload;
class Tgamestart;
class Thelp;
class Tphrases;
class Ttallylist;
class Sounds;
class Tspylist;

// How the program was started.
struct StartOptions {
  QString playerName;  // empty: solo game as "You"
  QString hostAddress;
  bool host = true;  // run the host in this copy
  bool solo = true;  // started without parameters
  // False with fewer than the three parameters: only the loading line shows.
  bool connect = true;
  quint16 port = kGamePort;
  std::string settingsPath;
};

class Tchat : public QMainWindow, private ClientView {
  Q_OBJECT

 public:
  Tchat(StartOptions options, LogFn log = logLine, QWidget* parent = nullptr);
  ~Tchat() override;

  // The host window and the spy list, created after this window.
  void setHost(HostService* host);
  void setSpyList(Tspylist* spylist);
  // The other secondary windows, created after this one (and so gone before
  // it); the menus open them.
  struct Windows {
    QPointer<Tdownload> download;
    QPointer<Thelp> help;
    QPointer<Tphrases> phrases;
    QPointer<Ttallylist> tally;
    QPointer<Tabout> about;
    QPointer<Tconnect> hostOrJoin;
  };
  void setWindows(const Windows& windows);

  TClient& client() { return *client_; }
  Sounds& sounds() { return *sounds_; }
  ChatDisplay* mainchat() const { return mainchat_; }
  Tgamestart* gamestart() const { return gamestart_; }

  // Modal message boxes and the web browser, replaceable by tests.
  std::function<void(const QString&)> messageBox;
  std::function<bool(const QUrl&)> openUrl;

  // Start-up once the window is shown: host or join as the options say.
  void processparams();
  void sendit();
  void bringForward();
  // Closes the window without asking: the program ends.
  void endProgram();

 signals:
  // The window closed; the program ends.
  void closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // ClientView.
  void styleChanged(int index) override;
  void addChatLine(const ChatLine& line) override;
  void seatChanged(int seat) override;
  void spiesChanged() override;
  void justWatchChanged() override;
  void gameChanged(unsigned changes) override;
  void playSound(const std::string& name) override;
  void showSettings(const Settings& settings) override;
  void showGameOptions(const GameOptions& options) override;
  GameOptions shownGameOptions() const override;
  void setGeometry(const Geometry& geometry) override;
  Geometry geometry() const override;
  void message(const std::string& text) override;
  void closeWindow() override;

  void buildChat(QWidget* panel);
  void connectGameArea();
  static void bringUp(QWidget* window);
  // The hosting copy's kept-out addresses, in the spy list.
  void showKeptOut();
  void button_startClick();
  void buildMenus();
  void hostpress();
  void joinpress();
  // A yes/no question that blocks nothing; `yes` runs when it is answered yes.
  void askYesNo(const QString& question, std::function<void()> yes);
  void mainchatJump(int link);
  void label_playername1ContextPopup(int seat, const QPoint& at);
  void JustWatch1Click();
  // The window closes for good: the core saves what changed.
  void FormClose(const Geometry& workArea);
  void smileyChosen(int tag);

  struct MenuItem;
  struct ChoiceMenu;
  using MenuEntry = std::variant<MenuItem, ChoiceMenu>;
  QAction* action(QMenu* menu, const QString& caption, const char* name, bool checkable = false);
  void addItems(QMenu* menu, const std::vector<MenuEntry>& entries, bool popup);

  StartOptions options_;
  LogFn log_;
  QPointer<Tspylist> spylist_;
  Windows windows_;
  std::unique_ptr<Sounds> sounds_;
  std::unique_ptr<ClientService> service_;
  TClient* client_ = nullptr;  // the service's
  bool started_ = false;
  bool loopbackOnly_ = false;  // the hosted game takes no players from elsewhere
  bool closing_ = false;
  bool endConfirmed_ = false;
  int kickSeat_ = 0;

  QWidget* panel_background_ = nullptr;
  GameArea* gameArea_ = nullptr;
  Tgamestart* gamestart_ = nullptr;
  ChatDisplay* mainchat_ = nullptr;
  QLineEdit* mychat_ = nullptr;
  std::array<QToolButton*, 11> b_phrase_{};

  QAction* StartGame1_ = nullptr;
  QAction* JustWatch1_ = nullptr;
  QAction* PlaySounds1_ = nullptr;
  QAction* PlayChatterSounds1_ = nullptr;
  QAction* Classic1_ = nullptr;
  QAction* New1_ = nullptr;
  QMenu* TurnSound1_ = nullptr;
  std::array<QAction*, 4> textSizes_{};
  QAction* ScrollChatOff1_ = nullptr;
  QAction* ScrollChatOff2_ = nullptr;
  QMenu* BotSpeed1_ = nullptr;
  QAction* Slow1_ = nullptr;
  QAction* Normal1_ = nullptr;
  QAction* Fast1_ = nullptr;
  QAction* OpenBoard1_ = nullptr;  // the hosting copy's only
  std::array<QAction*, kComputerLevels> levels_{};  // Beginner1 ... Expert1
  QAction* ClearWord_ = nullptr;
  QAction* seetheirs_ = nullptr;
  QMenu* popup_kick_ = nullptr;
  QAction* RemoveFromGame1_ = nullptr;
  QAction* SettoJustWatch1_ = nullptr;
  QAction* UnsetJustWatch1_ = nullptr;
  QMenu* popup_sounds_ = nullptr;
  QMenu* popup_smilies_ = nullptr;
  QMenu* popup_chat_ = nullptr;
  QMenu* popup_input_ = nullptr;
  QAction* Paste1_ = nullptr;
};

}  // namespace tw
