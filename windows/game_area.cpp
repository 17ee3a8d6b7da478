// The playing area's widgets, laid out pixel for pixel on the background
// panel, and their redraw from the mirror.
#include "windows/game_area.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QWindow>
#include <cmath>

#include "client/cp1252.h"
#include "client/game_mirror.h"
#include "windows/pictures.h"

namespace tw {

namespace {

constexpr int kSeatTop = 54;
constexpr int kSeatStep = 21;
constexpr int kBarTop = 464;
constexpr int kRaised = 3;
constexpr int kSlotLefts[GameState::kBarSize] = {63, 108, 154, 199, 244, 290, 335};
const QString kRestColour = QStringLiteral("#004080");
const QString kTurnColour = QStringLiteral("#FF0000");
// A text that does not fit its box at its own font is shown smaller, down to
// this size, before it is cut short.
constexpr qreal kMinPointSize = 6.5;

QLabel* label(QWidget* parent, const QString& name, QRect at) {
  auto* l = new QLabel(parent);
  l->setObjectName(name);
  l->setTextFormat(Qt::PlainText);
  l->setGeometry(at);
  return l;
}

QFont fontOf(qreal pointSize, bool bold) {
  QFont font = QApplication::font();
  if (pointSize > 0) font.setPointSizeF(pointSize);
  font.setBold(bold);
  return font;
}

// A label that shows changing text in a box of fixed width: `font` is the
// size it shows when the text fits.
QLabel* textLabel(QWidget* parent, const QString& name, QRect at, const QFont& font) {
  QLabel* l = label(parent, name, at);
  l->setFont(font);
  l->setProperty("baseFont", font);
  l->setProperty("room", at.width());
  return l;
}

// Shows `text` whole in its label's box: the font shrinks as far as it must;
// a text too long even then is cut short with an ellipsis, and the whole
// text is the tooltip. `hug` narrows the box to the text.
void fitText(QLabel* l, const QString& text, bool hug = false) {
  QFont font = l->property("baseFont").value<QFont>();
  const int room = l->property("room").toInt();
  while (QFontMetrics(font).horizontalAdvance(text) > room && font.pointSizeF() > kMinPointSize)
    font.setPointSizeF(std::max(kMinPointSize, font.pointSizeF() - 0.5));
  const QFontMetrics metrics(font);
  const QString shown = metrics.elidedText(text, Qt::ElideRight, room);
  l->setFont(font);
  l->setText(shown);
  l->setToolTip(shown == text ? QString() : text);
  if (hug) l->resize(std::min(room, metrics.horizontalAdvance(shown) + 2), l->height());
}

// Seat labels stand on a light box so that the dark seat colour reads on the panel.
QString seatStyle(const QString& colour) {
  return QStringLiteral("color: %1; background: rgba(255,255,255,200);").arg(colour);
}

QRect cellRect(int x, int y) {
  return {(x - 1) * GameArea::kCell, (y - 1) * GameArea::kCell, GameArea::kCell, GameArea::kCell};
}

// One board cell as a screen reader sees it. Cells are drawn, not widgets.
class CellAccessible : public QAccessibleInterface {
 public:
  CellAccessible(PaintBox* board, int x, int y) : board_(board), x_(x), y_(y) {}
  bool isValid() const override { return !board_.isNull(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return board_ ? board_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(board_); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text t) const override {
    if (!board_ || t != QAccessible::Name) return {};
    return QString::fromStdString(KeyPlay::cellWords(board_->state(), x_, y_));
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!board_) return {};
    const QRect r = cellRect(x_, y_);
    return {board_->mapToGlobal(r.topLeft()), r.size()};
  }
  QAccessible::Role role() const override { return QAccessible::Cell; }
  QAccessible::State state() const override {
    QAccessible::State s;
    s.focusable = true;
    const KeyPlay* keys = board_ ? board_->keys() : nullptr;
    s.focused = keys && board_->hasFocus() && keys->focusX() == x_ && keys->focusY() == y_;
    return s;
  }

