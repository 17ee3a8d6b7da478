// The help pages. The scoring page is written from the shared rules, so what
// it promises is what the host counts.
#include "windows/help.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "net/commands.h"
#include "rules/computer_levels.h"
#include "rules/game_rules.h"

// The licence texts are linked in a static library; nothing else would pull
// them in.
static void loadTexts() { Q_INIT_RESOURCE(texts); }

namespace tw {

namespace {

QString resourceText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(file.readAll());
}

QString overviewPage() {
  return QStringLiteral(
             "<p>Tilewhirl is a memory game with words for up to six players, with up to three more watching "
             "as "
             "spectators and a chat beside the game.</p>"
             "<p>The board holds %1 &times; %2 face-down letter tiles and every player holds %3 letter tiles "
             "on their "
             "bar. On your turn you turn over %4 board tiles, build a word from them and from your bar, and "
             "score "
             "it. At the end of every turn the board goes face down again and the used tiles are replaced, "
             "so "
             "remember where the letters lie.</p>"
             "<p>When a round ends with a player at or above the play-to score, the highest score wins.</p>")
      .arg(rules::kBoardWidth)
      .arg(rules::kBoardHeight)
      .arg(rules::kBarSize)
      .arg(rules::kMaxFlips);
}

QString connectingPage() {
  return QStringLiteral(
             "<p><b>Solo games.</b> Started without parameters, Tilewhirl hosts a game on this computer, "
             "where you "
             "play as \"You\" against the computer player. Press <i>Start Game</i> to begin. A solo game "
             "needs no "
             "internet connection, but your firewall must let the game use the network on this computer.</p>"
             "<p><b>Hosting.</b> The host's copy runs the game; the others connect to it. Other players must "
             "be able "
             "to reach your computer on TCP port %1, so a router or firewall must let incoming connections "
             "through "
             "on that port.</p>"
             "<p><b>Joining.</b> To join, you need the host's address (a name or an IP address).</p>"
             "<p><b>Without the lobby.</b> Choose <i>Host or Join...</i> in the Game menu: enter your name, "
             "choose to host or to join, give the host's address and the port (%1 unless the host chose "
             "another). The game starts again with these choices. "
             "From the command line: <tt>tilewhirl NAME HOST true</tt> hosts, <tt>tilewhirl NAME HOST "
             "false</tt> "
             "joins, and <tt>--port N</tt> picks another port.</p>"
             "<p><b>Seat 1.</b> The player in seat 1 starts the games and may remove players or set them to "
             "just watch. That is the hosting player, or, when the game runs on <tt>tilewhirl-host</tt>, the "
             "first player to join it.</p>"
             "<p>When your line drops during a game, the window says so and connects again by itself for "
             "two minutes; the host keeps your seat, and you are told when you are back in it. "
             "When the host ends the game, or removes you from it, a message says so; your board and the "
             "scores stay on screen until you close it. If you host and others are playing, Exit asks "
             "first, because the game ends for everybody.</p>")
      .arg(kGamePort);
}

QString gamePlayPage() {
  return QStringLiteral(
             "<p>Every player has %1 tiles on their bar. The player on turn turns over %2 tiles of the board, "
             "one click each, then builds a word of up to %3 letters from the tiles they turned over and the "
             "tiles of their bar, clicking them in order.</p>"
             "<ul><li><b>Done</b> submits the word. A word that is not in the word list is refused and you "
             "may try again while your time lasts.</li>"
             "<li><b>Clear</b> takes all letters back; clicking the last letter of the word takes just "
             "that one back.</li>"
             "<li><b>Buy</b> costs %4 points: they come off your score, you get a new bar, and your turn "
             "goes on.</li>"
             "<li><b>Pass</b> ends your turn without a word.</li></ul>"
             "<p><b>With the keyboard.</b> When your turn starts the board has the focus, a yellow frame "
             "on a tile. The arrow keys move it and Space turns the tile over, or puts it into the word. "
             "Typing a letter takes it from the tiles you turned over (they count double), else from your "
             "bar. Backspace takes the last letter back, Return is Done and Escape is Clear. Tab moves on "
             "to your bar (the arrows choose a tile, Space uses it, Shift+Space lifts it to swap places), "
             "the buttons and the chat. Ctrl+N starts a game (in a running game it asks first), Ctrl+O "
             "is Host or Join, Ctrl+Q quits and F1 "
             "opens this help.</p>"
             "<p>When someone reaches the play-to score, play continues until everyone has had the same "
             "number of turns; then the highest score wins. A shared top score plays another round.</p>"
             "<p><b>Game modes.</b></p><ul>"
             "<li><b>Blind</b>: nobody sees the board except the tiles turned over.</li>"
             "<li><b>Helper</b>: in every round the player with the lowest score above 0 gets a short look "
             "at the whole board before their turn.</li>"
             "<li><b>Sneak Peek</b>: every player gets a short look at the whole board before their turn.</li>"
             "</ul>")
      .arg(rules::kBarSize)
      .arg(rules::kMaxFlips)
      .arg(rules::kWordPositions)
      .arg(rules::kBuyPrice);
}

QString computerLevelsText() {
  // What sets each level apart; its points a turn come from the harness's figures.
  const char* ways[] = {
      "turns over five tiles at random and tries short everyday words",
      "knows only the commonest words, forgets much of what it has seen of the board and plays one of "
      "the few best words that come to mind",
      "knows the words of a good home dictionary, forgets most of what it has seen and plays one of the "
      "few best words that come to mind",
      "knows the words of a large dictionary, rare ones too, and plays like Club otherwise",
      "knows every word of the list, the rarest ones too, and plays like Strong otherwise",
  };
  QString items;
  for (int level = 0; level < kComputerLevelCount; ++level) {
    const QString label = QString::fromStdString(levelLabel(ComputerLevel(level)));
    const auto colon = label.indexOf(QLatin1Char(':'));
    items += QStringLiteral("<li><b>%1</b>%2 (%3).</li>")
                 .arg(label.left(colon), label.mid(colon), QString::fromLatin1(ways[level]));
  }
  return QStringLiteral(
             "<p><b>The computer player.</b> The computer takes seat 2 when nobody sits there and plays the "
             "turns of anyone who chooses to just watch. On the hosting copy, <i>Computer Level</i> in the "
             "Options menu sets how well it plays, and <i>Bot Speed</i> how fast. Each level is labelled with the "
             "points a turn it scores on average:</p><ul>%1</ul>"
             "<p>Every level plays fair: it knows only what a player at the table has seen (the tiles turned "
             "over until they are replaced, its own bar, and the whole board only in a turn with a sneak "
             "peek), and the chat tells everyone its level when it first plays in a game.</p>")
      .arg(items);
}

// What every option and command does, then what changed in this version.
QString documentationPage() {
  return QStringLiteral(
             "<p><b>Game options</b> (Start Game, for the player in seat 1)</p><ul>"
             "<li><b>Play to Score</b>: when a round ends with someone at or above it, the highest score "
             "wins.</li>"
             "<li><b>Creation Time</b>: the seconds each player has for a turn: turning tiles over, "
             "building the word and pressing Done.</li>"
             "<li><b>Tiles Viewable</b>: at the start of each turn the others see the bar of the player on "
             "turn (if they keep <i>See Other Player's Tiles</i> on).</li>"
             "<li><b>4 Player Max</b>: only seats 1 to 4 play; players in seats 5 and 6 watch the game "
             "and chat.</li>"
             "<li><b>Game Mode</b>: Blind, Helper or Sneak Peek, as the Game Play page explains.</li></ul>"
             "<p><b>Game menu</b></p><ul>"
             "<li><b>Host or Join</b>: play with friends without the lobby program.</li>"
             "<li><b>Just Watch</b>: you stop playing and the computer plays your turns, with your bar and "
             "score, until you choose it again or a new game starts. It works while a game runs; the eyes beside a name mark a "
             "player who just watches. The player in seat 1 can set others to just watch, or back, from "
             "their name's menu (right-click), which also has <i>Remove From Game</i>.</li></ul>"
             "<p><b>Options menu</b></p><ul>"
             "<li><b>Play Sounds</b>, <b>Play Chatter Sounds</b>, <b>Turn Sound</b>: the game's sounds, the "
             "sounds players send with the %1 button, and the sound that tells you it is your turn. "
             "Without chatter sounds, a sent sound shows as a line in the chat.</li>"
             "<li><b>Text Color</b>, <b>Text Size</b>: the colour of what you write and the size of the "
             "chat.</li>"
             "<li><b>Scroll Chat Off</b>: the chat stays where it is while new lines arrive; "
             "<b>Clear Main Chat</b> empties it.</li>"
             "<li><b>Bot Speed</b>: how fast the computer player moves in a game you host.</li>"
             "<li><b>Computer Level</b>: how well the computer player plays in a game you host (Beginner, "
             "Casual, Club, Strong or Expert, as the Game Play page explains).</li>"
             "<li><b>Open Board</b> (only in a game you host): from the next game on, every player is told "
             "every letter, face down or not, as older hosts did; leave it off unless a player's program "
             "needs it.</li>"
             "<li><b>Clear Word</b>: after a word that is not in the word list, its letters go back at "
             "once, so you can start again.</li>"
             "<li><b>See Other Player's Tiles</b>: shows the bar of the player on turn when the game "
             "options window's <i>Tiles Viewable</i> is on.</li>"
             "<li><b>Reset Screen Location</b>: puts the window back at the top left of the screen.</li>"
             "</ul>"
             "<p><b>View menu</b></p><ul>"
             "<li><b>View Tally</b>: your games, wins, words and best word, and the games against each "
             "player you choose to tally.</li>"
             "<li><b>Spy List</b>: the spectators, who watch the game and chat without playing (up to "
             "three, after the six seats are taken). The player in seat 1 may remove one from there. In a "
             "game you host, a removed player's address is kept out for a while; the spy list's "
             "<i>Let Back In</i> "
             "lifts that.</li>"
             "<li><b>Phrase List</b>: the phrases the buttons 1 to 9 say; a button works once every two "
             "seconds.</li></ul>"
             "<p><b>What is new in %2</b></p><ul>"
             "<li>Host or join a game from the Game menu, without the lobby program.</li>"
             "<li>The tally is saved after every game and every word, so a crash loses nothing; a damaged "
             "tally file is kept aside and a new tally started.</li>"
             "<li>The lobby download shows its progress and can be stopped; closing its window stops it "
             "too.</li>"
             "<li>Phrase buttons change as soon as you press Done in the phrase list.</li></ul>")
      .arg(QStringLiteral("\u266A"))
      .arg(QString::fromLatin1(kVersion.data(), qsizetype(kVersion.size())));
}

// Plain licence text as flowing paragraphs, so that the page wraps.
QString paragraphs(const QString& text) {
  QString html;
  const QStringList blocks = QString(text)
                                 .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                 .split(QRegularExpression(QStringLiteral("\n\\s*\n")), Qt::SkipEmptyParts);
  for (const QString& block : blocks)
    html += QStringLiteral("<p>") + block.simplified().toHtmlEscaped() + QStringLiteral("</p>");
  return html;
}

QString licencePage() {
  return QStringLiteral("<h3>Tilewhirl</h3>") + paragraphs(resourceText(QStringLiteral(":/texts/LICENSE"))) +
         QStringLiteral("<h3>The word list</h3><p>The word list comes from SCOWL, under these terms:</p>") +
         paragraphs(resourceText(QStringLiteral(":/texts/SCOWL-LICENSE")));
}

QString lobbyPage() {
  return QStringLiteral(
      "<p>The Veltrix Lobby is a separate program where players meet and arrange games. When a game is "
      "arranged, it starts Tilewhirl for every player, with the player's name and the host's address.</p>"
      "<p>Where a download address for the lobby is set up (the key <tt>Lobbyaddress</tt> in the settings "
      "file, or the build's own), Tilewhirl offers to download and install the lobby when it starts "
      "without parameters; that download window's <i>Play with Others</i> opens an installed lobby "
      "program, or, when there is none, the window to host or join a game. Otherwise choose <i>Host or "
      "Join...</i> in the Game menu.</p>");
}

}  // namespace

