// The main window: layout, menus, and the glue between widgets and the
// session core.
#include "windows/tchat.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

#include "client/client_service.h"
#include "client/cp1252.h"
#include "client/start_options.h"
#include "rules/computer_levels.h"
#include "windows/about.h"
#include "windows/chat_display.h"
#include "windows/connect.h"
#include "windows/download.h"
#include "windows/game_area.h"
#include "windows/game_start.h"
#include "windows/help.h"
#include "windows/phrases.h"
#include "windows/pictures.h"
#include "windows/secondary_window.h"
#include "windows/sounds.h"
#include "windows/spy_list.h"
#include "windows/tally_list.h"

namespace tw {

namespace {

const QString kEnterChatHere = QStringLiteral("<Enter Chat Here>");
// The playing area is laid out pixel for pixel, so the window keeps one size:
// this panel under the menu bar (720 by 535 with the usual menu bar).
constexpr int kPanelWidth = 720;
constexpr int kPanelHeight = 512;

Colour fromQColor(const QColor& c) {
  return Colour(c.red()) | Colour(c.green()) << 8 | Colour(c.blue()) << 16;
}

// The playing area's background panel.
class BackgroundPanel : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    if (cache_.isNull() || cache_.deviceIndependentSize().toSize() != size())
      cache_ = pictures::background(width(), height());
    p.drawPixmap(0, 0, cache_);
  }

 private:
  QPixmap cache_;
};

}  // namespace

// ---- Creation ------------------------------------------------------------------------------

Tchat::Tchat(StartOptions options, LogFn log, QWidget* parent)
    : QMainWindow(parent),
      options_(std::move(options)),
      log_(log ? std::move(log) : LogFn(logLine)) {
  setObjectName(QStringLiteral("chatform"));
  setWindowTitle(QStringLiteral("Tilewhirl"));
  setWindowIcon(pictures::appIcon());
  // Messages never block: some follow from what the host sends, and the
  // session must go on being served while one is on screen.
  messageBox = [this](const QString& text) { tellNotice(this, windowTitle(), text); };
  openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

  sounds_ = std::make_unique<Sounds>(log_);
  service_ = std::make_unique<ClientService>(static_cast<ClientView&>(*this), options_.settingsPath, log_);
  client_ = &service_->client();
  connect(service_.get(), &ClientService::keptOutChanged, this, &Tchat::showKeptOut);

  auto* panel = new BackgroundPanel(this);
  panel->setObjectName(QStringLiteral("panel_background"));
  panel->setFixedSize(kPanelWidth, kPanelHeight);
  panel_background_ = panel;
  setCentralWidget(panel);
  gameArea_ = new GameArea(panel, client_->game().state(), client_->roster());
  connectGameArea();
  buildChat(panel);
  // Tab runs board, bar, move buttons, chat input.
  QWidget* order[] = {gameArea_->board(),
                      gameArea_->bar(),
                      findChild<QWidget*>(QStringLiteral("button_clear")),
                      findChild<QWidget*>(QStringLiteral("button_buy")),
                      findChild<QWidget*>(QStringLiteral("button_pass")),
                      findChild<QWidget*>(QStringLiteral("button_done")),
                      mychat_};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
  mychat_->setFocus();  // until a turn of ours starts
  gamestart_ = new Tgamestart(this);
  connect(gamestart_, &Tgamestart::startRequested, this,
          [this](const GameOptions& options) { client_->startGame(options); });
  buildMenus();
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  showSettings(client_->settings());
}

Tchat::~Tchat() {
  // The core calls back into this window; it goes first.
  service_.reset();
}

void Tchat::setHost(HostService* host) { service_->setHost(host); }

void Tchat::showKeptOut() {
  if (!spylist_) return;
  QList<std::pair<QString, QString>> list;
  for (const auto& [address, name] : service_->keptOut())
    list.append({QString::fromStdString(address), fromCp1252(name)});
  spylist_->setKeptOut(list);
}