 private:
  QPointer<PaintBox> board_;
  int x_, y_;
};

constexpr int kCells = GameState::kBoardWidth * GameState::kBoardHeight;

class BoardAccessible : public QAccessibleWidget {
 public:
  explicit BoardAccessible(PaintBox* board) : QAccessibleWidget(board, QAccessible::Table) {}
  ~BoardAccessible() override {
    for (QAccessible::Id id : cells_)
      if (id) QAccessible::deleteAccessibleInterface(id);
  }
  int childCount() const override { return kCells; }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= kCells) return nullptr;
    QAccessible::Id& id = cells_[std::size_t(index)];
    if (!id)
      id = QAccessible::registerAccessibleInterface(new CellAccessible(static_cast<PaintBox*>(widget()),
                                                                       index % GameState::kBoardWidth + 1,
                                                                       index / GameState::kBoardWidth + 1));
    return QAccessible::accessibleInterface(id);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (int i = 0; i < kCells; ++i)
      if (cells_[std::size_t(i)] && QAccessible::accessibleInterface(cells_[std::size_t(i)]) == child)
        return i;
    return -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint at = widget()->mapFromGlobal(QPoint(x, y));
    if (!widget()->rect().contains(at)) return nullptr;
    return child(at.y() / GameArea::kCell * GameState::kBoardWidth + at.x() / GameArea::kCell);
  }
  QAccessibleInterface* focusChild() const override {
    const KeyPlay* keys = static_cast<PaintBox*>(widget())->keys();
    if (!keys || !widget()->hasFocus()) return nullptr;
    return child((keys->focusY() - 1) * GameState::kBoardWidth + keys->focusX() - 1);
  }

 private:
  mutable std::array<QAccessible::Id, kCells> cells_{};
};

QAccessibleInterface* boardAccessible(const QString& key, QObject* object) {
  if (key == QLatin1String("tw::PaintBox") && object && object->isWidgetType())
    return new BoardAccessible(static_cast<PaintBox*>(object));
  return nullptr;
}

// The bar's keyboard focus: a frame around one place, over the bar's slots.
// The mouse passes through it to the slots.
class BarFocus : public QWidget {
 public:
  explicit BarFocus(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::TabFocus);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!hasFocus() || !keys) return;
    QPainter p(this);
    p.setPen(QPen(QColor(255, 220, 0), 3));
    p.drawRect(kSlotLefts[keys->focusPlace() - 1] - x() - 1, kBarTop - y() - 1, GameArea::kCell + 1,
               GameArea::kCell + 1);
  }

 public:
  const KeyPlay* keys = nullptr;
};

KeyPlay::Key toKey(const QKeyEvent& e, char& letter) {
  using Key = KeyPlay::Key;
  switch (e.key()) {
    case Qt::Key_Left:
      return Key::Left;
    case Qt::Key_Right:
      return Key::Right;
    case Qt::Key_Up:
      return Key::Up;
    case Qt::Key_Down:
      return Key::Down;
    case Qt::Key_Space:
      return e.modifiers() & Qt::ShiftModifier ? Key::Select : Key::Space;
    case Qt::Key_Backspace:
      return Key::Backspace;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return Key::Return;
    case Qt::Key_Escape:
      return Key::Escape;
    default:
      break;
  }
  const QString text = e.text();
  letter = text.size() == 1 && text[0].isLetter() && text[0].unicode() < 128 ? char(text[0].unicode()) : 0;
  return Key::Letter;
}

}  // namespace

// ---- The board ---------------------------------------------------------------------------

