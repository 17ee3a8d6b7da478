// The main window: layout, menus, and the glue between widgets, the socket
// and the session core.
#include "tchat.h"

#include <QAbstractSocket>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QToolButton>

#include "chat_display.h"
#include "cp1252.h"
#include "host_service.h"
#include "pictures.h"
#include "sounds.h"
#include "spy_list.h"

namespace tw {

namespace {

const QString kEnterChatHere = QStringLiteral("<Enter Chat Here>");
constexpr int kPanelWidth = 712;
constexpr int kPanelHeight = 485;
constexpr int kSeatTop = 54;
constexpr int kSeatStep = 21;

// Text crosses the widget edge in the Windows-1252 code page.
QString latin1(const std::string& s) { return fromCp1252(s); }
std::string bytes(const QString& s) { return toCp1252(s); }

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

// ---- The board's paint box ------------------------------------------------------------

PaintBox::PaintBox(QWidget* parent) : QWidget(parent) {
  cells_.fill(pictures::kTileBack);
  setFixedSize(410, 328);
}

void PaintBox::setCell(int x, int y, int image) {
  if (x < 1 || x > 10 || y < 1 || y > 8) return;
  cells_[std::size_t((y - 1) * 10 + (x - 1))] = image;
  update(QRect((x - 1) * 41, (y - 1) * 41, 41, 41));
}

void PaintBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  std::array<QPixmap, 54> images;
  for (int y = 1; y <= 8; ++y) {
    for (int x = 1; x <= 10; ++x) {
      const int image = std::clamp(cell(x, y), 0, 53);
      if (images[std::size_t(image)].isNull()) images[std::size_t(image)] = pictures::letterImage(image);
      p.drawPixmap((x - 1) * 41, (y - 1) * 41, images[std::size_t(image)]);
    }
  }
}

// ---- Creation ------------------------------------------------------------------------------

Tchat::Tchat(StartOptions options, LogFn log, QWidget* parent)
    : QMainWindow(parent),
      options_(std::move(options)),
      log_(log ? std::move(log) : LogFn(logLine)),
      Timer1([this] { client_->Timer1Timer(); }),
      phrasetimer([this] { client_->phrasetimerTimer(); }) {
  setObjectName(QStringLiteral("chatform"));
  setWindowTitle(QStringLiteral("Tilewhirl"));
  setWindowIcon(pictures::appIcon());
  // Messages never block: some follow from what the host sends, and the
  // session must go on being served while one is on screen.
  messageBox = [this](const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Tilewhirl"), text, QMessageBox::Ok,
                                this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
  };
  openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

  sounds_ = std::make_unique<Sounds>(log_);
  client_ = std::make_unique<TClient>(
      static_cast<ClientView&>(*this), ClientTimers{Timer1, phrasetimer},
      [this](const std::string& b) { sock.send(QByteArray(b.data(), qsizetype(b.size()))); },
      options_.settingsPath, log_);

  sock.setObjectName(QStringLiteral("sock"));
  sock.setPortName(QString::number(options_.port));
  connect(&sock, &Sock::onConnect, this, [this] { client_->sockConnected(); });
  connect(&sock, &Sock::onRead, this, [this](Sock*, qint64) {
    const QByteArray b = sock.receive();
    client_->sockRead(std::string_view(b.constData(), std::size_t(b.size())));
  });
  connect(&sock, &Sock::onInfo, this,
          [this](Sock*, Sock::SocketInfo kind, const QString& text) { sockInfo(kind, text); });

  auto* panel = new BackgroundPanel(this);
  panel->setObjectName(QStringLiteral("panel_background"));
  panel->setMinimumSize(kPanelWidth, kPanelHeight);
  panel_background_ = panel;
  setCentralWidget(panel);
  buildPlayingArea(panel);
  buildSeats(panel);
  buildChat(panel);
  buildMenus();
  resize(720, 535);
  showSettings(client_->settings());
}

Tchat::~Tchat() {
  // The core calls back into this window; it goes first.
  sock.disconnect(this);
  client_.reset();
}

void Tchat::setHost(HostService* host) { host_ = host; }

void Tchat::setSpyList(Tspylist* spylist) {
  spylist_ = spylist;
  if (spylist_)
    connect(spylist_, &Tspylist::kickRequested, this, [this](int seat) { client_->kicking(seat); });
}

QLabel* Tchat::label(QWidget* parent, const char* name, QRect at) {
  auto* l = new QLabel(parent);
  l->setObjectName(QLatin1String(name));
  l->setTextFormat(Qt::PlainText);
  l->setGeometry(at);
  return l;
}

void Tchat::buildPlayingArea(QWidget* panel) {
  const QString white = QStringLiteral("color: white;");
  auto* tpt = label(panel, "label_timeperturn", {8, 0, 153, 14});
  tpt->setText(QStringLiteral("Time Per Turn: 60 secs"));
  auto* gm = label(panel, "label_gm", {160, 0, 153, 14});
  gm->setText(QStringLiteral("Game Mode: Blind"));
  auto* pts = label(panel, "label_playtoscore", {312, 0, 119, 14});
  pts->setText(QStringLiteral("Play to Score: 250"));
  for (QLabel* l : {tpt, gm, pts}) l->setStyleSheet(white);

  for (int n = 1; n <= 10; ++n) {
    auto* word = label(panel, QStringLiteral("word_%1").arg(n).toLatin1().constData(),
                       {11 + 42 * (n - 1), 15, 41, 41});
    word->setProperty("tag", n);
    word->setProperty("hint", QStringLiteral("0,0"));
    auto* bonus = label(panel, QStringLiteral("image_bonus%1").arg(n).toLatin1().constData(),
                        {34 + 42 * (n - 1), 15, 16, 13});
    bonus->setPixmap(pictures::bonusMarker());
    bonus->hide();
  }
  auto* status = label(panel, "label_status", {10, 57, 416, 16});
  status->setAlignment(Qt::AlignCenter);
  status->setStyleSheet(QStringLiteral("color: white; font-weight: bold;"));
  status->setText(QStringLiteral("Welcome to Tilewhirl"));
  auto* timerBar = label(panel, "image_timer", {113, 73, 225, 19});
  timerBar->setPixmap(pictures::timeBar(225));
  auto* timer = label(panel, "label_timer", {117, 73, 87, 19});
  timer->setStyleSheet(QStringLiteral("color: #E0E39D; font-weight: bold;"));
  timer->setText(QStringLiteral("Time: 0:00"));

  const char* buttons[] = {"button_clear", "button_buy", "button_pass", "button_done"};
  const char* captions[] = {"Clear", "Buy", "Pass", "Done"};
  const int lefts[] = {11, 118, 231, 338};
  for (int i = 0; i < 4; ++i) {
    auto* b = new QPushButton(QLatin1String(captions[i]), panel);
    b->setObjectName(QLatin1String(buttons[i]));
    b->setGeometry(lefts[i], 99, 91, 25);
    b->hide();
  }
  auto* winner = new QWidget(panel);
  winner->setObjectName(QStringLiteral("panel_winner"));
  winner->setGeometry(10, 94, 419, 35);
  label(winner, "label_winner2", {2, 2, 419, 35})
      ->setStyleSheet(QStringLiteral("color: black; font-size: 16pt; font-weight: bold;"));
  label(winner, "label_winner1", {0, 0, 419, 35})
      ->setStyleSheet(QStringLiteral("color: yellow; font-size: 16pt; font-weight: bold;"));
  winner->hide();
  auto* theirs = new QWidget(panel);
  theirs->setObjectName(QStringLiteral("panel_theirletters"));
  theirs->setGeometry(10, 94, 419, 34);
  label(theirs, "label_theirtiles", {0, 9, 180, 16})->setStyleSheet(white);
  for (int n = 1; n <= 7; ++n)
    label(theirs, QStringLiteral("image_theirtile%1").arg(n).toLatin1().constData(),
          {190 + 28 * (n - 1), 4, 26, 26});
  theirs->hide();

  auto* boardPanel = new QWidget(panel);
  boardPanel->setObjectName(QStringLiteral("panel_theboard"));
  boardPanel->setGeometry(10, 128, 418, 336);
  boardPanel->setStyleSheet(
      QStringLiteral("#panel_theboard { background: #0a1428; border: 1px solid #5070a0; }"));
  auto* board = new PaintBox(boardPanel);
  board->setObjectName(QStringLiteral("paintbox_board"));
  board->move(4, 4);

  const int slotLefts[] = {63, 108, 154, 199, 244, 290, 335};
  for (int n = 1; n <= 7; ++n) {
    auto* frame = label(panel, QStringLiteral("frame_%1").arg(n).toLatin1().constData(),
                        {slotLefts[n - 1] - 1, 463, 43, 43});
    frame->setPixmap(pictures::slotFrame());
    auto* slot = label(panel, QStringLiteral("letters_%1").arg(n).toLatin1().constData(),
                       {slotLefts[n - 1], 464, 41, 41});
    slot->setProperty("hint", QString::number(n));
    slot->setProperty("tag", 0);
  }
  auto* shuffle = new QToolButton(panel);
  shuffle->setObjectName(QStringLiteral("button_shuffle"));
  shuffle->setGeometry(400, 472, 27, 28);
  shuffle->setText(QStringLiteral("\u21C4"));
  shuffle->setToolTip(QStringLiteral("Shuffle My Letters"));

  auto* logo = label(panel, "Image6", {500, 18, 153, 30});
  logo->setPixmap(pictures::logo());
  button_start_ = new QPushButton(QStringLiteral("Start Game"), panel);
  button_start_->setObjectName(QStringLiteral("button_start"));
  button_start_->setGeometry(502, 19, 150, 28);
  button_start_->hide();
  connect(button_start_, &QPushButton::clicked, this, [this] {
    if (!client_->loggedIn()) messageBox(QStringLiteral("You are not connected"));
  });

  auto* sneaker = label(panel, "image_sneaker", {660, 18, 41, 30});
  sneaker->hide();
}

void Tchat::buildSeats(QWidget* panel) {
  auto* turn = label(panel, "image_Turn", {455, 51, 234, 22});
  turn->setPixmap(pictures::turnMarker());
  turn->hide();
  for (int s = 1; s <= 6; ++s) {
    const int top = kSeatTop + kSeatStep * (s - 1);
    auto* eyesMark =
        label(panel, QStringLiteral("image_eyes%1").arg(s).toLatin1().constData(), {457, top, 18, 15});
    eyesMark->setPixmap(pictures::eyes());
    eyesMark->hide();
    image_eyes_[std::size_t(s)] = eyesMark;
    auto* name =
        label(panel, QStringLiteral("label_playername%1").arg(s).toLatin1().constData(), {475, top, 92, 16});
    name->setText(latin1(std::string(TClient::kWaiting)));
    name->setProperty("tag", s);
    name->setProperty("hint", latin1(std::string(TClient::computerName(s))));
    name->setStyleSheet(
        QStringLiteral("color: #004080; background: rgba(255,255,255,200); font-weight: bold;"));
    name->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(name, &QLabel::customContextMenuRequested, this,
            [this, s, name](const QPoint& pos) { label_playername1ContextPopup(s, name->mapToGlobal(pos)); });
    name->hide();
    label_playername_[std::size_t(s)] = name;
    auto* score =
        label(panel, QStringLiteral("label_score%1").arg(s).toLatin1().constData(), {571, top, 28, 16});
    score->setText(QStringLiteral("0"));
    score->setStyleSheet(
        QStringLiteral("color: #004080; background: rgba(255,255,255,200); font-weight: bold;"));
    score->hide();
    label_score_[std::size_t(s)] = score;
    auto* bonus =
        label(panel, QStringLiteral("label_bonus%1").arg(s).toLatin1().constData(), {602, top, 100, 16});
    bonus->setStyleSheet(QStringLiteral("color: white;"));
  }
  for (int s : {5, 6}) {
    auto* np = label(panel, QStringLiteral("image_canplay%1").arg(s).toLatin1().constData(),
                     {455, kSeatTop + kSeatStep * (s - 1) - 2, 234, 20});
    np->setPixmap(pictures::notPlaying());
    np->hide();
  }
}

void Tchat::buildChat(QWidget* panel) {
  mainchat_ = new ChatDisplay(panel);
  mainchat_->setObjectName(QStringLiteral("mainchat"));
  mainchat_->setGeometry(445, 185, 262, 232);
  mainchat_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(mainchat_, &ChatDisplay::linkClicked, this, [this](int n) { mainchatJump(n); });
  connect(mainchat_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { popup_chat_->popup(mainchat_->mapToGlobal(pos)); });

  mychat_ = new QLineEdit(panel);
  mychat_->setObjectName(QStringLiteral("mychat"));
  mychat_->setGeometry(445, 422, 234, 24);
  mychat_->setText(kEnterChatHere);
  mychat_->installEventFilter(this);
  mychat_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(mychat_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { popup_input_->popup(mychat_->mapToGlobal(pos)); });

  auto* smilies = new QToolButton(panel);
  smilies->setObjectName(QStringLiteral("button_smilies"));
  smilies->setGeometry(682, 422, 25, 24);
  smilies->setIcon(pictures::smiley(0));
  smilies->setToolTip(QStringLiteral("Smilies"));

  for (int n = 1; n <= 10; ++n) {
    auto* b = new QToolButton(panel);
    b->setObjectName(QStringLiteral("b_phrase%1").arg(n));
    b_phrase_[std::size_t(n)] = b;
    if (n <= 9) {
      b->setGeometry(445 + 26 * (n - 1), 450, 24, 24);
      b->setText(QString::number(n));
      connect(b, &QToolButton::clicked, this, [this, n] { client_->phraseClick(n); });
    } else {
      b->setGeometry(679, 450, 28, 24);
      b->setText(QStringLiteral("\u266A"));
      b->setToolTip(QStringLiteral("Chatter Sounds"));
    }
  }

  popup_sounds_ = new QMenu(this);
  popup_sounds_->setObjectName(QStringLiteral("popup_sounds"));
  for (int tag = 0; tag <= 20; ++tag) {
    QAction* a = popup_sounds_->addAction(latin1(std::string(TClient::chatterCaption(tag))));
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

void Tchat::buildMenus() {
  QMenu* game = menuBar()->addMenu(QStringLiteral("&Game"));
  StartGame1_ = action(game, QStringLiteral("Start Game"), "StartGame1");
  StartGame1_->setEnabled(false);
  connect(StartGame1_, &QAction::triggered, button_start_, &QPushButton::click);
  JustWatch1_ = action(game, QStringLiteral("Just Watch"), "JustWatch1", true);
  connect(JustWatch1_, &QAction::triggered, this, [this] {
    // The mark follows the host's answer, not the click.
    JustWatch1_->setChecked(client_->justWatchChecked());
    client_->JustWatch1Click();
  });
  game->addSeparator();
  connect(action(game, QStringLiteral("Exit"), "Exit1"), &QAction::triggered, this, &QWidget::close);

  QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
  PlaySounds1_ = action(options, QStringLiteral("Play Sounds"), "PlaySounds1", true);
  connect(PlaySounds1_, &QAction::triggered, this, [this](bool on) { client_->setPlaySounds(on); });
  PlayChatterSounds1_ = action(options, QStringLiteral("Play Chatter Sounds"), "PlayChatterSounds1", true);
  connect(PlayChatterSounds1_, &QAction::triggered, this, [this](bool on) { client_->setChatterSounds(on); });
  TurnSound1_ = options->addMenu(QStringLiteral("Turn Sound"));
  TurnSound1_->setObjectName(QStringLiteral("TurnSound1"));
  auto* turnGroup = new QActionGroup(this);
  Classic1_ = action(TurnSound1_, QStringLiteral("Classic"), "Classic1", true);
  New1_ = action(TurnSound1_, QStringLiteral("New"), "New1", true);
  for (auto [a, tag] : {std::pair{Classic1_, 0}, std::pair{New1_, 1}}) {
    a->setProperty("tag", tag);
    turnGroup->addAction(a);
    connect(a, &QAction::triggered, this, [this, tag = tag] { client_->setTurnSound(tag); });
  }
  connect(action(options, QStringLiteral("Text Color"), "TextColor1"), &QAction::triggered, this, [this] {
    const QColor c =
        QColorDialog::getColor(ChatDisplay::toQColor(client_->settings().textColour, palette()), this);
    if (c.isValid()) client_->setTextColour(fromQColor(c));
  });
  QMenu* sizes = options->addMenu(QStringLiteral("Text Size"));
  sizes->setObjectName(QStringLiteral("TextSize1"));
  auto* sizeGroup = new QActionGroup(this);
  const int sizeTags[] = {8, 10, 12, 14};
  for (int i = 0; i < 4; ++i) {
    const int size = sizeTags[i];
    QAction* a =
        action(sizes, QString::number(size), QStringLiteral("N%1").arg(size).toLatin1().constData(), true);
    a->setProperty("tag", size);
    sizeGroup->addAction(a);
    textSizes_[std::size_t(i)] = a;
    connect(a, &QAction::triggered, this, [this, size] { client_->setTextSize(size); });
  }
  ScrollChatOff2_ = action(options, QStringLiteral("Scroll Chat Off"), "ScrollChatOff2", true);
  ScrollChatOff2_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  QAction* clear2 = action(options, QStringLiteral("Clear Main Chat"), "ClearMainChat2");
  options->addSeparator();
  BotSpeed1_ = options->addMenu(QStringLiteral("Bot Speed"));
  BotSpeed1_->setObjectName(QStringLiteral("BotSpeed1"));
  BotSpeed1_->setProperty("tag", 750);
  auto* speedGroup = new QActionGroup(this);
  Slow1_ = action(BotSpeed1_, QStringLiteral("Slow"), "Slow1", true);
  Normal1_ = action(BotSpeed1_, QStringLiteral("Normal"), "Normal1", true);
  Fast1_ = action(BotSpeed1_, QStringLiteral("Fast"), "Fast1", true);
  for (auto [a, ms] : {std::pair{Slow1_, 1000}, std::pair{Normal1_, 750}, std::pair{Fast1_, 250}}) {
    a->setProperty("tag", ms);
    speedGroup->addAction(a);
    connect(a, &QAction::triggered, this, [this, ms = ms] { client_->setBotSpeed(ms); });
  }
  ClearWord_ = action(options, QStringLiteral("Clear Word"), "ClearWord", true);
  connect(ClearWord_, &QAction::triggered, this, [this](bool on) { client_->setClearWord(on); });
  seetheirs_ = action(options, QStringLiteral("See Other Player's Tiles"), "seetheirs", true);
  connect(seetheirs_, &QAction::triggered, this, [this](bool on) { client_->setSeeTheirs(on); });
  options->addSeparator();
  connect(action(options, QStringLiteral("Reset Screen Location"), "ResetScreenLocation1"),
          &QAction::triggered, this, [this] {
            setGeometry(Geometry{3, 3, 720, 535});
          });

  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  // The tally and phrases windows come with their own features.
  action(view, QStringLiteral("View Tally"), "ViewTally1")->setEnabled(false);
  connect(action(view, QStringLiteral("Spy List"), "SpyList1"), &QAction::triggered, this, [this] {
    if (!spylist_) return;
    spylist_->show();
    spylist_->raise();
  });
  action(view, QStringLiteral("Phrase List"), "PhraseList1")->setEnabled(false);

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  QAction* content = action(help, QStringLiteral("Content"), "Content1");
  content->setShortcut(QKeySequence(Qt::Key_F1));
  content->setEnabled(false);
  action(help, QStringLiteral("About"), "About1")->setEnabled(false);

  popup_chat_ = new QMenu(this);
  popup_chat_->setObjectName(QStringLiteral("popup_chat"));
  ScrollChatOff1_ = action(popup_chat_, QStringLiteral("Scroll Chat Off"), "ScrollChatOff1", true);
  ScrollChatOff1_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  ScrollChatOff1_->setShortcutVisibleInContextMenu(true);
  // The Options item carries the working shortcut; this one only shows it.
  ScrollChatOff1_->setShortcutContext(Qt::WidgetShortcut);
  QAction* clear1 = action(popup_chat_, QStringLiteral("Clear Main Chat"), "ClearMainChat1");
  connect(action(popup_chat_, QStringLiteral("Select All"), "SelectAll1"), &QAction::triggered, mainchat_,
          &QTextEdit::selectAll);
  QAction* copy = action(popup_chat_, QStringLiteral("Copy"), "Copy1");
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutVisibleInContextMenu(true);
  connect(copy, &QAction::triggered, mainchat_, &QTextEdit::copy);
  auto scrollOff = [this](bool on) {
    ScrollChatOff1_->setChecked(on);
    ScrollChatOff2_->setChecked(on);
    mainchat_->setScrollOff(on);
  };
  connect(ScrollChatOff1_, &QAction::triggered, this, scrollOff);
  connect(ScrollChatOff2_, &QAction::triggered, this, scrollOff);
  for (QAction* clear : {clear1, clear2})
    connect(clear, &QAction::triggered, this, [this] {
      mainchat_->clearChat();
      mychat_->setFocus();
    });

  popup_input_ = new QMenu(this);
  popup_input_->setObjectName(QStringLiteral("popup_input"));
  Paste1_ = action(popup_input_, QStringLiteral("Paste"), "Paste1");
  Paste1_->setShortcut(QKeySequence::Paste);
  Paste1_->setShortcutVisibleInContextMenu(true);
  connect(Paste1_, &QAction::triggered, this, [this] {
    const QString text = QApplication::clipboard()->text();
    if (!text.isEmpty()) mychat_->setText(text);
  });

  popup_kick_ = new QMenu(this);
  popup_kick_->setObjectName(QStringLiteral("popup_kick"));
  RemoveFromGame1_ = action(popup_kick_, QStringLiteral("Remove From Game"), "RemoveFromGame1");
  SettoJustWatch1_ = action(popup_kick_, QStringLiteral("Set to Just Watch"), "SettoJustWatch1");
  UnsetJustWatch1_ = action(popup_kick_, QStringLiteral("Unset Just Watch"), "UnsetJustWatch1");
  connect(RemoveFromGame1_, &QAction::triggered, this, [this] { client_->kicking(kickSeat_); });
  connect(SettoJustWatch1_, &QAction::triggered, this, [this] { client_->setJustWatch(kickSeat_, true); });
  connect(UnsetJustWatch1_, &QAction::triggered, this, [this] { client_->setJustWatch(kickSeat_, false); });
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
  button_start_->hide();
  StartGame1_->setEnabled(false);
  if (options_.solo) {
    client_->status("Loading Solo Game..Please wait.");
    options_.hostAddress = QStringLiteral("127.0.0.1");
    options_.playerName = QStringLiteral("You");
    client_->setPlayerName("You");
    hostpress();
    return;
  }
  client_->status("Loading Multi-player Game.. Please Wait.");
  if (!options_.connect) return;
  client_->setPlayerName(bytes(options_.playerName));
  options_.host ? hostpress() : joinpress();
}

void Tchat::hostpress() {
  if (!host_ || !host_->listen(options_.port)) {
    const QString text =
        QStringLiteral(
            "This copy cannot host a game: port %1 is already in use, probably by another "
            "Tilewhirl game or tilewhirl-host. Close that program and start again, or start "
            "with --port N to host on another port (players then join with the same --port N).")
            .arg(options_.port);
    client_->status(bytes(text));
    messageBox(text);
    return;
  }
  client_->setHosting(true);
  sock.setHostName(QStringLiteral("127.0.0.1"));
  sock.setPortName(QString::number(host_->port()));
  sock.open();
  button_start_->show();
  StartGame1_->setEnabled(true);
  if (spylist_) spylist_->setKickEnabled(true);
  host_->server().setBotSpeed(client_->settings().botSpeed);
}

void Tchat::joinpress() {
  sock.setHostName(options_.hostAddress);
  sock.setPortName(QString::number(options_.port));
  sock.open();
  button_start_->hide();
  StartGame1_->setEnabled(false);
}

void Tchat::sockInfo(Sock::SocketInfo kind, const QString& text) {
  if (kind == Sock::SocketInfo::Close && text == QLatin1String("Socket Closed")) {
    client_->sockClosed();
    return;
  }
  if (kind != Sock::SocketInfo::Error || sock.connected()) return;
  // Errors read "Error #<QAbstractSocket::SocketError> (<reason>)".
  static const QRegularExpression pattern(QStringLiteral("^Error #(\\d+) \\((.*)\\)$"));
  const auto match = pattern.match(text);
  const std::string host = bytes(sock.hostName());
  if (match.hasMatch() && match.captured(1).toInt() == int(QAbstractSocket::HostNotFoundError))
    client_->hostNotFound(host);
  else
    client_->connectFailed(host, sock.portName().toInt(), bytes(match.hasMatch() ? match.captured(2) : text));
}

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
  if (client_->sendit(bytes(mychat_->text()))) mychat_->clear();
}

void Tchat::smileyChosen(int tag) {
  if (mychat_->text() == kEnterChatHere) mychat_->clear();
  mychat_->setText(mychat_->text() + QStringLiteral(":)#%1").arg(tag));
  mychat_->deselect();
  mychat_->end(false);
}

void Tchat::mainchatJump(int link) {
  const auto target = client_->mainchatJump(link);
  if (!target) return;
  const QUrl url(latin1(*target), QUrl::StrictMode);
  const QString scheme = url.scheme().toLower();
  if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) return;
  if (!openUrl(url)) messageBox(QStringLiteral("Cannot open Webpage"));
}

void Tchat::label_playername1ContextPopup(int seat, const QPoint& at) {
  const TClient::KickMenu menu = client_->label_playername1ContextPopup(seat);
  RemoveFromGame1_->setEnabled(menu.remove);
  SettoJustWatch1_->setEnabled(menu.setWatch);
  UnsetJustWatch1_->setEnabled(menu.unsetWatch);
  kickSeat_ = seat;
  popup_kick_->popup(at);
}

// ---- Window life ----------------------------------------------------------------------------

void Tchat::closeEvent(QCloseEvent* event) {
  if (!closing_) {
    closing_ = true;
    const QRect area = screen() ? screen()->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
    client_->FormClose(Geometry{area.left(), area.top(), area.width(), area.height()});
    sock.close();
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

void Tchat::setStyle(int index, const TextStyle& style) { mainchat_->setStyle(index, style); }

void Tchat::addChatLine(const ChatLine& line) { mainchat_->addLine(line); }

void Tchat::setSeat(int seat, const std::string& name, bool visible) {
  if (seat < 1 || seat > 6) return;
  label_playername_[std::size_t(seat)]->setText(latin1(name));
  label_playername_[std::size_t(seat)]->setVisible(visible);
  label_score_[std::size_t(seat)]->setVisible(visible);
}

void Tchat::setWatchMark(int seat, bool shown) {
  if (seat >= 1 && seat <= 6) image_eyes_[std::size_t(seat)]->setVisible(shown);
}

void Tchat::setJustWatchChecked(bool checked) { JustWatch1_->setChecked(checked); }

void Tchat::setSpies(const std::vector<std::string>& entries) {
  if (!spylist_) return;
  QStringList list;
  for (const auto& e : entries) list << latin1(e);
  spylist_->setEntries(list);
}

void Tchat::playSound(const std::string& name) { sounds_->play(latin1(name)); }

void Tchat::showSettings(const Settings& s) {
  PlaySounds1_->setChecked(s.playSounds);
  PlayChatterSounds1_->setChecked(s.chatterSounds);
  Classic1_->setChecked(s.turnSound == 0);
  New1_->setChecked(s.turnSound == 1);
  TurnSound1_->setProperty("tag", s.turnSound);
  for (QAction* a : textSizes_) a->setChecked(false);
  for (QAction* a : textSizes_)
    if (a->property("tag").toInt() == s.textSize) a->setChecked(true);
  Slow1_->setChecked(s.botSpeed == 1000);
  Normal1_->setChecked(s.botSpeed == 750);
  Fast1_->setChecked(s.botSpeed == 250);
  BotSpeed1_->setProperty("tag", s.botSpeed);
  ClearWord_->setChecked(s.clearWord);
  seetheirs_->setChecked(s.seeTheirs);
  QPalette pal = mychat_->palette();
  pal.setColor(QPalette::Text, ChatDisplay::toQColor(s.textColour, pal));
  mychat_->setPalette(pal);
  for (int n = 1; n <= 9; ++n) b_phrase_[std::size_t(n)]->setToolTip(latin1(client_->phrase(n)));
  if (host_ && client_->hosting()) host_->server().setBotSpeed(s.botSpeed);
}

void Tchat::setGeometry(const Geometry& g) {
  move(g.left, g.top);
  resize(g.width, g.height);
}

Geometry Tchat::geometry() const { return Geometry{x(), y(), width(), height()}; }

void Tchat::message(const std::string& text) { messageBox(latin1(text)); }

void Tchat::closeWindow() {
  // A message shown just before ("Game is full") is read first; the window
  // closes when it is dismissed.
  if (auto* box = findChild<QMessageBox*>(); box && box->isVisible()) {
    connect(box, &QMessageBox::finished, this, &QWidget::close);
    return;
  }
  QMetaObject::invokeMethod(
      this, [this] { close(); }, Qt::QueuedConnection);
}

}  // namespace tw