void Tchat::setWindows(const Windows& windows) {
  windows_ = windows;
  if (windows_.phrases)
    connect(windows_.phrases, &Tphrases::phrasesChanged, this, [this](const QStringList& phrases) {
      Phrases texts;
      for (int n = 0; n < TClient::kPhraseCount && n < phrases.size(); ++n)
        texts[std::size_t(n)] = toCp1252(phrases[n]);
      if (!client_->setPhrases(texts) && windows_.phrases)
        windows_.phrases->tell(QStringLiteral("The phrases are on the buttons, but they could not be saved in %1.")
                                   .arg(QString::fromStdString(client_->settingsPath())));
    });
  if (windows_.help && windows_.about)
    connect(windows_.help, &Thelp::aboutRequested, this, [this] { bringUp(windows_.about); });
  if (windows_.download) {
    connect(windows_.download, &Tdownload::closeGameRequested, this, &Tchat::endProgram);
    connect(windows_.download, &Tdownload::hostOrJoinRequested, this,
            [this] { bringUp(windows_.hostOrJoin); });
  }
  if (windows_.hostOrJoin)
    connect(windows_.hostOrJoin, &Tconnect::closeGameRequested, this, [this] {
      // The copy started in this one's place may want the port at once.
      service_->stopListening();
      endProgram();
    });
}

void Tchat::bringUp(QWidget* window) {
  if (!window) return;
  window->show();
  window->raise();
  window->activateWindow();
}

void Tchat::setSpyList(Tspylist* spylist) {
  spylist_ = spylist;
  if (!spylist_) return;
  connect(spylist_, &Tspylist::kickRequested, this, [this](int seat) { client_->kicking(seat); });
  connect(spylist_, &Tspylist::letBackInRequested, this,
          [this](const QString& address) { service_->letBackIn(address.toStdString()); });
  showKeptOut();
}

void Tchat::buildChat(QWidget* panel) {
  mainchat_ = new ChatDisplay(panel, [this](int index) -> const TextStyle& { return client_->style(index); });
  mainchat_->setObjectName(QStringLiteral("mainchat"));
  mainchat_->setGeometry(445, 185, 262, 232);
  mainchat_->setAccessibleName(QStringLiteral("Chat"));
  mainchat_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(mainchat_, &ChatDisplay::linkClicked, this, [this](int n) { mainchatJump(n); });
  connect(mainchat_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { popup_chat_->popup(mainchat_->mapToGlobal(pos)); });

  mychat_ = new QLineEdit(panel);
  mychat_->setObjectName(QStringLiteral("mychat"));
  mychat_->setGeometry(445, 422, 234, 24);
  mychat_->setText(kEnterChatHere);
  mychat_->setAccessibleName(QStringLiteral("Chat input"));
  mychat_->installEventFilter(this);
  mychat_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(mychat_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { popup_input_->popup(mychat_->mapToGlobal(pos)); });

  auto* smilies = new QToolButton(panel);
  smilies->setObjectName(QStringLiteral("button_smilies"));
  smilies->setGeometry(682, 422, 25, 24);
  smilies->setIcon(pictures::smiley(0));
  smilies->setToolTip(QStringLiteral("Smilies"));
  smilies->setAccessibleName(smilies->toolTip());

  for (int n = 1; n <= 10; ++n) {
    auto* b = new QToolButton(panel);
    b->setObjectName(QStringLiteral("b_phrase%1").arg(n));
    b_phrase_[std::size_t(n)] = b;
    if (n <= kPhraseCount) {
      b->setGeometry(445 + 26 * (n - 1), 450, 24, 24);
      b->setText(QString::number(n));
      b->setAccessibleName(QStringLiteral("Phrase %1").arg(n));
      connect(b, &QToolButton::clicked, this, [this, n] { client_->phraseClick(n); });
    } else {
      b->setGeometry(679, 450, 28, 24);
      b->setText(QStringLiteral("\u266A"));
      b->setToolTip(QStringLiteral("Chatter Sounds"));
      b->setAccessibleName(b->toolTip());
    }
  }

  popup_sounds_ = new QMenu(this);
  popup_sounds_->setObjectName(QStringLiteral("popup_sounds"));
  for (int tag = 0; tag <= 20; ++tag) {
    QAction* a = popup_sounds_->addAction(fromCp1252(std::string(TClient::chatterCaption(tag))));
    a->setObjectName(tag == 0 ? QStringLiteral("Cancel1") : QStringLiteral("wave%1").arg(tag));
    a->setProperty("tag", tag);
    connect(a, &QAction::triggered, this, [this, tag] { client_->chatterSound(tag); });
  }
  connect(b_phrase_[10], &QToolButton::clicked, this,
          [this] { popup_sounds_->popup(b_phrase_[10]->mapToGlobal(b_phrase_[10]->rect().bottomRight())); });

  popup_smilies_ = new QMenu(this);
  popup_smilies_->setObjectName(QStringLiteral("popup_smilies"));
  for (int tag = kFirstSmileyCode; tag < kFirstSmileyCode + kSmileyCount; ++tag) {
    QAction* a =
        popup_smilies_->addAction(pictures::smiley(tag - kFirstSmileyCode), QStringLiteral(":)#%1").arg(tag));
    a->setProperty("tag", tag);
    connect(a, &QAction::triggered, this, [this, tag] { smileyChosen(tag); });
  }
  connect(smilies, &QToolButton::clicked, this,
          [this, smilies] { popup_smilies_->popup(smilies->mapToGlobal(smilies->rect().bottomRight())); });
}