QString Thelp::scoringPage() {
  QString letters = QStringLiteral("<table cellspacing=\"2\" cellpadding=\"3\"><tr>");
  for (int code = 1; code <= rules::kLetterCount; ++code) {
    letters +=
        QStringLiteral("<td><b>%1</b>&nbsp;%2</td>").arg(QChar('A' + code - 1)).arg(rules::letterValue(code));
    if (code % 9 == 0) letters += QStringLiteral("</tr><tr>");
  }
  letters += QStringLiteral("</tr></table>");
  QString bonuses;
  for (int length = rules::kMinBonusLength; length <= rules::kWordPositions; ++length)
    bonuses += QStringLiteral("<li>%1 letters: %2 points</li>")
                   .arg(length)
                   .arg(rules::lengthBonus(std::size_t(length)));
  return QStringLiteral(
             "<p>A word scores the value of each of its letters:</p>%1"
             "<p>Letters taken from the board count %2 times their value.</p>"
             "<p>Long words earn a bonus:</p><ul>%3</ul>"
             "<p>Using all %4 tiles you turned over adds %5 points; using all %6 tiles of your bar adds %7 "
             "points.</p><p>A new bar costs %8 points.</p>")
      .arg(letters)
      .arg(rules::kBoardLetterFactor)
      .arg(bonuses)
      .arg(rules::kMaxFlips)
      .arg(rules::kAllFlipsBonus)
      .arg(rules::kBarSize)
      .arg(rules::kWholeBarBonus)
      .arg(rules::kBuyPrice);
}