PaintBox::PaintBox(const GameState& state, QWidget* parent) : QWidget(parent), state_(state) {
  // Before anything asks for the board's interface and caches a plain one.
  static const bool installed = (QAccessible::installFactory(boardAccessible), true);
  (void)installed;
  setFixedSize(GameState::kBoardWidth * GameArea::kCell, GameState::kBoardHeight * GameArea::kCell);
  // Tab and the start of a turn bring the focus here; a click leaves it where
  // it was, so a line being typed in the chat goes on there.
  setFocusPolicy(Qt::TabFocus);
  setAccessibleName(QStringLiteral("Board"));
}

void PaintBox::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  std::array<QPixmap, 2 * GameState::kFaded + 1> images;
  for (int x = 1; x <= GameState::kBoardWidth; ++x) {
    for (int y = 1; y <= GameState::kBoardHeight; ++y) {
      const QRect cell((x - 1) * GameArea::kCell, (y - 1) * GameArea::kCell, GameArea::kCell,
                       GameArea::kCell);
      if (!event->rect().intersects(cell)) continue;
      const int image = std::clamp(state_.cellImage(x, y), 0, 2 * GameState::kFaded);
      if (image == 0) continue;
      QPixmap& pm = images[std::size_t(image)];
      if (pm.isNull()) pm = pictures::letterImage(image);
      p.drawPixmap(cell.topLeft(), pm);
    }
  }
  if (keys_ && hasFocus()) {
    p.setPen(QPen(QColor(255, 220, 0), 3));
    p.drawRect(cellRect(keys_->focusX(), keys_->focusY()).adjusted(1, 1, -2, -2));
  }
}

void PaintBox::mouseReleaseEvent(QMouseEvent* event) {
  // Floor division: a release left of or above the board is outside it.
  const QPointF at = event->position();
  const int x = int(std::floor(at.x() / GameArea::kCell)) + 1;
  const int y = int(std::floor(at.y() / GameArea::kCell)) + 1;
  emit released(x, y, event->button() == Qt::RightButton);
}

// ---- Creation ----------------------------------------------------------------------------------

GameArea::GameArea(QWidget* panel, const GameState& state, const Roster& roster)
    : QObject(panel), state_(state), roster_(roster) {
  buildPlayingArea(panel);
  buildSeats(panel);
  redraw(~0u);
}

