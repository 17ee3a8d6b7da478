// TServer: the authoritative game host. Plain C++: it takes socket and timer
// events and answers with sends, closes and timer changes through the small
// interfaces below, so every rule runs the same under Qt and in tests.
#pragma once

#include <array>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "framing.h"
#include "log.h"
#include "timer.h"

namespace tw {

// What the host does to its connections.
class HostTransport {
 public:
  virtual ~HostTransport() = default;
  // The connection being accepted takes `slot` (kRefusedSlot when refused).
  virtual void take(int slot) = 0;
  // Writes a complete message to the connection in `slot`.
  virtual void send(int slot, const std::string& bytes) = 0;
  // Drops the connection in `slot` after what was sent to it has gone out.
  // The host has already forgotten the slot; no closed event is expected.
  virtual void close(int slot) = 0;
};

// The host's three timers: the message pump, the turn clock and the computer
// player's pacing.
struct HostTimers {
  Timer& socktimer;
  Timer& timer1;
  Timer& computertimer;
};

// One letter of a seat: entries 1..7 are the bar, 8..12 the cells the computer
// turned over this turn.
struct LetterEntry {
  int code = 0;
  bool used = false;
  std::string position;  // "0,n" for bar slot n, "x,y" for a board cell
};

struct Seat {
  std::string name;
  bool connected = false;
  int score = 0;
  bool justWatching = false;
  std::string computerName;
  std::array<LetterEntry, 13> letters{};  // 1..12; entry 0 is unused
  bool inGame = false;
};

struct BoardCell {
  int code = 0;
  bool faceUp = false;
  bool used = false;
};

class TServer {
 public:
  static constexpr int seatCount = 6;
  static constexpr int kSlots = 9;         // seats 1..6 and spectators 7..9
  static constexpr int kRefusedSlot = 10;  // takes a connection only to refuse it
  static constexpr int kBoardWidth = 10;
  static constexpr int kBoardHeight = 8;
  static constexpr int kPumpMs = 10;
  // Limits on what one connection may make the host hold.
  static constexpr std::size_t kMaxPendingBytes = 64 * 1024;
  static constexpr std::size_t kMaxQueuedMessages = 256;

  TServer(HostTransport& transport, HostTimers timers, LogFn log = logLine);

  // Socket events, called by the glue.
  // A connection is waiting: gives the slot it takes (kRefusedSlot when the
  // host is full, in which case the connection has been refused and closed).
  int Sock1Accept(std::string_view peer = {});
  // Bytes arrived on the connection in `slot`.
  void Sock1Read(int slot, std::string_view bytes);
  // The connection in `slot` closed (remote close or error).
  void tempsockInfo(int slot);

  // Timer ticks.
  void socktimerTimer();

  // Read access for the glue and tests.
  const Seat& seat(int slot) const { return seats_.at(slot); }
  int slotCount() const { return slotCount_; }
  std::size_t queuedMessages() const { return queued_; }
  int botSpeed() const { return botSpeed_; }
  void setBotSpeed(int ms) { botSpeed_ = ms; }

 private:
  // Who may send a command, checked before its handler runs.
  enum class Guard {
    None,             // no acting seat in the body
    OwnSeat,          // the first field is the sender's own seat
    OwnSeatOrSeatOne, // as OwnSeat, or any seat when seat 1 sends it
    SeatOneOnly,      // only seat 1's connection
  };
  using Handler = void (TServer::*)(int from, FieldReader& body);
  struct Route {
    std::string_view command;
    Guard guard;
    Handler handler;
  };
  static const Route kRoutes[];
  bool allowed(const Route& route, int from, std::string_view body);
  void dispatch(int from, std::string_view line);

  // Session handlers.
  void receivedlogininfo(int from, FieldReader& body);
  void kickhim(int from, FieldReader& body);
  void chat(int from, FieldReader& body);
  void action(int from, FieldReader& body);
  void justwatch(int from, FieldReader& body);
  void playasound(int from, FieldReader& body);
  void bringUpToDate(int seat);

  // Sending.
  void sendTo(int slot, const std::string& message);
  void broadcast(const std::string& message);
  void sendToAllBut(int slot, const std::string& message);
  void disconnectsock(int slot);
  void forget(int slot);

  HostTransport& transport_;
  Timer& socktimer_;
  Timer& timer1_;
  Timer& computertimer_;
  LogFn log_;

  std::array<Seat, kRefusedSlot + 1> seats_{};  // by slot; 0 unused
  int slotCount_ = 0;

  // Each connection's unfinished bytes and waiting messages; the pump serves
  // the connections in turn so that one cannot starve the others.
  struct Inbox {
    MessageSplitter splitter;
    std::deque<std::string> queue;
  };
  std::array<Inbox, kRefusedSlot + 1> inboxes_{};
  std::size_t queued_ = 0;
  int lastServed_ = 0;

  // Game state.
  bool gameRunning_ = false;
  int currentSeat_ = 0;
  int playToScore_ = 100;
  int turnSeconds_ = 60;
  int countdown_ = 0;
  int botCountdown_ = 0;
  int flipsThisTurn_ = 0;
  std::array<std::array<BoardCell, kBoardHeight + 1>, kBoardWidth + 1> board_{};  // [x][y], 1-based
  std::string botWord_;
  std::string gameMode_;
  std::string fourPlayer_;
  bool viewable_ = false;
  int sneakerSeat_ = 0;
  int botSpeed_ = 750;
};

}  // namespace tw
