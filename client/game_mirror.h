// GameMirror: the client's copy of the running game. The host's game
// messages update it, the turn clock counts down, and the user's clicks on
// the board, the bar and the word row become moves sent to the host. The
// host decides everything; the mirror only shows and filters. It tells the
// window what changed in broad strokes and the window redraws from state().
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "client/game_state.h"
#include "net/log.h"
#include "net/timer.h"

namespace tw {

class GameTally;

// What the window redraws after a change of the mirror.
enum GameChange : unsigned {
  kBoardChanged = 1u << 0,
  kBarChanged = 1u << 1,
  kWordRowChanged = 1u << 2,
  kSeatsChanged = 1u << 3,    // scores, results, turn marker, sneak marker, seats 5 and 6
  kStatusChanged = 1u << 4,   // the status line
  kClockChanged = 1u << 5,    // the clock and its bar
  kPanelsChanged = 1u << 6,   // move buttons, winner, the other player's tiles, start button
  kCaptionsChanged = 1u << 7  // game mode, play-to score, time per turn
};

class GameView {
 public:
  virtual ~GameView() = default;
  virtual void gameChanged(unsigned changes) = 0;
  // A message box that does not block.
  virtual void message(const std::string& text) = 0;
};

// What the mirror needs of the session it runs in.
class MirrorSession {
 public:
  virtual ~MirrorSession() = default;
  // The player's options that change how a game shows.
  struct Options {
    bool newTurnSound = false;
    bool seeTheirs = false;
    bool clearWord = false;
  };

  virtual int ownSeat() const = 0;
  virtual const std::string& seatName(int seat) const = 0;
  virtual bool seatEmpty(int seat) const = 0;
  // The names in the other taken playing seats.
  virtual std::vector<std::string> opponents() const = 0;
  // Seat 1's rights: starting games.
  virtual bool hostRights() const = 0;
  // "Just Watch" is on: this copy makes no moves.
  virtual bool watching() const = 0;
  virtual Options mirrorOptions() const = 0;
  // A new game clears "Just Watch" and the watching marks, and labels the
  // computer that plays an empty seat 2.
  virtual void uncheckJustWatch() = 0;
  virtual void setWatchMark(int seat, bool shown) = 0;
  virtual void setSeatLabel(int seat, std::string name) = 0;
  // A move of the game to the host.
  virtual void sendMove(const std::string& bytes) = 0;
  // A status line in the chat.
  virtual void status(std::string_view text) = 0;
  virtual void playsounds(const std::string& name) = 0;
};

class GameMirror {
 public:
  enum class Button { Left, Right };

  GameMirror(MirrorSession& session, GameView& view, Timer& turntime, LogFn log);

  const GameState& state() const { return state_; }
  void setTally(GameTally* tally) { tally_ = tally; }
  // Shuffles draw from the system's random source unless a test fixes the seed.
  void seed(std::uint32_t seed) { rng_.seed(seed); }

  // The host's game messages, each given its body.
  void startthegame(std::string_view body);
  void getnextplayer(std::string_view body);
  void theboard(std::string_view body);
  void mytiles(std::string_view body);
  void theirtiles(std::string_view body);
  void isflipped(std::string_view body);
  void heflip(std::string_view body);
  void heuseboardletter(std::string_view body);
  void heusebarletter(std::string_view body);
  void heclickclear(std::string_view body);
  void hepasses(std::string_view body);
  void hisword(std::string_view body);
  void invalid(std::string_view body);
  void timeup(std::string_view body);
  void buytiles(std::string_view body);
  void notenough(std::string_view body);
  void winner(std::string_view body);
  void tie(std::string_view body);
  void stats(std::string_view body);
  void getsneak(std::string_view body);
  void sneaker(std::string_view body);

  // The turn clock's tick, once a second while it runs.
  void turntimeTimer();
  // Resets the game display.
  void clearall();
  // The session is over: the clock stops where it stands.
  void stopClock() { turntime_.stop(); }
  // Seat 1 is offered the start of a game once it is logged in.
  void showStartButton(bool shown);

  // The user's side of a turn (moves.cpp). Clicks arrive as a board cell,
  // a bar slot or a word position; the mirror decides what is sent.
  void boardClick(int x, int y, Button button);
  void barClick(int slot, Button button);
  void wordClick(int position);
  void clickdone();
  void clickclear();
  void clearClick();
  void passClick();
  void buyClick();
  void shuffle();

 private:
  void changed(unsigned what) { view_.gameChanged(what); }
  void setStatus(std::string text);
  void systemLine(const std::string& text);
  void playsounds(const std::string& name);
  int ownSeat() const;
  const std::string& seatName(int seat) const;
  bool watchMessage();
  void showClock();
  void setTurnTime(int seconds);
  // Seats in handlers that use a seat's labels must be playing seats.
  bool labelledSeat(int seat, std::string_view handler);
  bool onBoard(int x, int y, std::string_view handler);
  void lowerBar();
  void dealTile(int slot, int code);
  void puttoletters(int slot);
  void puttoboard(int x, int y);
  void putBack(const std::string& cell);

  MirrorSession& session_;
  GameView& view_;
  Timer& turntime_;
  LogFn log_;
  GameTally* tally_ = nullptr;
  std::mt19937 rng_;
  GameState state_;
};

}  // namespace tw