void GameArea::buildPlayingArea(QWidget* panel) {
  const QString white = QStringLiteral("color: white;");
  const QFont plain = fontOf(0, false);
  const QFont bold = fontOf(0, true);
  timePerTurn_ = textLabel(panel, QStringLiteral("label_timeperturn"), {8, 0, 150, 14}, plain);
  gameMode_ = textLabel(panel, QStringLiteral("label_gm"), {160, 0, 152, 14}, plain);
  playToScore_ = textLabel(panel, QStringLiteral("label_playtoscore"), {314, 0, 117, 14}, plain);
  for (QLabel* l : {timePerTurn_, gameMode_, playToScore_}) l->setStyleSheet(white);

  for (int n = 1; n <= GameState::kWordPositions; ++n) {
    word_[std::size_t(n)] = label(panel, QStringLiteral("word_%1").arg(n), {11 + 42 * (n - 1), 15, 41, 41});
    word_[std::size_t(n)]->installEventFilter(this);
    QLabel* mark = label(panel, QStringLiteral("image_bonus%1").arg(n), {34 + 42 * (n - 1), 15, 16, 13});
    mark->setPixmap(pictures::bonusMarker());
    bonusMarks_[std::size_t(n)] = mark;
  }
  status_ = textLabel(panel, QStringLiteral("label_status"), {10, 57, 416, 16}, bold);
  status_->setAlignment(Qt::AlignCenter);
  status_->setStyleSheet(QStringLiteral("color: white;"));
  timeBar_ = label(panel, QStringLiteral("image_timer"), {113, 73, GameState::kTimeBarWidth, 19});
  timeBar_->setPixmap(pictures::timeBar(GameState::kTimeBarWidth));
  timeBar_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  timer_ = textLabel(panel, QStringLiteral("label_timer"), {117, 73, 87, 19}, bold);

  const char* names[] = {"button_clear", "button_buy", "button_pass", "button_done"};
  const char* captions[] = {"Clear", "Buy", "Pass", "Done"};
  const int lefts[] = {11, 118, 231, 338};
  void (GameArea::*clicks[])() = {&GameArea::clearClicked, &GameArea::buyClicked, &GameArea::passClicked,
                                  &GameArea::doneClicked};
  for (std::size_t i = 0; i < moveButtons_.size(); ++i) {
    auto* b = new QPushButton(QLatin1String(captions[i]), panel);
    b->setObjectName(QLatin1String(names[i]));
    b->setGeometry(lefts[i], 99, 91, 25);
    // Tab reaches them; a click leaves the focus where it was.
    b->setFocusPolicy(Qt::TabFocus);
    connect(b, &QPushButton::clicked, this, clicks[i]);
    moveButtons_[i] = b;
  }
  winnerPanel_ = new QWidget(panel);
  winnerPanel_->setObjectName(QStringLiteral("panel_winner"));
  winnerPanel_->setGeometry(10, 94, 419, 35);
  // The shadow stands 2 pixels off, so both boxes leave it room inside the panel.
  winner2_ = textLabel(winnerPanel_, QStringLiteral("label_winner2"), {2, 2, 415, 33}, fontOf(16, true));
  winner2_->setStyleSheet(QStringLiteral("color: black;"));
  winner1_ = textLabel(winnerPanel_, QStringLiteral("label_winner1"), {0, 0, 415, 33}, fontOf(16, true));
  winner1_->setStyleSheet(QStringLiteral("color: yellow;"));
  for (QLabel* l : {winner1_, winner2_}) l->setAlignment(Qt::AlignCenter);
  theirPanel_ = new QWidget(panel);
  theirPanel_->setObjectName(QStringLiteral("panel_theirletters"));
  theirPanel_->setGeometry(10, 94, 419, 34);
  theirLabel_ = textLabel(theirPanel_, QStringLiteral("label_theirtiles"), {0, 9, 184, 16}, plain);
  theirLabel_->setStyleSheet(white);
  theirLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  for (int n = 1; n <= GameState::kBarSize; ++n)
    theirTiles_[std::size_t(n)] =
        label(theirPanel_, QStringLiteral("image_theirtile%1").arg(n), {190 + 28 * (n - 1), 4, 26, 26});

  auto* boardPanel = new QWidget(panel);
  boardPanel->setObjectName(QStringLiteral("panel_theboard"));
  boardPanel->setGeometry(10, 128, 418, 336);
  boardPanel->setStyleSheet(
      QStringLiteral("#panel_theboard { background: #0a1428; border: 1px solid #5070a0; }"));
  board_ = new PaintBox(state_, boardPanel);
  board_->setObjectName(QStringLiteral("paintbox_board"));
  board_->move(4, 4);
  connect(board_, &PaintBox::released, this, &GameArea::boardClicked);

  for (int n = 1; n <= GameState::kBarSize; ++n) {
    QLabel* frame =
        label(panel, QStringLiteral("frame_%1").arg(n), {kSlotLefts[n - 1] - 1, kBarTop - 1, 43, 43});
    frame->setPixmap(pictures::slotFrame());
  }
  for (int n = 1; n <= GameState::kBarSize; ++n) {
    letters_[std::size_t(n)] =
        label(panel, QStringLiteral("letters_%1").arg(n), {kSlotLefts[n - 1], kBarTop, 41, 41});
    letters_[std::size_t(n)]->installEventFilter(this);
  }
  bar_ = new BarFocus(panel);
  bar_->setObjectName(QStringLiteral("bar_focus"));
  bar_->setGeometry(kSlotLefts[0] - 3, kBarTop - kRaised - 3, kSlotLefts[6] - kSlotLefts[0] + 47, 50);
  bar_->installEventFilter(this);
  board_->installEventFilter(this);
  auto* shuffle = new QToolButton(panel);
  shuffle->setObjectName(QStringLiteral("button_shuffle"));
  shuffle->setGeometry(400, 472, 27, 28);
  shuffle->setText(QStringLiteral("\u21C4"));
  shuffle->setToolTip(QStringLiteral("Shuffle My Letters"));
  shuffle->setAccessibleName(shuffle->toolTip());
  shuffle->setFocusPolicy(Qt::NoFocus);
  connect(shuffle, &QToolButton::clicked, this, &GameArea::shuffleClicked);

  logo_ = label(panel, QStringLiteral("Image6"), {500, 18, 153, 30});
  logo_->setPixmap(pictures::logo());
  logo_->setAccessibleName(QStringLiteral("Tilewhirl"));
  logo_->installEventFilter(this);
  start_ = new QPushButton(QStringLiteral("Start Game"), panel);
  start_->setObjectName(QStringLiteral("button_start"));
  start_->setGeometry(502, 19, 150, 28);
  connect(start_, &QPushButton::clicked, this, &GameArea::startClicked);

  // Left of the seat rows, where it covers no name, score or word.
  sneaker_ = label(panel, QStringLiteral("image_sneaker"), {432, 18, 22, 16});
  sneaker_->setPixmap(pictures::eyes());
  sneaker_->setAlignment(Qt::AlignCenter);
}