Thelp::Thelp(QWidget* parent) : SecondaryWindow(parent, "helpform", QStringLiteral("Tilewhirl - Help File")) {
  loadTexts();
  auto* layout = new QHBoxLayout(this);
  auto* panel = new QVBoxLayout;
  auto* right = new QVBoxLayout;
  label_caption_ = label(QString(), "label_caption");
  QFont big = label_caption_->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.4);
  label_caption_->setFont(big);
  pages_ = new QStackedWidget(this);
  right->addWidget(label_caption_);
  right->addWidget(pages_, 1);

  struct Page {
    int number;
    const char* button;
    const char* caption;
    QString html;
  };
  const Page pages[] = {
      {1, "Overview", "Overview", overviewPage()},
      {2, "Connecting", "Connecting", connectingPage()},
      {3, "Game Play", "Game Play", gamePlayPage() + computerLevelsText()},
      {4, "Scoring", "Scoring", scoringPage()},
      {5, "Documentation", "Documentation", documentationPage()},
      {6, "License", "License", licencePage()},
      {11, "The Lobby", "The Lobby", lobbyPage()},
  };
  for (const Page& page : pages) {
    auto* memo = new QTextBrowser(pages_);
    memo->setObjectName(QStringLiteral("memo%1").arg(page.number));
    memo->setOpenExternalLinks(false);
    memo->setHtml(page.html);
    pages_->addWidget(memo);
    QPushButton* b = button(QString::fromLatin1(page.button),
                            QStringLiteral("button_page%1").arg(page.number).toLatin1().constData());
    panel->addWidget(b);
    const int number = page.number;
    const QString caption = QString::fromLatin1(page.caption);
    connect(b, &QPushButton::clicked, this, [this, number, caption] { showPage(number, caption); });
  }
  panel->addStretch();
  QPushButton* about = button(QStringLiteral("About"), "button_about");
  QPushButton* done = button(QStringLiteral("Done"), "button_done", true);
  panel->addWidget(about);
  panel->addWidget(done);
  connect(about, &QPushButton::clicked, this, &Thelp::aboutRequested);
  connect(done, &QPushButton::clicked, this, &QDialog::accept);
  layout->addLayout(panel);
  layout->addLayout(right, 1);
  showPage(1, QStringLiteral("Overview"));
  resize(620, 440);
}

void Thelp::showPage(int number, const QString& caption) {
  auto* memo = pages_->findChild<QTextBrowser*>(QStringLiteral("memo%1").arg(number));
  if (!memo) return;
  pages_->setCurrentWidget(memo);
  label_caption_->setText(caption);
}

int Thelp::currentPage() const { return pages_->currentWidget()->objectName().mid(4).toInt(); }

}  // namespace tw
