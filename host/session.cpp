// The host's session: connection slots and seats, login and roster, kicks,
// "just watch", the relays of chat, actions and sounds, and the message pump.
#include <algorithm>
#include <stdexcept>

#include "host/server.h"
#include "net/commands.h"
#include "net/dispatch.h"

namespace tw {

namespace {
const char* const kComputerNames[] = {"", "", "Klot", "Klock", "Kling", "Klick", "Krazy"};

// Receivers cut chat and action lines at the first '|' (the colour follows),
// so a name holding one would spoil every line of its player. A longer name
// is cut rather than refused: a client that knows no limit still gets in.
std::string cleanName(std::string_view text) {
  std::string name = cleanField(text.substr(0, TServer::kMaxNameBytes));
  for (char& c : name)
    if (c == '|') c = '!';
  return name;
}

// The text of a chat or action line cut to its limit, its colour (after the
// first '|') kept, so that the line still shows as its sender chose.
std::string capLine(std::string_view line, std::size_t most) {
  const std::size_t bar = line.find('|');
  const std::string_view text = line.substr(0, bar);
  const std::string_view colour = bar == std::string_view::npos ? std::string_view{} : line.substr(bar);
  return std::string(text.substr(0, most)) + std::string(colour.substr(0, TServer::kMaxColourBytes + 1));
}

std::string duration(int ms) {
  return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}
}  // namespace

const TServer::Route TServer::kRoutes[] = {
    {cmd::logininfo, Guard::OwnSeat, &TServer::receivedlogininfo},
    {cmd::kickhim, Guard::SeatOneOnly, &TServer::kickhim},
    {cmd::chat, Guard::OwnSeat, &TServer::chat},
    {cmd::action, Guard::OwnSeat, &TServer::action},
    {cmd::startgame, Guard::SeatOneOnly, &TServer::startgame},
    {cmd::justwatch, Guard::OwnSeatOrSeatOne, &TServer::justwatch},
    {cmd::iflip, Guard::OwnSeat, &TServer::iflip},
    {cmd::idone, Guard::OwnSeat, &TServer::idone},
    {cmd::useboardletter, Guard::OwnSeat, &TServer::useboardletter},
    {cmd::usebarletter, Guard::OwnSeat, &TServer::usebarletter},
    {cmd::hepass, Guard::OwnSeat, &TServer::hepass},
    {cmd::clickclear, Guard::OwnSeat, &TServer::clickclear},
    {cmd::clickbuy, Guard::OwnSeat, &TServer::clickbuy},
    {cmd::playasound, Guard::OwnSeat, &TServer::playasound},
    {cmd::rejoinkey, Guard::OwnSeat, &TServer::rejoinkey},
    {cmd::dirprobe, Guard::None, &TServer::dirprobe},
};

TServer::TServer(HostTransport& transport, HostTimers timers, LogFn log, HostRules rules)
    : transport_(transport),
      socktimer_(timers.socktimer),
      logintimer_(timers.logintimer),
      ratetimer_(timers.ratetimer),
      log_(log ? std::move(log) : LogFn(logLine)),
      rules_(std::move(rules)),
      dice_(rules_.seed),
      slots_(transport),
      view_(game_, slots_),
      computer_(game_, slots_, *this, dice_, rules_, timers.computertimer, log_),
      turns_(game_, slots_, view_, computer_, dice_, timers.timer1, log_),
      gate_(timers.bantimer) {
  for (int s = 2; s <= seatCount; ++s) game_.seats[s].computerName = kComputerNames[s];
}

Seat TServer::seat(int slot) const {
  if (slot < 0 || slot > kLastSlot) throw std::out_of_range("no slot " + std::to_string(slot));
  Seat seat;
  if (slot <= seatCount) static_cast<SeatGame&>(seat) = game_.seats[slot];
  if (const Connection* connection = slots_.at(slot)) {
    seat.name = connection->name;
    seat.connected = true;
    seat.justWatching = connection->justWatching;
  }
  return seat;
}

// ---- Connections -----------------------------------------------------------

TServer::Settle::~Settle() {
  if (--host_.depth_ != 0) return;
  host_.dropLagging();
  host_.noticeTable();
}

TableSummary TServer::table() const {
  TableSummary t;
  for (int s = 1; s <= seatCount; ++s)
    if (slots_.seated(s)) ++t.seatsTaken;
  for (int s = seatCount + 1; s <= kSlots; ++s)
    if (slots_.connected(s)) ++t.watchers;
  t.playing = game_.gameRunning;
  t.hostName = slots_.name(1);
  // The computer plays seat 2 when no one sits there, and the turns of anyone who just watches.
  bool computerPlays = !slots_.seated(2);
  for (int s = 1; s <= seatCount; ++s)
    if (slots_.justWatching(s) && (!game_.gameRunning || game_.seats[s].inGame)) computerPlays = true;
  if (computerPlays) t.computer = computerLevel(2);
  return t;
}

void TServer::noticeTable() {
  if (depth_ != 0) return;
  TableSummary now = table();
  if (now == lastTable_) return;
  lastTable_ = std::move(now);
  if (tableChanged_) tableChanged_();
}

void TServer::dropLagging() {
  ++depth_;
  // Each drop announces the departure to the others, which may find another.
  for (bool again = true; again;) {
    again = false;
    for (int slot = 1; slot <= kLastSlot; ++slot) {
      Connection* connection = slots_.at(slot);
      if (!connection || !connection->lagging) continue;
      connection->lagging = false;
      again = true;
      log_("seat " + std::to_string(slot) + ": more than " + std::to_string(kMaxUnsentBytes) +
           " bytes wait to be sent to it (it reads more slowly than the game sends); closing the connection");
      disconnectsock(slot);
    }
  }
  --depth_;
}

int TServer::Sock1Accept(std::string_view peer) {
  Settle settle(*this);
  int slot = 0;
  for (int s = 1; s <= slots_.slotCount(); ++s) {
    if (!slots_.seated(s)) {
      slot = s;
      break;
    }
  }
  if (slot == 0 && slots_.slotCount() < kSlots) slot = slots_.slotCount() + 1;
  // A griefer may fill the free slots, and a player's old connection may
  // linger unseen: while a game runs a newcomer waits to show that it is a
  // held seat's player or has a seat's key. It is told a held seat, else the
  // last seat, not seat 1, whose rights an older copy would show meanwhile.
  int heldSeat = 0;
  for (int s = 1; s <= seatCount && heldSeat == 0; ++s)
    if (slots_.held.held(s)) heldSeat = s;
  for (int w = kFirstWaitingSlot; w <= kLastSlot && slot == 0 && game_.gameRunning; ++w)
    if (!slots_.connected(w)) slot = w;
  if (slot == 0) {
    logRefusal("connection from " + std::string(peer) + " refused: all " + std::to_string(kSlots) +
               " seats are taken");
    return refuse();
  }
  if (!admitted(slot, peer)) return refuse();
  const bool waits = Slots::waiting(slot);
  if (!waits) slots_.counted(slot);
  transport_.take(slot);
  const int toldSeat = !waits ? slot : heldSeat != 0 ? heldSeat : seatCount;
  slots_.open(slot, Connection(++connections_, std::string(peer), toldSeat, kLoginChecks + 1, chatLimits_.burst));
  startLoginClock();
  log_("seat " + std::to_string(slot) + ": connected from " + std::string(peer) +
       (waits ? "; every slot is taken, so it waits to show a held seat's login or a seat's key" : ""));
  slots_.sendTo(slot, MessageBuilder(cmd::sendlogininfo).field(toldSeat).done());
  return slot;
}

void TServer::Sock1Read(int slot, std::string_view bytes) {
  Settle settle(*this);
  Connection* connection = slots_.at(slot);
  if (!connection) return;
  Inbox& inbox = connection->inbox;
  const std::size_t before = inbox.size();
  const Inbox::Fed fed = inbox.feed(bytes);
  queued_ += inbox.size() - before;

  if (fed == Inbox::Fed::TooManyMessages || fed == Inbox::Fed::TooManyBytes) {
    log_("seat " + std::to_string(slot) + ": more than " +
         (fed == Inbox::Fed::TooManyMessages ? std::to_string(kMaxQueuedMessages) + " messages"
                                             : std::to_string(kMaxQueuedBytes) + " bytes") +
         " waiting to be handled (it sends faster than the host handles); closing the connection");
    disconnectsock(slot);
    return;
  }
  if (fed == Inbox::Fed::TooLongMessage) {
    log_("seat " + std::to_string(slot) + ": unterminated message over " + std::to_string(kMaxPendingBytes) +
         " bytes; closing the connection");
    disconnectsock(slot);
    return;
  }
  // An idle pump wakes at once for the first message instead of a tick later.
  if (queued_ > 0 && !socktimer_.running()) socktimer_.start(0);
}

void TServer::tempsockInfo(int slot) {
  Settle settle(*this);
  if (!slots_.connected(slot)) return;
  if (Slots::waiting(slot)) {  // never announced, so nobody is told
    forget(slot);
    log_("seat " + std::to_string(slot) + ": disconnected");
    return;
  }
  const std::string message = MessageBuilder(cmd::playerdisconnected).field(slot).field(slots_.name(slot)).done();
  holdSeat(slot);
  forget(slot);
  slots_.broadcast(message);
  log_("seat " + std::to_string(slot) + ": disconnected");
  if (game_.gameRunning && slot == game_.currentSeat && slot != 1) turns_.findplayer();
}

void TServer::disconnectsock(int slot) {
  if (!slots_.connected(slot)) return;
  transport_.close(slot);
  tempsockInfo(slot);
}

void TServer::endSession() {
  Settle settle(*this);
  int closed = 0;
  for (int slot = 1; slot <= kLastSlot; ++slot) {
    if (!slots_.connected(slot)) continue;
    slots_.sendTo(slot, MessageBuilder(cmd::hostended).done(true));
    transport_.close(slot);
    forget(slot);
    ++closed;
  }
  game_.gameRunning = false;
  turns_.stop();
  computer_.stop();
  for (Timer* t : {&socktimer_, &logintimer_}) t->stop();
  if (closed > 0) log_("host ends: " + std::to_string(closed) + " connection(s) told and closed");
}

void TServer::forget(int slot) {
  if (const Connection* connection = slots_.at(slot)) queued_ -= connection->inbox.size();
  slots_.forget(slot);
}

void TServer::startLoginClock() {
  if (!logintimer_.running()) logintimer_.start(std::max(1, loginDeadlineMs_ / kLoginChecks));
}

// ---- The pump ------------------------------------------------------------------

void TServer::socktimerTimer() {
  Settle settle(*this);
  if (queued_ == 0) {
    socktimer_.stop();
    return;
  }
  if (socktimer_.interval() != kPumpMs) socktimer_.start(kPumpMs);
  for (int i = 1; i <= kLastSlot; ++i) {
    const int slot = (lastServed_ + i - 1) % kLastSlot + 1;
    Connection* connection = slots_.at(slot);
    if (!connection) continue;
    Inbox& inbox = connection->inbox;
    if (inbox.empty() || !mayHandle(slot, inbox.front())) continue;
    const std::string line = inbox.pop();
    --queued_;
    lastServed_ = slot;
    dispatch(slot, line);
    return;
  }
  // Only chat that waits for its allowance is left; the rate timer wakes the pump.
  socktimer_.stop();
}

void TServer::timer1Timer() {
  Settle settle(*this);
  turns_.timer1Timer();
}

void TServer::computertimerTimer() {
  Settle settle(*this);
  computer_.computertimerTimer();
}

void TServer::logintimerTimer() {
  Settle settle(*this);
  bool waiting = false;
  for (int slot = 1; slot <= kLastSlot; ++slot) {
    Connection* connection = slots_.at(slot);
    if (!connection || connection->loggedIn()) continue;
    if (--connection->loginChecksLeft > 0) {
      waiting = true;
      continue;
    }
    log_("seat " + std::to_string(slot) + ": no login within " + duration(loginDeadlineMs_) +
         "; closing the connection");
    disconnectsock(slot);
  }
  if (!waiting) logintimer_.stop();
}

bool TServer::allowed(const Route& route, int from, std::string_view body) {
  if (Slots::waiting(from)) {
    // Nothing but showing who it is, under the seat it was told.
    if (route.command != cmd::logininfo && route.command != cmd::rejoinkey) return false;
    FieldReader reader(body);
    return toIntOr(reader.next(), -1) == slots_.at(from)->toldSeat;
  }
  if (route.guard == Guard::None) return true;
  if (route.guard == Guard::SeatOneOnly) return from == 1;
  if (route.guard == Guard::OwnSeatOrSeatOne && from == 1) return true;
  FieldReader reader(body);
  return toIntOr(reader.next(), -1) == from;
}

void TServer::dispatch(int from, std::string_view line) {
  const std::string who = "seat " + std::to_string(from);
  dispatchLine(line, kRoutes, who, log_, [&](const Route& route, std::string_view text) {
    if (!allowed(route, from, text)) {
      log_(refusal(from, route.command, "not allowed from this seat"));
      return;
    }
    if (!route.handler) return;
    FieldReader body(text);
    (this->*route.handler)(from, body);
  });
}

// ---- Session handlers ------------------------------------------------------------

void TServer::receivedlogininfo(int from, FieldReader& body) {
  body.next();  // the sender's seat, checked before
  // A name typed again must not take another player's seat or rights.
  if (slots_.loggedIn(from)) {
    log_(refusal(from, cmd::logininfo, "already logged in"));
    return;
  }
  const int seat = from;
  const std::string version(body.next());
  Connection& connection = *slots_.at(seat);
  connection.name = cleanName(body.rest());
  connection.loginChecksLeft = 0;
  if (keptOutByName(seat)) return;
  noteSighting(seat);
  if (rejoin(seat)) return;
  const std::string name = connection.name;
  if (Slots::waiting(seat)) {
    log_("seat " + std::to_string(seat) + ": " + name + " holds no seat here and every slot is taken; " +
         "closing the connection");
    slots_.sendTo(seat, MessageBuilder(cmd::full).done(true));
    transport_.close(seat);
    forget(seat);
    return;
  }

  slots_.broadcast(MessageBuilder(cmd::newplayerinfo).field(seat).field(name).done());
  for (int i = 1; i <= slots_.slotCount(); ++i) {
    if (i == seat || !slots_.connected(i)) continue;
    slots_.sendTo(seat, MessageBuilder(cmd::existingplayers).field(i).field(slots_.name(i)).done());
  }
  if (version != kVersion) {
    slots_.sendTo(1, MessageBuilder(cmd::havewrongversion).field(name).done());
    slots_.sendTo(seat, MessageBuilder(cmd::wrongversion).done(true));
  }
  giveRejoinKey(seat);
  log_("seat " + std::to_string(seat) + ": logged in as " + name +
       (version != kVersion ? " (version " + version + ")" : std::string()));
  if (!game_.gameRunning) return;
  bringUpToDate(seat);
  // A newcomer to the seat on turn (a returning player, or a person taking
  // over the computer's seat) loses that turn.
  if (seat == game_.currentSeat) hepass(seat);
}

void TServer::bringUpToDate(int seat) {
  MessageBuilder stats(cmd::stats);
  stats.field(seat).field(game_.playToScore).field(game_.turnSeconds).field(game_.currentSeat).field(game_.countdown);
  stats.field(game_.gameMode).field(game_.fourPlayer);
  for (int s = 1; s <= seatCount; ++s) stats.field(s).field(game_.seats[s].score);
  slots_.sendTo(seat, stats.done());

  if (seat <= seatCount) {
    MessageBuilder tiles(cmd::mytiles);
    tiles.field(seat);
    bool any = false;
    for (int n = 1; n <= 7; ++n) {
      const int code = game_.seats[seat].letters[n].code;
      if (code == 0) continue;
      tiles.field(n).field(code);
      any = true;
    }
    if (any) slots_.sendTo(seat, tiles.done());
  }

  std::vector<CellRef> all;
  MessageBuilder flipped(cmd::isflipped);
  flipped.field(seat);
  bool anyFlipped = false;
  for (int x = 1; x <= kBoardWidth; ++x) {
    for (int y = 1; y <= kBoardHeight; ++y) {
      all.push_back(CellRef{x, y});
      if (game_.board[x][y].faceUp) {
        flipped.field(x).field(y);
        anyFlipped = true;
      }
    }
  }
  view_.sendBoard(seat, all, true);
  if (anyFlipped) slots_.sendTo(seat, flipped.done());
}

void TServer::kickhim(int from, FieldReader& body) {
  if (body.next() != "1") return;
  const int target = body.nextInt();
  if (target < 1 || target > kSlots || !slots_.connected(target)) return;
  log_("seat " + std::to_string(from) + " removes seat " + std::to_string(target));
  // Told why first, so that his copy says so and does not come back by itself.
  slots_.sendTo(target, MessageBuilder(cmd::kicked).done(true));
  kicked_ = target;
  keepOut(target);
  disconnectsock(target);
  kicked_ = 0;
}

void TServer::chat(int, FieldReader& body) {
  const std::string_view seat = body.next();
  const int s = toInt(seat);
  slots_.broadcast(MessageBuilder(cmd::chat)
                       .field(seat)
                       .last(slots_.name(s) + " chats: " + capLine(body.rest(), chatLimits_.lineBytes))
                .done());
}

void TServer::action(int, FieldReader& body) {
  const std::string_view seat = body.next();
  const int s = toInt(seat);
  slots_.broadcast(MessageBuilder(cmd::action)
                       .field(seat)
                       .last(slots_.name(s) + " " + capLine(body.rest(), chatLimits_.lineBytes))
                .done());
}

void TServer::playasound(int, FieldReader& body) {
  const std::string_view seat = body.next();
  slots_.broadcast(MessageBuilder(cmd::playasound).field(seat).last(body.rest().substr(0, kMaxNameBytes)).done());
}

void TServer::justwatch(int, FieldReader& body) {
  const int seat = body.nextInt();
  if (seat < 1 || seat > seatCount) return;
  const std::string_view flag = body.rest();
  Connection* connection = slots_.at(seat);
  if (flag == "2") {
    if (connection) connection->justWatching = false;
    slots_.broadcast(MessageBuilder(cmd::justwatching).field(seat).field("2").done());
  } else if (flag == "1" && connection && game_.gameRunning) {
    connection->justWatching = true;
    slots_.broadcast(MessageBuilder(cmd::justwatching).field(seat).field("1").done());
    if (seat == game_.currentSeat) turns_.findplayer();
  }
}

// A directory's reachability check: answered only before a login, and the
// connection let go before anyone is told of it, so it takes no seat.
void TServer::dirprobe(int from, FieldReader& body) {
  if (!slots_.name(from).empty()) return;
  slots_.sendTo(from, MessageBuilder(cmd::dirprobed).last(body.rest().substr(0, 64)).done());
  transport_.close(from);
  forget(from);
  log_("seat " + std::to_string(from) + ": answered a directory's reachability check");
}

}  // namespace tw