void GameArea::buildSeats(QWidget* panel) {
  turnMarker_ = label(panel, QStringLiteral("image_Turn"), {455, 51, 234, 22});
  turnMarker_->setPixmap(pictures::turnMarker());
  turnMarker_->setAccessibleName(QStringLiteral("Turn"));
  for (int s = 1; s <= GameState::kSeatCount; ++s) {
    const int top = kSeatTop + kSeatStep * (s - 1);
    QLabel* eyes = label(panel, QStringLiteral("image_eyes%1").arg(s), {457, top, 18, 15});
    eyes->setPixmap(pictures::eyes());
    eyes_[std::size_t(s)] = eyes;
    const QFont bold = fontOf(0, true);
    QLabel* name = textLabel(panel, QStringLiteral("label_playername%1").arg(s), {475, top, 92, 16}, bold);
    name->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(name, &QLabel::customContextMenuRequested, this,
            [this, s, name](const QPoint& pos) { emit seatMenuRequested(s, name->mapToGlobal(pos)); });
    names_[std::size_t(s)] = name;
    scores_[std::size_t(s)] = textLabel(panel, QStringLiteral("label_score%1").arg(s), {570, top, 32, 16}, bold);
    bonuses_[std::size_t(s)] =
        textLabel(panel, QStringLiteral("label_bonus%1").arg(s), {605, top, 102, 16}, bold);
  }
  for (int s : {5, 6}) {
    QLabel* np = label(panel, QStringLiteral("image_canplay%1").arg(s),
                       {455, kSeatTop + kSeatStep * (s - 1) - 2, 234, 20});
    np->setPixmap(pictures::notPlaying());
    canPlay_[std::size_t(s - 4)] = np;
  }
}

void GameArea::setLogoLink(bool link) {
  if (link)
    logo_->setCursor(Qt::PointingHandCursor);
  else
    logo_->unsetCursor();
  logo_->setAccessibleName(link ? QStringLiteral("The maker's web page") : QStringLiteral("Tilewhirl"));
}

// ---- Clicks --------------------------------------------------------------------------------------

void GameArea::playKeys(GameMirror& game, std::function<int()> ownSeat) {
  keys_ = std::make_unique<KeyPlay>(game, std::move(ownSeat));
  board_->setKeys(keys_.get());
  static_cast<BarFocus*>(bar_)->keys = keys_.get();
  keysMoved();
}

