// TServer: the authoritative game host. Plain C++: it takes socket and timer
// events and answers with sends, closes and timer changes through the small
// interfaces below, so every rule runs the same under Qt and in tests.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "computer_engine.h"
#include "address_gate.h"
#include "framing.h"
#include "game_rules.h"
#include "held_seats.h"
#include "inbox.h"
#include "log.h"
#include "timer.h"
#include "word_finder_job.h"

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
  // The connection in slot `from` now sits in slot `to`, which is free.
  // A transport that keeps nothing by slot has nothing to do.
  virtual void move(int /*from*/, int /*to*/) {}
  // Bytes written to the connection in `slot` that it has not taken yet.
  virtual std::size_t unsent(int /*slot*/) const { return 0; }
};

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

// What the host needs to judge words and to play for empty seats. The program
// supplies the real word list; tests supply a few words and a fixed seed.
struct HostRules {
  // True when the lower-case word is a word. When unset every word is rejected.
  std::function<bool(const std::string&)> checkWord;
  // The computer player's vocabulary, sorted, lower case, 1 to 7 letters.
  std::vector<std::string> computerWords;
  // A fixed seed for the host's one random generator (tests); unset, its whole
  // state comes from the system's random source.
  std::optional<std::uint32_t> seed;
  // The word list as the levels above Beginner search it; without it they play as Beginner.
  std::shared_ptr<const WordFinder> finder;
  // Without a finder: how to build one (a player's own list), done on a
  // worker thread when a game first has a level that searches.
  std::function<WordFinder()> buildFinder;
  // The smallest word-list size holding a lower-case word, 0 when none does;
  // unset, every level knows every word.
  WordFinder::ListSize listSize = nullptr;
  // How each level plays.
  LevelSkills skills = standardSkills();
};

namespace test {
struct HostProbe;
}

// One letter of a seat: entries 1..7 are the bar, 8..12 the cells the computer
// turned over this turn.
struct LetterEntry {
  int code = 0;
  bool used = false;
  CellRef position;  // 0,n for bar slot n, x,y for a board cell
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

struct BoardCell {
  int code = 0;
  bool faceUp = false;
  bool used = false;
  bool seen = false;  // turned up in view of everyone since it was laid
};

class TServer {
 public:
  static constexpr int seatCount = rules::kSeatCount;
  static constexpr int kSlots = rules::kSlotCount;  // seats 1..6 and spectators 7..9
  static constexpr int kRefusedSlot = 10;           // takes a connection only to refuse it
  // When every slot is taken while a game runs, a connection waits in one of
  // these until its login shows whether it is a held seat's player or shows
  // the key of a seat (whose old connection it then replaces); they are never
  // told of the game, and anyone else is told the host is full.
  static constexpr int kFirstWaitingSlot = kRefusedSlot + 1;
  static constexpr int kLastSlot = kRefusedSlot + rules::kSeatCount;
  // The length of the key that lets a player back into his seat.
  static constexpr std::size_t kRejoinKeyLength = 32;
  static constexpr int kBoardWidth = rules::kBoardWidth;
  static constexpr int kBoardHeight = rules::kBoardHeight;
  static constexpr int kPumpMs = 10;
  // Limits on what one connection may make the host hold.
  static constexpr std::size_t kMaxPendingBytes = 64 * 1024;
  static constexpr std::size_t kMaxQueuedMessages = 256;
  static constexpr std::size_t kMaxQueuedBytes = 256 * 1024;
  // A peer that stops reading is dropped once this much waits to go to it.
  static constexpr std::size_t kMaxUnsentBytes = 4 * 1024 * 1024;
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
  static constexpr int kTurnTickMs = 1000;
  // Turn phases, kept as the tag of timer1.
  static constexpr int kPhasePause = 1;      // after a word, a pass or time up
  static constexpr int kPhaseTurn = 2;       // a turn runs; moves are accepted
  static constexpr int kPhaseEmptyDone = 3;  // after an empty Done
  static constexpr int kPhaseSneak = 4;      // a look at the board before a turn
  // Computer player steps, kept as the tag of computertimer.
  static constexpr int kBotFlip = 1;
  static constexpr int kBotWord = 2;
  static constexpr int kBotSubmit = 3;

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
  int getletter();
  static int letterworth(int code);
  // The lower-case letter of a tile code; no letter for any other code.
  static std::string converttoletter(int code);