QAction* Tchat::action(QMenu* menu, const QString& caption, const char* name, bool checkable) {
  QAction* a = menu->addAction(caption);
  a->setObjectName(QLatin1String(name));
  a->setCheckable(checkable);
  return a;
}

// One line of a menu: {caption, object name, checkable, shortcut, handler,
// where the window keeps it}. No caption makes a separator.
struct Tchat::MenuItem {
  const char* caption = nullptr;
  const char* name = nullptr;
  bool checkable = false;
  QKeySequence shortcut{};
  std::function<void(bool)> triggered{};
  QAction** keep = nullptr;  // the window changes this item later
};

// A submenu of exclusive choices, each {caption, object name, tag, where the
// window keeps it}; the chosen tag goes to `choose`.
struct Tchat::ChoiceMenu {
  struct Choice {
    QString caption;
    const char* name;
    int tag;
    QAction** keep;
  };
  const char* caption;
  const char* name;
  std::vector<Choice> choices;
  std::function<void(int)> choose;
  QMenu** keep = nullptr;
};

void Tchat::addItems(QMenu* menu, const std::vector<MenuEntry>& entries, bool popup) {
  for (const MenuEntry& entry : entries) {
    if (const auto* sub = std::get_if<ChoiceMenu>(&entry)) {
      QMenu* m = menu->addMenu(QLatin1String(sub->caption));
      m->setObjectName(QLatin1String(sub->name));
      auto* group = new QActionGroup(this);
      for (const ChoiceMenu::Choice& choice : sub->choices) {
        QAction* a = action(m, choice.caption, choice.name, true);
        a->setProperty("tag", choice.tag);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [choose = sub->choose, tag = choice.tag] { choose(tag); });
        *choice.keep = a;
      }
      if (sub->keep) *sub->keep = m;
      continue;
    }
    const MenuItem& item = std::get<MenuItem>(entry);
    if (!item.caption) {
      menu->addSeparator();
      continue;
    }
    QAction* a = action(menu, QLatin1String(item.caption), item.name, item.checkable);
    if (!item.shortcut.isEmpty()) {
      a->setShortcut(item.shortcut);
      if (popup) a->setShortcutVisibleInContextMenu(true);
    }
    if (item.triggered) connect(a, &QAction::triggered, this, item.triggered);
    if (item.keep) *item.keep = a;
  }
}