bool GameArea::keyPressed(QObject* watched, QKeyEvent* event) {
  if (!keys_ || (watched != board_ && watched != bar_)) return false;
  char letter = 0;
  const KeyPlay::Key key = toKey(*event, letter);
  const auto place = watched == board_ ? KeyPlay::Place::Board : KeyPlay::Place::Bar;
  if (!keys_->press(place, key, letter)) return false;
  keysMoved();
  return true;
}

void GameArea::keysMoved() {
  board_->update();
  bar_->update();
  const int slot = keys_->focusSlot();
  bar_->setAccessibleName(QStringLiteral("Your letters, ") +
                          QString::fromStdString(KeyPlay::slotWords(state_, slot)));
  if (board_->hasFocus()) {
    QAccessibleEvent focus(board_, QAccessible::Focus);
    focus.setChild((keys_->focusY() - 1) * GameState::kBoardWidth + keys_->focusX() - 1);
    tellReader(&focus);
  }
}

bool GameArea::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && keyPressed(watched, static_cast<QKeyEvent*>(event))) return true;
  if (event->type() != QEvent::MouseButtonRelease) return QObject::eventFilter(watched, event);
  const auto* mouse = static_cast<QMouseEvent*>(event);
  const bool right = mouse->button() == Qt::RightButton;
  if (watched == logo_) {
    if (!right) emit logoClicked();
    return true;
  }
  for (int n = 1; n <= GameState::kBarSize; ++n)
    if (watched == letters_[std::size_t(n)]) {
      emit barClicked(n, right);
      return true;
    }
  for (int n = 1; n <= GameState::kWordPositions; ++n)
    if (watched == word_[std::size_t(n)]) {
      emit wordClicked(n);
      return true;
    }
  return QObject::eventFilter(watched, event);
}

// ---- Redrawing --------------------------------------------------------------------------------

void GameArea::redraw(unsigned changes) {
  if (changes & kBoardChanged) board_->update();
  if ((changes & (kBarChanged | kBoardChanged)) && keys_) keysMoved();
  if (changes & kBarChanged) redrawBar();
  if (changes & kWordRowChanged) redrawWordRow();
  if (changes & kSeatsChanged) redrawSeats();
  if (changes & kStatusChanged) {
    // A screen reader says the whole line, also when it shows shortened.
    const QString status = fromCp1252(state_.status);
    fitText(status_, status);
    if (status != statusShown_) {
      statusShown_ = status;
      status_->setAccessibleName(status);
      alert(status_);
    }
  }
  if (changes & kClockChanged) redrawClock();
  if (changes & kPanelsChanged) redrawPanels();
  if (changes & kCaptionsChanged) {
    fitText(timePerTurn_, fromCp1252(state_.timePerTurn));
    fitText(gameMode_, fromCp1252(state_.gameMode));
    fitText(playToScore_, fromCp1252(state_.playToScore));
  }
}

void GameArea::alert(QObject* object) {
  QAccessibleEvent event(object, QAccessible::Alert);
  tellReader(&event);
}

void GameArea::redrawBar() {
  for (int n = 1; n <= GameState::kBarSize; ++n) {
    const GameState::BarSlot& slot = state_.bar[std::size_t(n)];
    QLabel* image = letters_[std::size_t(n)];
    const int top = state_.selectedSlot == n ? kBarTop - kRaised : kBarTop;
    image->move(kSlotLefts[std::clamp(slot.position, 1, GameState::kBarSize) - 1], top);
    image->setPixmap(slot.tag != 0 ? pictures::letterImage(slot.code) : QPixmap());
    image->setAccessibleName(QString::fromStdString(KeyPlay::slotWords(state_, n)));
  }
}

void GameArea::redrawWordRow() {
  for (int n = 1; n <= GameState::kWordPositions; ++n) {
    const GameState::WordPosition& p = state_.word[std::size_t(n)];
    word_[std::size_t(n)]->setPixmap(p.face != 0 ? pictures::letterImage(p.face) : QPixmap());
    bonusMarks_[std::size_t(n)]->setVisible(p.marker);
    word_[std::size_t(n)]->setAccessibleName(QString::fromStdString(KeyPlay::wordWords(state_, n)));
  }
}

