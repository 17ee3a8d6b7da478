// TServer: the authoritative game host. Plain C++: it takes socket and timer
// events and answers with sends, closes and timer changes through small
// interfaces, so every rule runs the same under Qt and in tests. It keeps the
// connections in their slots, logs them in, dispatches their commands, sets
// up a game and judges the moves; what each seat is told of the board, the
// turns and the computer player are parts of their own that it drives.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/address_gate.h"
#include "host/board_view.h"
#include "host/computer_player.h"
#include "host/dice.h"
#include "host/game.h"
#include "host/host_rules.h"
#include "host/host_transport.h"
#include "host/refusal.h"
#include "host/slots.h"
#include "host/turn_engine.h"
#include "net/framing.h"
#include "net/log.h"
#include "net/timer.h"
#include "rules/game_rules.h"

namespace tw {

// The host's timers: the message pump, the turn clock, the computer player's
// pacing, the deadline of connections that have not logged in, the end of
// the bans on removed players' addresses, and the pace of chat lines and of
// the log lines of refused connections.
struct HostTimers {
  Timer& socktimer;
  Timer& timer1;
  Timer& computertimer;
  Timer& logintimer;
  Timer& bantimer;
  Timer& ratetimer;
};

namespace test {
struct HostProbe;
}

// A slot as the glue and tests read it: who is connected there, and his
// seat's part of the game (left empty for a spectator's or a waiting slot).
struct Seat : SeatGame {
  std::string name;
  bool connected = false;
  bool justWatching = false;
};

// Who sits at the table and whether a game runs: what a host shows to people
// looking for a game.
struct TableSummary {
  int seatsTaken = 0;   // seats 1..6 connected or kept for a dropped player
  int watchers = 0;     // spectator slots connected
  bool playing = false;
  std::string hostName;  // seat 1's player; empty before one logs in
  std::optional<ComputerLevel> computer;  // the level, when the computer plays a seat
  bool operator==(const TableSummary&) const = default;
};

class TServer : private PlayerMoves {
 public:
  static constexpr int seatCount = rules::kSeatCount;
  static constexpr int kSlots = Slots::kSlots;             // seats 1..6 and spectators 7..9
  static constexpr int kRefusedSlot = Slots::kRefused;     // takes a connection only to refuse it
  // When every slot is taken while a game runs, a connection waits in one of
  // these until its login shows whether it is a held seat's player or shows
  // the key of a seat (whose old connection it then replaces); they are never
  // told of the game, and anyone else is told the host is full.
  static constexpr int kFirstWaitingSlot = Slots::kFirstWaiting;
  static constexpr int kLastSlot = Slots::kLast;
  // The length of the key that lets a player back into his seat.
  static constexpr std::size_t kRejoinKeyLength = 32;
  static constexpr int kBoardWidth = rules::kBoardWidth;
  static constexpr int kBoardHeight = rules::kBoardHeight;
  static constexpr int kPumpMs = 10;
  // Limits on what one connection may make the host hold.
  static constexpr std::size_t kMaxPendingBytes = Connection::kMaxPendingBytes;
  static constexpr std::size_t kMaxQueuedMessages = Connection::kMaxQueuedMessages;
  static constexpr std::size_t kMaxQueuedBytes = Connection::kMaxQueuedBytes;
  // A peer that stops reading is dropped once this much waits to go to it.
  static constexpr std::size_t kMaxUnsentBytes = Slots::kMaxUnsentBytes;
  // A connection that has not logged in this long after it was accepted is
  // closed, at most a tenth of the deadline later: it is checked ten times.
  static constexpr int kLoginDeadlineMs = 30000;
  static constexpr int kLoginChecks = 10;
  // Every seat's lines reach all nine connections: a name is cut to
  // kMaxNameBytes, the text of a chat or action line to kMaxChatBytes (its
  // colour kept), and each connection's chat, actions and sounds go out
  // kChatBurst at once, then one every kChatRefillMs; the ones beyond wait
  // in its queue. A refused connection is one log line, the ones after it a
  // count every kRefusalQuietMs.
  static constexpr std::size_t kMaxNameBytes = 32;
  static constexpr std::size_t kMaxChatBytes = 512;
  static constexpr std::size_t kMaxColourBytes = 32;
  static constexpr int kChatBurst = 5;
  static constexpr int kChatRefillMs = 500;
  static constexpr int kRefusalQuietMs = 10000;

  static constexpr int kBarSize = rules::kBarSize;
  static constexpr int kMaxFlips = rules::kMaxFlips;
  static constexpr int kWordPositions = rules::kWordPositions;
  static constexpr int kBuyPrice = rules::kBuyPrice;
  static constexpr int kTurnTickMs = TurnEngine::kTurnTickMs;

  TServer(HostTransport& transport, HostTimers timers, LogFn log = logLine, HostRules rules = {});