void Tchat::buildMenus() {
  const QKeySequence none;
  const QKeySequence ctrlS(Qt::CTRL | Qt::Key_S);
  const MenuItem separator;
  const auto scrollOff = [this](bool on) {
    ScrollChatOff1_->setChecked(on);
    ScrollChatOff2_->setChecked(on);
    mainchat_->setScrollOff(on);
  };
  const auto clearChat = [this](bool) {
    mainchat_->clearChat();
    mychat_->setFocus();
  };
  const auto viewTally = [this](bool) {
    if (!windows_.tally) return;
    windows_.tally->viewTally(client_->opponents());
  };
  const auto phraseList = [this](bool) {
    if (!windows_.phrases) return;
    QStringList phrases;
    for (int n = 1; n <= TClient::kPhraseCount; ++n) phrases << fromCp1252(client_->phrase(n));
    windows_.phrases->showPhrases(phrases);
  };
  const auto textColour = [this](bool) {
    const QColor c =
        QColorDialog::getColor(ChatDisplay::toQColor(client_->settings().textColour, palette()), this);
    if (c.isValid()) client_->setTextColour(fromQColor(c));
  };
  std::vector<ChoiceMenu::Choice> levels;
  const char* levelNames[] = {"Beginner1", "Casual1", "Club1", "Strong1", "Expert1"};
  for (int level = 0; level < kComputerLevelCount; ++level)
    levels.push_back({QString::fromStdString(levelLabel(ComputerLevel(level))), levelNames[level], level,
                      &levels_[std::size_t(level)]});

  const std::pair<const char*, std::vector<MenuEntry>> bar[] = {
      {"&Game",
       {MenuItem{"Start Game", "StartGame1", false, QKeySequence::New, [this](bool) { button_startClick(); },
                 &StartGame1_},
        // Without the lobby program, the way to host or join friends.
        MenuItem{"Host or Join...", "HostOrJoin1", false, QKeySequence::Open,
                 [this](bool) { bringUp(windows_.hostOrJoin); }},
        MenuItem{"Just Watch", "JustWatch1", true, none,
                 [this](bool) { JustWatch1Click(); },
                 &JustWatch1_},
        separator, MenuItem{"Exit", "Exit1", false, QKeySequence::Quit, [this](bool) { close(); }}}},
      {"&Options",
       {MenuItem{"Play Sounds", "PlaySounds1", true, none, [this](bool on) { client_->setPlaySounds(on); },
                 &PlaySounds1_},
        MenuItem{"Play Chatter Sounds", "PlayChatterSounds1", true, none,
                 [this](bool on) { client_->setChatterSounds(on); }, &PlayChatterSounds1_},
        ChoiceMenu{"Turn Sound",
                   "TurnSound1",
                   {{QStringLiteral("Classic"), "Classic1", 0, &Classic1_},
                    {QStringLiteral("New"), "New1", 1, &New1_}},
                   [this](int tag) { client_->setTurnSound(tag); },
                   &TurnSound1_},
        MenuItem{"Text Color", "TextColor1", false, none, textColour},
        ChoiceMenu{"Text Size",
                   "TextSize1",
                   {{QStringLiteral("8"), "N8", 8, &textSizes_[0]},
                    {QStringLiteral("10"), "N10", 10, &textSizes_[1]},
                    {QStringLiteral("12"), "N12", 12, &textSizes_[2]},
                    {QStringLiteral("14"), "N14", 14, &textSizes_[3]}},
                   [this](int size) { client_->setTextSize(size); }},
        MenuItem{"Scroll Chat Off", "ScrollChatOff2", true, ctrlS, scrollOff, &ScrollChatOff2_},
        MenuItem{"Clear Main Chat", "ClearMainChat2", false, none, clearChat}, separator,
        ChoiceMenu{"Bot Speed",
                   "BotSpeed1",
                   {{QStringLiteral("Slow"), "Slow1", rules::kBotSlowMs, &Slow1_},
                    {QStringLiteral("Normal"), "Normal1", rules::kBotNormalMs, &Normal1_},
                    {QStringLiteral("Fast"), "Fast1", rules::kBotFastMs, &Fast1_}},
                   [this](int ms) { client_->setBotSpeed(ms); },
                   &BotSpeed1_},
        MenuItem{"Open Board", "OpenBoard1", true, none, [this](bool on) { client_->setOpenBoard(on); },
                 &OpenBoard1_},
        ChoiceMenu{"Computer Level", "ComputerLevel1", levels,
                   [this](int level) { client_->setComputerLevel(level); }},
        MenuItem{"Clear Word", "ClearWord", true, none, [this](bool on) { client_->setClearWord(on); },
                 &ClearWord_},
        MenuItem{"See Other Player's Tiles", "seetheirs", true, none,
                 [this](bool on) { client_->setSeeTheirs(on); }, &seetheirs_},
        separator,
        MenuItem{"Reset Screen Location", "ResetScreenLocation1", false, none,
                 [this](bool) { setGeometry(Geometry{3, 3, 720, 535}); }}}},
      {"&View",
       {MenuItem{"View Tally", "ViewTally1", false, none, viewTally},
        MenuItem{"Spy List", "SpyList1", false, none, [this](bool) { bringUp(spylist_); }},
        MenuItem{"Phrase List", "PhraseList1", false, none, phraseList}}},
      {"&Help",
       {MenuItem{"Content", "Content1", false, QKeySequence::HelpContents,
                 [this](bool) { bringUp(windows_.help); }},
        MenuItem{"About", "About1", false, none, [this](bool) { bringUp(windows_.about); }}}},
  };
  for (const auto& [title, entries] : bar) addItems(menuBar()->addMenu(QLatin1String(title)), entries, false);
  StartGame1_->setEnabled(false);
  BotSpeed1_->setProperty("tag", rules::kBotNormalMs);
  OpenBoard1_->setToolTip(
      QStringLiteral("From the next game, tell every player every letter, as older hosts did"));
  OpenBoard1_->setVisible(false);  // the hosting copy shows it
  qobject_cast<QMenu*>(OpenBoard1_->parent())->setToolTipsVisible(true);

  const auto popup = [this](const char* name, const std::vector<MenuEntry>& entries) {
    auto* menu = new QMenu(this);
    menu->setObjectName(QLatin1String(name));
    addItems(menu, entries, true);
    return menu;
  };
  popup_chat_ =
      popup("popup_chat",
            {MenuItem{"Scroll Chat Off", "ScrollChatOff1", true, ctrlS, scrollOff, &ScrollChatOff1_},
             MenuItem{"Clear Main Chat", "ClearMainChat1", false, none, clearChat},
             MenuItem{"Select All", "SelectAll1", false, none, [this](bool) { mainchat_->selectAll(); }},
             MenuItem{"Copy", "Copy1", false, QKeySequence::Copy, [this](bool) { mainchat_->copy(); }}});
  // The Options item carries the working shortcut; this one only shows it.
  ScrollChatOff1_->setShortcutContext(Qt::WidgetShortcut);
  popup_input_ = popup("popup_input", {MenuItem{"Paste", "Paste1", false, QKeySequence::Paste,
                                                [this](bool) {
                                                  const QString text = QApplication::clipboard()->text();
                                                  if (!text.isEmpty()) mychat_->setText(text);
                                                },
                                                &Paste1_}});
  popup_kick_ = popup(
      "popup_kick", {MenuItem{"Remove From Game", "RemoveFromGame1", false, none,
                              [this](bool) { client_->kicking(kickSeat_); }, &RemoveFromGame1_},
                     MenuItem{"Set to Just Watch", "SettoJustWatch1", false, none,
                              [this](bool) { client_->setJustWatch(kickSeat_, true); }, &SettoJustWatch1_},
                     MenuItem{"Unset Just Watch", "UnsetJustWatch1", false, none,
                              [this](bool) { client_->setJustWatch(kickSeat_, false); }, &UnsetJustWatch1_}});
}