void GameArea::redrawSeat(int seat) {
  if (!Roster::playingSeat(seat)) return;
  const auto s = std::size_t(seat);
  fitText(names_[s], fromCp1252(roster_.name(seat)));
  names_[s]->setVisible(roster_.visible(seat));
  scores_[s]->setVisible(roster_.visible(seat));
  bonuses_[s]->setVisible(roster_.visible(seat) && !state_.seats[s].bonus.empty());
  eyes_[s]->setVisible(roster_.watching(seat));
}

void GameArea::redrawSeats() {
  for (int s = 1; s <= GameState::kSeatCount; ++s) {
    const auto i = std::size_t(s);
    const int colour = s == state_.markedSeat ? 1 : 0;
    if (seatColour_[i] != colour + 1) {
      seatColour_[i] = colour + 1;
      const QString c = colour ? kTurnColour : kRestColour;
      for (QLabel* l : {names_[i], scores_[i], bonuses_[i]}) l->setStyleSheet(seatStyle(c));
    }
    const QString score = fromCp1252(state_.seats[i].score);
    if (scores_[i]->accessibleName() != score) {
      scores_[i]->setAccessibleName(score);
      QAccessibleValueChangeEvent change(scores_[i], score);
      tellReader(&change);
    }
    fitText(scores_[i], score, true);
    fitText(bonuses_[i], fromCp1252(state_.seats[i].bonus), true);
    redrawSeat(s);
  }
  if (state_.markedSeat != 0)
    turnMarker_->move(turnMarker_->x(), names_[std::size_t(state_.markedSeat)]->y() - 3);
  turnMarker_->setVisible(state_.markedSeat != 0);
  if (state_.markedSeat != turnShown_) {
    turnShown_ = state_.markedSeat;
    turnMarker_->setAccessibleName(turnShown_
                                       ? fromCp1252(roster_.name(turnShown_)) + QStringLiteral("'s turn")
                                       : QStringLiteral("Turn"));
    alert(turnMarker_);
  }
  if (state_.sneakerSeat != 0) sneaker_->move(sneaker_->x(), names_[std::size_t(state_.sneakerSeat)]->y());
  sneaker_->setVisible(state_.sneakerSeat != 0);
  for (QLabel* np : {canPlay_[1], canPlay_[2]}) np->setVisible(state_.fourPlayer);
}

void GameArea::redrawClock() {
  fitText(timer_, fromCp1252(state_.clock));
  const int colour = state_.clockRed ? 1 : 0;
  // The clock turning red, and its last ten and five seconds, are warnings.
  if ((colour == 1 && clockColour_ == 0) ||
      (colour == 1 && (state_.secondsLeft == 10 || state_.secondsLeft == 5)))
    alert(timer_);
  if (colour != clockColour_) {
    clockColour_ = colour;
    timer_->setStyleSheet(QStringLiteral("color: %1;")
                              .arg(colour ? kTurnColour : QStringLiteral("#E0E39D")));
  }
  timeBar_->resize(std::clamp(state_.timeBar, 0, GameState::kTimeBarWidth), timeBar_->height());
}

void GameArea::redrawPanels() {
  for (QPushButton* b : moveButtons_) b->setVisible(state_.moveButtons);
  start_->setVisible(state_.startButton);
  fitText(winner1_, fromCp1252(state_.winnerText));
  fitText(winner2_, fromCp1252(state_.winnerText));
  winnerPanel_->setVisible(state_.winnerShown);
  fitText(theirLabel_, fromCp1252(state_.theirTilesLabel));
  for (int n = 1; n <= GameState::kBarSize; ++n)
    theirTiles_[std::size_t(n)]->setPixmap(pictures::littleImage(state_.theirTiles[std::size_t(n)]));
  theirPanel_->setVisible(state_.theirTilesShown);
}

}  // namespace tw