  // Socket events, called by the glue.
  // A connection is waiting: gives the slot it takes (kRefusedSlot when the
  // host is full or keeps its address out, in which case the connection has
  // been refused and closed).
  int Sock1Accept(std::string_view peer = {});
  // Bytes arrived on the connection in `slot`.
  void Sock1Read(int slot, std::string_view bytes);
  // The connection in `slot` closed (remote close or error).
  void tempsockInfo(int slot);
  // The host stops: every connection is told so and closed.
  void endSession();

  // Timer ticks.
  void socktimerTimer();
  void timer1Timer();
  void computertimerTimer();
  void logintimerTimer();
  void bantimerTimer();
  void ratetimerTimer();

  // The letter supply and values.
  int getletter() { return dice_.getletter(); }
  static int letterworth(int code) { return rules::letterValue(code); }
  // The lower-case letter of a tile code; no letter for any other code.
  static std::string converttoletter(int code) { return tw::converttoletter(code); }

  // Read access for the glue and tests.
  Seat seat(int slot) const;
  int slotCount() const { return slots_.slotCount(); }
  std::size_t queuedMessages() const { return queued_; }
  int botSpeed() const { return computer_.botSpeed(); }
  void setBotSpeed(int ms) { computer_.setBotSpeed(ms); }
  // An open board tells every seat every letter, as hosts did before the
  // board was made fair. A change holds from the next game on.
  bool openBoard() const { return view_.openNext(); }
  void setOpenBoard(bool open) { view_.setOpenNext(open); }
  ComputerLevel computerLevel(int seat = 2) const { return computer_.level(seat); }
  // For every seat the computer plays.
  void setComputerLevel(ComputerLevel level) {
    computer_.setLevel(level);
    noticeTable();
  }
  // For one seat: the strength harness pits two levels against each other.
  void setComputerLevel(int seat, ComputerLevel level) {
    computer_.setLevel(seat, level);
    noticeTable();
  }
  // The chat limits; a test that needs volume on the wire raises them.
  struct ChatLimits {
    std::size_t lineBytes = kMaxChatBytes;
    int burst = kChatBurst;
  };
  const ChatLimits& chatLimits() const { return chatLimits_; }
  void setChatLimits(const ChatLimits& limits) { chatLimits_ = limits; }
  int loginDeadline() const { return loginDeadlineMs_; }
  // Applies to connections accepted from now on.
  void setLoginDeadline(int ms) { loginDeadlineMs_ = ms > 0 ? ms : kLoginDeadlineMs; }
  bool gameRunning() const { return game_.gameRunning; }
  int currentSeat() const { return game_.currentSeat; }
  TurnPhase phase() const { return game_.phase; }
  int countdown() const { return game_.countdown; }
  BotStep botStep() const { return computer_.botStep(); }
  int botCountdown() const { return computer_.botCountdown(); }
  // The word the computer lays out this turn, in word order; empty before it has one.
  const std::vector<CellRef>& botWord() const { return computer_.botWord(); }
  int flipsThisTurn() const { return game_.flipsThisTurn; }
  int sneakerSeat() const { return game_.sneakerSeat; }
  int playToScore() const { return game_.playToScore; }
  int turnSeconds() const { return game_.turnSeconds; }
  const std::string& gameMode() const { return game_.gameMode; }
  const BoardCell& cell(int x, int y) const { return game_.board.at(x).at(y); }
  // A refused command is logged as "seat N: CMD_x refused: why".
  static std::string refusal(int seat, std::string_view command, std::string_view reason) {
    return tw::refusal(seat, command, reason);
  }
  // True for the line of a refused word, whether a player's or the computer's.
  static bool refusesWord(std::string_view line) { return tw::refusesWord(line); }
  // True while a playing seat waits for its dropped player to come back.
  bool held(int seat) const { return slots_.held.held(seat); }

  // Limits on connections by address; seat 1 is never held to them.
  const AddressLimits& addressLimits() const { return gate_.limits(); }
  void setAddressLimits(const AddressLimits& limits) { gate_.setLimits(limits); }
  // The addresses of removed players that are kept out, and letting one back.
  const std::vector<AddressGate::Ban>& bans() const { return gate_.bans(); }
  bool letBackIn(std::string_view address);
  // Called whenever a ban is added, lifted or runs out.
  void setBansChanged(std::function<void()> changed) { bansChanged_ = std::move(changed); }

  TableSummary table() const;
  // Called after an event that changed table(), once the event is handled.
  void setTableChanged(std::function<void()> changed) { tableChanged_ = std::move(changed); }