// ---- The game ------------------------------------------------------------------------------

void Tchat::connectGameArea() {
  GameMirror& game = client_->game();
  using Button = GameMirror::Button;
  gameArea_->playKeys(game, [this] { return client_->ownSeat(); });
  connect(gameArea_, &GameArea::boardClicked, this, [this, &game](int x, int y, bool right) {
    game.boardClick(x, y, right ? Button::Right : Button::Left);
    // The click shows before the event loop turns again.
    gameArea_->board()->repaint();
  });
  connect(gameArea_, &GameArea::barClicked, this,
          [&game](int slot, bool right) { game.barClick(slot, right ? Button::Right : Button::Left); });
  connect(gameArea_, &GameArea::wordClicked, this, [&game](int position) { game.wordClick(position); });
  connect(gameArea_, &GameArea::clearClicked, this, [&game] { game.clearClick(); });
  connect(gameArea_, &GameArea::buyClicked, this, [&game] { game.buyClick(); });
  connect(gameArea_, &GameArea::passClicked, this, [&game] { game.passClick(); });
  connect(gameArea_, &GameArea::doneClicked, this, [&game] { game.clickdone(); });
  connect(gameArea_, &GameArea::shuffleClicked, this, [&game] { game.shuffle(); });
  connect(gameArea_, &GameArea::startClicked, this, &Tchat::button_startClick);
  const QUrl page = Tabout::makerPage();
  gameArea_->setLogoLink(!page.isEmpty());
  connect(gameArea_, &GameArea::logoClicked, this, [this, page] {
    if (!page.isEmpty() && !openUrl(page)) messageBox(QStringLiteral("Cannot open Webpage"));
  });
  connect(gameArea_, &GameArea::seatMenuRequested, this,
          [this](int seat, const QPoint& at) { label_playername1ContextPopup(seat, at); });
}