  // Read access for the glue and tests.
  const Seat& seat(int slot) const { return seats_.at(slot); }
  int slotCount() const { return slotCount_; }
  std::size_t queuedMessages() const { return queued_; }
  int botSpeed() const { return botSpeed_; }
  void setBotSpeed(int ms) { botSpeed_ = ms; }
  // An open board tells every seat every letter, as hosts did before the
  // board was made fair. A change holds from the next game on: letters kept
  // back in this one would not reach the players with their flips.
  bool openBoard() const { return openBoardNext_; }
  void setOpenBoard(bool open) { openBoardNext_ = open; }
  ComputerLevel computerLevel(int seat = 2) const { return levels_.at(std::size_t(seat)); }
  // For every seat the computer plays.
  void setComputerLevel(ComputerLevel level) {
    levels_.fill(level);
    noticeTable();
  }
  // For one seat: the strength harness pits two levels against each other.
  void setComputerLevel(int seat, ComputerLevel level) {
    levels_.at(std::size_t(seat)) = level;
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
  bool gameRunning() const { return gameRunning_; }
  int currentSeat() const { return currentSeat_; }
  int phase() const { return phase_; }
  int countdown() const { return countdown_; }
  int botStep() const { return botStep_; }
  int botCountdown() const { return botCountdown_; }
  // The word the computer lays out this turn, in word order; empty before it has one.
  const std::vector<CellRef>& botWord() const { return botWord_; }
  int flipsThisTurn() const { return flipsThisTurn_; }
  int sneakerSeat() const { return sneakerSeat_; }
  int playToScore() const { return playToScore_; }
  int turnSeconds() const { return turnSeconds_; }
  const std::string& gameMode() const { return gameMode_; }
  const BoardCell& cell(int x, int y) const { return board_.at(x).at(y); }
  // A refused command is logged as "seat N: CMD_x refused: why", one form for
  // every command, so that a reader can count refusals without their reasons.
  static std::string refusal(int seat, std::string_view command, std::string_view reason);
  // True for the line of a refused word, whether a player's or the computer's.
  static bool refusesWord(std::string_view line);
  // True while a playing seat waits for its dropped player to come back.
  bool held(int seat) const { return held_.held(seat); }

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
  bool seated(int seat) const;
  bool loggedIn(int slot) const;
  static bool waiting(int slot) { return slot >= kFirstWaitingSlot && slot <= kLastSlot; }
  void holdSeat(int slot);
  bool rejoin(int slot);
  void giveRejoinKey(int slot);
  void moveConnection(int from, int to);

  // Game setup (setup.cpp).
  void startgame(int from, FieldReader& body);
  void makeboard();
  void dealtiles();

  // Turn engine (turns.cpp).
  void enterPhase(int phase, int ticks);
  void findplayer();
  void flipthem();
  void chooseSneaker();
  void finishfindplayer();
  void timeup();
  int checkforwin();
  bool countsForWin(int seat) const;

  // Moves and scoring (moves.cpp). Each command has a message form, which
  // reads the body, and a form taking the values read, which the computer
  // player and the host's own passes call too.
  bool onTurn(int seat) const;
  void relayMove(int seat, const std::string& message);
  void iflip(int from, FieldReader& body);
  void iflip(int seat, int x, int y);
  void usebarletter(int from, FieldReader& body);
  void usebarletter(int seat, int slot, int wordpos);
  void useboardletter(int from, FieldReader& body);
  void useboardletter(int seat, int x, int y, int wordpos);
  void clickclear(int from, FieldReader& body);
  void clickclear(int seat, std::string_view rest);
  void clickbuy(int from, FieldReader& body);
  void clickbuy(int seat);
  void hepass(int from, FieldReader& body);
  void hepass(int seat);
  void idone(int from, FieldReader& body);
  void idone(int seat, const std::vector<CellRef>& word);
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

  // Computer player (computer.cpp).
  bool playedByComputer(int seat) const;
  void armBot(int step, int ticks);
  void computerplay(int seat);
  void computerword(int seat);
  void computerdone(int seat);
  void layOutBotWord(int seat);

  // The levels above Beginner (computer_levels.cpp).
  void rememberTurn();
  bool peeksThisTurn(int seat) const;
  SeatView seatView(int seat) const;
  WordFinder::Part searchPart() const;
  const LevelSkill& skillOf(ComputerLevel level) const;
  void announceLevel(int seat);
  void skilledplay(int seat);
  void skilledword(int seat);
  void prepareSearch();
  bool waitsForSearch(int seat);

  // What each seat is told of the board (board_view.cpp).
  bool looks(int seat) const;
  int toldCode(int seat, int x, int y) const;
  // A catch-up tells only what everyone has been told.
  void sendBoard(int slot, const std::vector<CellRef>& cells, bool catchUp = false);
  void broadcastBoard(const std::vector<CellRef>& cells);
  void revealFlip(int x, int y);
  void giveLook(int seat);

  // Paces relayed lines and refusal log lines (rate_limits.cpp).
  bool mayHandle(int slot, std::string_view line);
  void logRefusal(const std::string& line);

  // A uniform draw from 0..n-1.
  int randomBelow(int n);

  // Sending.
  void sendTo(int slot, const std::string& message);
  void broadcast(const std::string& message);
  void sendToAllBut(int slot, const std::string& message);
  void disconnectsock(int slot);
  void forget(int slot);
  int refuse();
  bool admitted(int slot, std::string_view peer);
  void keepOut(int slot);
  // A login under the name of a player kept out: refused, and its address kept out too.
  bool keptOutByName(int slot);
  void noteSighting(int slot);

  HostTransport& transport_;
  Timer& socktimer_;
  Timer& timer1_;
  Timer& computertimer_;
  Timer& logintimer_;
  Timer& ratetimer_;
  LogFn log_;
  HostRules rules_;
  std::mt19937 rng_;

  std::array<Seat, kLastSlot + 1> seats_{};  // by slot; 0 unused
  int slotCount_ = 0;
  // The peer's address of each connection, and the seats kept for dropped
  // players; a kicked player's seat is not kept.
  std::array<std::string, kLastSlot + 1> peers_{};
  // Each connection's number, new at every accept and move, so that what was
  // given to one connection is not given to the next in its slot.
  std::array<std::uint64_t, kLastSlot + 1> connection_{};
  std::uint64_t connections_ = 0;
  // The rejoin key given to each logged-in connection, the one a connection
  // showed before its login, and the seat a waiting connection was told.
  std::array<std::string, kLastSlot + 1> keys_{};
  std::array<std::string, kLastSlot + 1> shownKeys_{};
  std::array<int, kLastSlot + 1> toldSeat_{};
  HeldSeats held_;
  int kicked_ = 0;
  AddressGate gate_;
  // The last logins' names and addresses: a removed player is kept out at
  // every address he was seen at, of either family.
  static constexpr std::size_t kSightings = 64;
  std::vector<std::pair<std::string, std::string>> sightings_;
  std::function<void()> bansChanged_;
  std::function<void()> tableChanged_;
  TableSummary lastTable_;

  // Each connection's unfinished bytes and waiting messages; the pump serves
  // the connections in turn so that one cannot starve the others.
  struct Inbox : tw::Inbox {
    Inbox() : tw::Inbox({kMaxQueuedMessages, kMaxQueuedBytes, kMaxPendingBytes}, Overflow::Report) {}
  };
  std::array<Inbox, kLastSlot + 1> inboxes_{};
  std::size_t queued_ = 0;
  int lastServed_ = 0;

  // Per slot: checks of the login deadline left (0 once logged in), and
  // whether the peer has fallen too far behind in reading.
  std::array<int, kLastSlot + 1> loginChecksLeft_{};
  std::array<bool, kLastSlot + 1> lagging_{};
  int loginDeadlineMs_ = kLoginDeadlineMs;
  ChatLimits chatLimits_;
  int depth_ = 0;
  // Per slot: relayed lines it may send now, and whether its waiting ones
  // have been logged; the refusals not logged yet, and the time left until
  // they are counted in one line.
  std::array<int, kLastSlot + 1> chatTokens_{};
  std::array<bool, kLastSlot + 1> chatHeld_{};
  int refusalsUntold_ = 0;
  int refusalQuietMs_ = 0;

  // Game state.
  bool gameRunning_ = false;
  int phase_ = 0;
  int botStep_ = 0;
  int currentSeat_ = 0;
  int playToScore_ = 100;
  int turnSeconds_ = 60;
  int countdown_ = 0;
  int botCountdown_ = 0;
  int flipsThisTurn_ = 0;
  std::array<std::array<BoardCell, kBoardHeight + 1>, kBoardWidth + 1> board_{};  // [x][y], 1-based
  std::vector<CellRef> botWord_;
  std::string gameMode_;
  std::string fourPlayer_;
  bool viewable_ = false;
  int sneakerSeat_ = 0;
  int lookSeat_ = 0;        // the seat that looks at the whole board this turn; 0 none
  std::uint64_t lookConnection_ = 0;  // the connection that looks in it; 0 none
  bool openBoard_ = false;  // this game's
  bool openBoardNext_ = false;
  int botSpeed_ = rules::kBotNormalMs;
  // Indexes of the computer's words it may choose: at least 4 letters, not
  // among the last ten.
  std::size_t botChoices_ = 0;
  std::array<ComputerLevel, seatCount + 1> levels_{};
  ComputerLevel botLevel_ = ComputerLevel::Beginner;  // the level playing this turn
  // What each seat remembers of the board: the code of a cell seen face up
  // since it was last replaced, 0 for none.
  std::array<std::array<std::array<std::uint8_t, kBoardHeight + 1>, kBoardWidth + 1>, seatCount + 1>
      memory_{};
  // The level each seat's players were last told of in this game.
  std::array<std::optional<ComputerLevel>, seatCount + 1> announced_{};
  std::uint32_t botSalt_ = 0;  // picks the part of the list a Club search sees this turn
  WordFinderJob finderJob_;

  friend struct test::HostProbe;
};

}  // namespace tw