 private:
  // Who may send a command, checked before its handler runs.
  enum class Guard {
    None,              // no acting seat in the body
    OwnSeat,           // the first field is the sender's own seat
    OwnSeatOrSeatOne,  // as OwnSeat, or any seat when seat 1 sends it
    SeatOneOnly,       // only seat 1's connection
  };
  using Handler = void (TServer::*)(int from, FieldReader& body);
  struct Route {
    std::string_view command;
    Guard guard;
    Handler handler;
  };
  static const Route kRoutes[];
  bool allowed(const Route& route, int from, std::string_view body);
  // Held by every event from outside. When the outermost one ends, the
  // connections that fell too far behind are dropped: a seat never vanishes
  // half-way through a handler or a broadcast.
  class Settle {
   public:
    explicit Settle(TServer& host) : host_(host) { ++host_.depth_; }
    ~Settle();
    Settle(const Settle&) = delete;
    Settle& operator=(const Settle&) = delete;

   private:
    TServer& host_;
  };
  void dropLagging();
  void noticeTable();
  void dispatch(int from, std::string_view line);

  // Session handlers.
  void receivedlogininfo(int from, FieldReader& body);
  void rejoinkey(int from, FieldReader& body);
  void kickhim(int from, FieldReader& body);
  void chat(int from, FieldReader& body);
  void action(int from, FieldReader& body);
  void justwatch(int from, FieldReader& body);
  void playasound(int from, FieldReader& body);
  void dirprobe(int from, FieldReader& body);
  void bringUpToDate(int seat);

  // Rejoining a running game (rejoin.cpp).
  void holdSeat(int slot);
  bool rejoin(int slot);
  void giveRejoinKey(int slot);
  void moveConnection(int from, int to);

  // Game setup (setup.cpp).
  void startgame(int from, FieldReader& body);
  void makeboard();
  void dealtiles();

  // Moves and scoring (moves.cpp). Each command has a message form, which
  // reads the body, and a form taking the values read, which the computer
  // player and the host's own passes call too.
  void relayMove(int seat, const std::string& message);
  void iflip(int from, FieldReader& body);
  void iflip(int seat, int x, int y) override;
  void usebarletter(int from, FieldReader& body);
  void usebarletter(int seat, int slot, int wordpos) override;
  void useboardletter(int from, FieldReader& body);
  void useboardletter(int seat, int x, int y, int wordpos) override;
  void clickclear(int from, FieldReader& body);
  void clickclear(int seat, std::string_view rest);
  void clickbuy(int from, FieldReader& body);
  void clickbuy(int seat) override;
  void hepass(int from, FieldReader& body);
  void hepass(int seat) override;
  void idone(int from, FieldReader& body);
  void idone(int seat, const std::vector<CellRef>& word) override;
  // The letters a submitted word takes, in word order; each is marked used as
  // it is taken, and the first bad or empty reference ends the taking.
  struct TakenWord {
    std::string letters;
    std::vector<int> codes;
    rules::WordMakeup makeup;
    bool emptyPosition = false;  // the word is given up as a pass
    std::string refused;         // why the first bad reference is refused; empty when none is
  };
  TakenWord takeLetters(int seat, const std::vector<CellRef>& word);
  void flipthemover(int seat);
  static std::vector<CellRef> readWord(FieldReader& refs);

  // Paces relayed lines and refusal log lines (rate_limits.cpp).
  bool mayHandle(int slot, std::string_view line);
  void logRefusal(const std::string& line);

  // Connections.
  void disconnectsock(int slot);
  // Drops all the host keeps of the connection in `slot`, its waiting messages too.
  void forget(int slot);
  void startLoginClock();
  int refuse();
  bool admitted(int slot, std::string_view peer);
  void keepOut(int slot);
  // A login under the name of a player kept out: refused, and its address kept out too.
  bool keptOutByName(int slot);
  void noteSighting(int slot);

  HostTransport& transport_;
  Timer& socktimer_;
  Timer& logintimer_;
  Timer& ratetimer_;
  LogFn log_;
  HostRules rules_;
  Dice dice_;

  Game game_;
  Slots slots_;
  BoardView view_;
  ComputerPlayer computer_;
  TurnEngine turns_;

  std::uint64_t connections_ = 0;  // the last connection's number
  int kicked_ = 0;
  AddressGate gate_;
  // The last logins' names and addresses: a removed player is kept out at
  // every address he was seen at, of either family.
  static constexpr std::size_t kSightings = 64;
  std::vector<std::pair<std::string, std::string>> sightings_;
  std::function<void()> bansChanged_;
  std::function<void()> tableChanged_;
  TableSummary lastTable_;

  // The messages waiting in every connection's inbox; the pump serves the
  // connections in turn so that one cannot starve the others.
  std::size_t queued_ = 0;
  int lastServed_ = 0;

  int loginDeadlineMs_ = kLoginDeadlineMs;
  ChatLimits chatLimits_;
  int depth_ = 0;
  // The refusals not logged yet, and the time left until they are counted in one line.
  int refusalsUntold_ = 0;
  int refusalQuietMs_ = 0;

  friend struct test::HostProbe;
};

}  // namespace tw