void Tchat::button_startClick() {
  if (!client_->loggedIn()) {
    messageBox(QStringLiteral("You are not connected"));
    return;
  }
  // Starting another game ends the one that runs, for everybody in it.
  if (client_->gameOn()) {
    if (!findChild<QMessageBox*>(QStringLiteral("question")))
      askYesNo(QStringLiteral("A game is running. End it and start a new one?"),
               [this] { bringUp(gamestart_); });
    return;
  }
  bringUp(gamestart_);
}

// ---- Start-up and the connection ----------------------------------------------------

void Tchat::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (started_) return;
  started_ = true;
  QMetaObject::invokeMethod(
      this, [this] { processparams(); }, Qt::QueuedConnection);
}

void Tchat::processparams() {
  client_->game().showStartButton(false);
  StartGame1_->setEnabled(false);
  const StartPlan plan =
      startPlan(options_.solo, options_.connect, options_.host, toCp1252(options_.playerName));
  client_->status(plan.status);
  // Only an offer that can work is made; without one Host or Join is the way.
  if (plan.offerDownload && windows_.download && windows_.download->offered()) bringUp(windows_.download);
  if (plan.connection == StartPlan::Connection::None) return;
  client_->setPlayerName(plan.playerName);
  loopbackOnly_ = plan.loopbackOnly;
  plan.connection == StartPlan::Connection::Host ? hostpress() : joinpress();
}

void Tchat::hostpress() {
  if (!service_->hostGame(options_.port, loopbackOnly_)) {
    const QString text =
        QStringLiteral(
            "This copy cannot host a game: port %1 is already in use, probably by another "
            "Tilewhirl game or tilewhirl-host. Close that program and start again, or start "
            "with --port N to host on another port (players then join with the same --port N).")
            .arg(options_.port);
    client_->status(toCp1252(text));
    messageBox(text);
    return;
  }
  OpenBoard1_->setVisible(true);
}

void Tchat::joinpress() { service_->joinGame(options_.hostAddress, options_.port); }

// ---- Chat input ------------------------------------------------------------------------------

