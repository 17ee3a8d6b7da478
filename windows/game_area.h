// GameArea: the playing part of the main window: the word row, the status
// line and clock, the move buttons, the board, the bar, the seat rows and
// the panels over the button row. It redraws what the game mirror says has
// changed, from the mirror's state and the roster, and reports clicks as a
// board cell, a bar slot, a word position or a button.
#pragma once

#include <QAccessible>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "client/game_state.h"
#include "client/key_play.h"
#include "client/roster.h"

class QKeyEvent;
class QLabel;
class QPushButton;
class QToolButton;

namespace tw {

// The board's paint box: 10 × 8 cells of 41 pixels, drawn from the mirror.
class PaintBox : public QWidget {
  Q_OBJECT

 public:
  PaintBox(const GameState& state, QWidget* parent = nullptr);
  const GameState& state() const { return state_; }
  // The keyboard's focus cell, drawn while the board has the focus.
  void setKeys(const KeyPlay* keys) { keys_ = keys; }
  const KeyPlay* keys() const { return keys_; }

 signals:
  // A mouse release at cell (x, y), counted from 1; outside the board when
  // the button was pressed on it and released beside it.
  void released(int x, int y, bool right);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  const GameState& state_;
  const KeyPlay* keys_ = nullptr;
};

class GameArea : public QObject {
  Q_OBJECT

 public:
  static constexpr int kCell = 41;

  GameArea(QWidget* panel, const GameState& state, const Roster& roster);

  // Redraws the parts named by the GameChange bits.
  void redraw(unsigned changes);
  // A seat's name, its visibility or its watching mark changed.
  void redrawSeat(int seat);
  QLabel* seatLabel(int seat) const { return names_[std::size_t(seat)]; }
  QPushButton* startButton() const { return start_; }
  PaintBox* board() const { return board_; }
  QWidget* bar() const { return bar_; }
  // Keys on the board and the bar become moves on `game`.
  void playKeys(GameMirror& game, std::function<int()> ownSeat);
  // Where changes the player follows are told to a screen reader; tests listen here.
  std::function<void(QAccessibleEvent*)> tellReader = &QAccessible::updateAccessibility;
  // True once at the start of each turn of ours; the focus cell is reset.
  bool turnStarted() { return keys_ && keys_->turnStarted(); }
  // The logo shows that it opens a web page.
  void setLogoLink(bool link);

 signals:
  void boardClicked(int x, int y, bool right);
  void barClicked(int slot, bool right);
  void wordClicked(int position);
  void clearClicked();
  void buyClicked();
  void passClicked();
  void doneClicked();
  void shuffleClicked();
  void startClicked();
  void logoClicked();
  void seatMenuRequested(int seat, const QPoint& global);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildPlayingArea(QWidget* panel);
  void buildSeats(QWidget* panel);
  void redrawBar();
  void redrawWordRow();
  void redrawSeats();
  void redrawClock();
  void redrawPanels();
  bool keyPressed(QObject* watched, QKeyEvent* event);
  void alert(QObject* object);
  void keysMoved();

  const GameState& state_;
  const Roster& roster_;
  std::array<QLabel*, GameState::kWordPositions + 1> word_{};
  std::array<QLabel*, GameState::kWordPositions + 1> bonusMarks_{};
  std::array<QLabel*, GameState::kBarSize + 1> letters_{};
  std::array<QLabel*, GameState::kBarSize + 1> theirTiles_{};
  std::array<QLabel*, GameState::kSeatCount + 1> eyes_{};
  std::array<QLabel*, GameState::kSeatCount + 1> names_{};
  std::array<QLabel*, GameState::kSeatCount + 1> scores_{};
  std::array<QLabel*, GameState::kSeatCount + 1> bonuses_{};
  std::array<QLabel*, 3> canPlay_{};  // seats 5 and 6
  std::array<QPushButton*, 4> moveButtons_{};
  QLabel* status_ = nullptr;
  QLabel* timer_ = nullptr;
  QLabel* timeBar_ = nullptr;
  QLabel* timePerTurn_ = nullptr;
  QLabel* gameMode_ = nullptr;
  QLabel* playToScore_ = nullptr;
  QLabel* turnMarker_ = nullptr;
  QLabel* sneaker_ = nullptr;
  QLabel* logo_ = nullptr;
  QLabel* winner1_ = nullptr;
  QLabel* winner2_ = nullptr;
  QLabel* theirLabel_ = nullptr;
  QWidget* winnerPanel_ = nullptr;
  QWidget* theirPanel_ = nullptr;
  QPushButton* start_ = nullptr;
  PaintBox* board_ = nullptr;
  QWidget* bar_ = nullptr;  // the bar's keyboard focus, drawn over the slots
  std::unique_ptr<KeyPlay> keys_;
  QString statusShown_;
  int turnShown_ = 0;
  int clockColour_ = -1;  // 0 at rest, 1 red; -1 before the first redraw
  std::array<int, GameState::kSeatCount + 1> seatColour_{};
};

}  // namespace tw