bool Tchat::eventFilter(QObject* watched, QEvent* event) {
  if (watched == mychat_ && event->type() == QEvent::KeyPress) {
    if (mychat_->text() == kEnterChatHere) mychat_->clear();
    // The input's own paste would insert at the cursor; ours replaces the text.
    if (static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste)) {
      Paste1_->trigger();
      return true;
    }
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      sendit();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void Tchat::sendit() {
  if (client_->sendit(toCp1252(mychat_->text()))) mychat_->clear();
}

void Tchat::smileyChosen(int tag) {
  if (mychat_->text() == kEnterChatHere) mychat_->clear();
  mychat_->setText(mychat_->text() + QStringLiteral(":)#%1").arg(tag));
  mychat_->deselect();
  mychat_->end(false);
}

void Tchat::mainchatJump(int link) {
  // The core gives only web addresses, and none for a link that has left the table.
  const auto target = client_->mainchatJump(link);
  const QUrl url(target ? fromCp1252(*target) : QString(), QUrl::StrictMode);
  if (!target || !url.isValid() || !openUrl(url)) messageBox(QStringLiteral("Cannot open Webpage"));
}

void Tchat::label_playername1ContextPopup(int seat, const QPoint& at) {
  const TClient::KickMenu menu = client_->kickMenu(seat);
  RemoveFromGame1_->setEnabled(menu.remove);
  SettoJustWatch1_->setEnabled(menu.setWatch);
  UnsetJustWatch1_->setEnabled(menu.unsetWatch);
  kickSeat_ = seat;
  popup_kick_->popup(at);
}

void Tchat::JustWatch1Click() {
  // The mark follows the host's answer, not the click.
  JustWatch1_->setChecked(client_->justWatchChecked());
  client_->requestJustWatchToggle();
}

// ---- Window life ----------------------------------------------------------------------------

void Tchat::askYesNo(const QString& question, std::function<void()> yes) {
  // Enter keeps the game going; only a deliberate Yes ends it.
  askQuestion(this, windowTitle(), question, [yes = std::move(yes)](bool answer) {
    if (answer) yes();
  });
}

void Tchat::FormClose(const Geometry& workArea) { client_->saveOnClose(workArea); }

void Tchat::endProgram() {
  endConfirmed_ = true;
  close();
}

void Tchat::closeEvent(QCloseEvent* event) {
  // Ending the host ends the game of everyone in it.
  if (!closing_ && !endConfirmed_ && client_->othersPlaying()) {
    event->ignore();
    if (!findChild<QMessageBox*>(QStringLiteral("question")))
      askYesNo(QStringLiteral("Others are playing the game you host. If you exit, the game ends for "
                              "everybody. Exit anyway?"),
               [this] { endProgram(); });
    return;
  }
  if (!closing_) {
    closing_ = true;
    const QRect area = screen() ? screen()->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
    FormClose(Geometry{area.left(), area.top(), area.width(), area.height()});
    service_->close();
    emit closed();
  }
  event->accept();
}

void Tchat::bringForward() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

// ---- ClientView ----------------------------------------------------------------------------

void Tchat::styleChanged(int index) { mainchat_->styleChanged(index); }

void Tchat::addChatLine(const ChatLine& line) { mainchat_->addLine(line); }

void Tchat::seatChanged(int seat) { gameArea_->redrawSeat(seat); }

void Tchat::gameChanged(unsigned changes) {
  gameArea_->redraw(changes);
  // A turn of ours starts on the board, unless the player is typing a line.
  if (gameArea_->turnStarted() && mychat_ && !client_->justWatchChecked() &&
      (mychat_->text().isEmpty() || mychat_->text() == kEnterChatHere))
    gameArea_->board()->setFocus();
  if (!(changes & kPanelsChanged) || !StartGame1_) return;
  StartGame1_->setEnabled(client_->hostRights());
  if (spylist_) spylist_->setKickEnabled(client_->hostRights());
}

void Tchat::justWatchChanged() { JustWatch1_->setChecked(client_->justWatchChecked()); }

void Tchat::spiesChanged() {
  if (!spylist_) return;
  QList<Tspylist::Entry> list;
  for (const Roster::Spy& spy : client_->spies()) list.append({spy.seat, fromCp1252(Roster::spyEntry(spy))});
  spylist_->setEntries(list);
}

void Tchat::playSound(const std::string& name) { sounds_->play(fromCp1252(name)); }

void Tchat::showSettings(const Settings& s) {
  PlaySounds1_->setChecked(s.playSounds);
  PlayChatterSounds1_->setChecked(s.chatterSounds);
  Classic1_->setChecked(s.turnSound == 0);
  New1_->setChecked(s.turnSound == 1);
  TurnSound1_->setProperty("tag", s.turnSound);
  for (QAction* a : textSizes_) a->setChecked(false);
  for (QAction* a : textSizes_)
    if (a->property("tag").toInt() == s.textSize) a->setChecked(true);
  Slow1_->setChecked(s.botSpeed == rules::kBotSlowMs);
  Normal1_->setChecked(s.botSpeed == rules::kBotNormalMs);
  Fast1_->setChecked(s.botSpeed == rules::kBotFastMs);
  BotSpeed1_->setProperty("tag", s.botSpeed);
  for (std::size_t level = 0; level < levels_.size(); ++level)
    levels_[level]->setChecked(int(level) == s.computerLevel);
  ClearWord_->setChecked(s.clearWord);
  seetheirs_->setChecked(s.seeTheirs);
  QPalette pal = mychat_->palette();
  pal.setColor(QPalette::Text, ChatDisplay::toQColor(s.textColour, pal));
  mychat_->setPalette(pal);
  for (int n = 1; n <= kPhraseCount; ++n) b_phrase_[std::size_t(n)]->setToolTip(fromCp1252(client_->phrase(n)));
  OpenBoard1_->setChecked(s.openBoard);
}

void Tchat::showGameOptions(const GameOptions& options) { gamestart_->load(options); }

GameOptions Tchat::shownGameOptions() const { return gamestart_->options(); }

void Tchat::setGeometry(const Geometry& g) {
  move(g.left, g.top);
  resize(g.width, g.height);
}

Geometry Tchat::geometry() const { return Geometry{x(), y(), width(), height()}; }

void Tchat::message(const std::string& text) { messageBox(fromCp1252(text)); }

void Tchat::closeWindow() {
  // A message shown just before ("Game is full") is read first; the window
  // closes when it is dismissed.
  if (auto* box = findChild<QMessageBox*>(); box && box->isVisible()) {
    connect(box, &QMessageBox::finished, this, &Tchat::endProgram);
    return;
  }
  QMetaObject::invokeMethod(
      this, [this] { endProgram(); }, Qt::QueuedConnection);
}

}  // namespace tw
