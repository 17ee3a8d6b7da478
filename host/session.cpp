// The host's session: connection slots and seats, login and roster, kicks,
// "just watch", the relays of chat, actions and sounds, and the message pump.
#include <algorithm>

#include "commands.h"
#include "dispatch.h"
#include "server.h"
#include "system_seed.h"

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
      timer1_(timers.timer1),
      computertimer_(timers.computertimer),
      logintimer_(timers.logintimer),
      ratetimer_(timers.ratetimer),
      log_(log ? std::move(log) : LogFn(logLine)),
      rules_(std::move(rules)),
      gate_(timers.bantimer) {
  if (rules_.seed)
    rng_.seed(*rules_.seed);
  else
    seedFromSystem(rng_);
  for (int s = 2; s <= seatCount; ++s) seats_[s].computerName = kComputerNames[s];
  const auto& words = rules_.computerWords;
  for (std::size_t i = 0; i + 10 < words.size(); ++i)
    if (words[i].size() >= 4 && words[i].size() <= 7) ++botChoices_;
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
    if (seated(s)) ++t.seatsTaken;
  for (int s = seatCount + 1; s <= kSlots; ++s)
    if (seats_[s].connected) ++t.watchers;
  t.playing = gameRunning_;
  t.hostName = seats_[1].name;
  // The computer plays seat 2 when no one sits there, and the turns of anyone who just watches.
  bool computerPlays = !seated(2);
  for (int s = 1; s <= seatCount; ++s)
    if (seats_[s].connected && seats_[s].justWatching && (!gameRunning_ || seats_[s].inGame)) computerPlays = true;
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
      if (!lagging_[slot]) continue;
      lagging_[slot] = false;
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
  for (int s = 1; s <= slotCount_; ++s) {
    if (!seats_[s].connected && !held_.held(s)) {
      slot = s;
      break;
    }
  }
  if (slot == 0 && slotCount_ < kSlots) slot = slotCount_ + 1;
  // A griefer may fill the free slots, and a player's old connection may
  // linger unseen: while a game runs a newcomer waits to show that it is a
  // held seat's player or has a seat's key. It is told a held seat, else the
  // last seat, not seat 1, whose rights an older copy would show meanwhile.
  int heldSeat = 0;
  for (int s = 1; s <= seatCount && heldSeat == 0; ++s)
    if (held_.held(s)) heldSeat = s;
  for (int w = kFirstWaitingSlot; w <= kLastSlot && slot == 0 && gameRunning_; ++w)
    if (!seats_[w].connected) slot = w;
  if (slot == 0) {
    logRefusal("connection from " + std::string(peer) + " refused: all " + std::to_string(kSlots) +
               " seats are taken");
    return refuse();
  }
  if (!admitted(slot, peer)) return refuse();
  if (!waiting(slot)) slotCount_ = std::max(slotCount_, slot);
  transport_.take(slot);
  seats_[slot].connected = true;
  peers_[slot] = std::string(peer);
  connection_[slot] = ++connections_;
  toldSeat_[slot] = !waiting(slot) ? slot : heldSeat != 0 ? heldSeat : seatCount;
  inboxes_[slot] = Inbox{};
  lagging_[slot] = false;
  chatTokens_[slot] = chatLimits_.burst;
  chatHeld_[slot] = false;
  loginChecksLeft_[slot] = kLoginChecks + 1;
  if (!logintimer_.running()) logintimer_.start(std::max(1, loginDeadlineMs_ / kLoginChecks));
  log_("seat " + std::to_string(slot) + ": connected from " + std::string(peer) +
       (waiting(slot) ? "; every slot is taken, so it waits to show a held seat's login or a seat's key"
                      : ""));
  sendTo(slot, MessageBuilder(cmd::sendlogininfo).field(toldSeat_[slot]).done());
  return slot;
}

void TServer::Sock1Read(int slot, std::string_view bytes) {
  Settle settle(*this);
  if (slot < 1 || slot > kLastSlot || !seats_[slot].connected) return;
  Inbox& inbox = inboxes_[slot];
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
  if (slot < 1 || slot > kLastSlot || !seats_[slot].connected) return;
  if (waiting(slot)) {  // never announced, so nobody is told
    forget(slot);
    log_("seat " + std::to_string(slot) + ": disconnected");
    return;
  }
  const std::string name = seats_[slot].name;
  const std::string message = MessageBuilder(cmd::playerdisconnected).field(slot).field(name).done();
  holdSeat(slot);
  forget(slot);
  broadcast(message);
  log_("seat " + std::to_string(slot) + ": disconnected");
  if (gameRunning_ && slot == currentSeat_ && slot != 1) findplayer();
}

void TServer::disconnectsock(int slot) {
  if (slot < 1 || slot > kLastSlot || !seats_[slot].connected) return;
  transport_.close(slot);
  tempsockInfo(slot);
}

void TServer::endSession() {
  Settle settle(*this);
  int closed = 0;
  for (int slot = 1; slot <= kLastSlot; ++slot) {
    if (!seats_[slot].connected) continue;
    sendTo(slot, MessageBuilder(cmd::hostended).done(true));
    transport_.close(slot);
    forget(slot);
    ++closed;
  }
  gameRunning_ = false;
  for (Timer* t : {&socktimer_, &timer1_, &computertimer_, &logintimer_}) t->stop();
  if (closed > 0) log_("host ends: " + std::to_string(closed) + " connection(s) told and closed");
}

void TServer::forget(int slot) {
  Seat& seat = seats_[slot];
  seat.connected = false;
  seat.name.clear();
  seat.justWatching = false;
  // Whoever comes next to this slot is told what the others were told.
  if (lookSeat_ == slot) lookSeat_ = 0;
  connection_[slot] = 0;
  keys_[slot].clear();
  shownKeys_[slot].clear();
  toldSeat_[slot] = 0;
  loginChecksLeft_[slot] = 0;
  lagging_[slot] = false;
  queued_ -= inboxes_[slot].size();
  inboxes_[slot] = Inbox{};
}

// ---- Sending -----------------------------------------------------------------

void TServer::sendTo(int slot, const std::string& message) {
  if (slot < 1 || slot > kLastSlot || !seats_[slot].connected || lagging_[slot]) return;
  transport_.send(slot, message);
  if (transport_.unsent(slot) > kMaxUnsentBytes) lagging_[slot] = true;
}

void TServer::broadcast(const std::string& message) {
  for (int s = 1; s <= slotCount_; ++s) sendTo(s, message);
}

void TServer::sendToAllBut(int slot, const std::string& message) {
  for (int s = 1; s <= slotCount_; ++s)
    if (s != slot) sendTo(s, message);
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
    Inbox& inbox = inboxes_[slot];
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

void TServer::logintimerTimer() {
  Settle settle(*this);
  bool waiting = false;
  for (int slot = 1; slot <= kLastSlot; ++slot) {
    if (loginChecksLeft_[slot] == 0 || !seats_[slot].connected) continue;
    if (--loginChecksLeft_[slot] > 0) {
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
  if (waiting(from)) {
    // Nothing but showing who it is, under the seat it was told.
    if (route.command != cmd::logininfo && route.command != cmd::rejoinkey) return false;
    FieldReader reader(body);
    return toIntOr(reader.next(), -1) == toldSeat_[from];
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
  if (loggedIn(from)) {
    log_(refusal(from, cmd::logininfo, "already logged in"));
    return;
  }
  const int seat = from;
  const std::string version(body.next());
  Seat& s = seats_[seat];
  s.name = cleanName(body.rest());
  s.connected = true;
  loginChecksLeft_[seat] = 0;
  if (keptOutByName(seat)) return;
  noteSighting(seat);
  if (rejoin(seat)) return;
  if (waiting(seat)) {
    log_("seat " + std::to_string(seat) + ": " + s.name + " holds no seat here and every slot is taken; " +
         "closing the connection");
    sendTo(seat, MessageBuilder(cmd::full).done(true));
    transport_.close(seat);
    forget(seat);
    return;
  }

  broadcast(MessageBuilder(cmd::newplayerinfo).field(seat).field(s.name).done());
  for (int i = 1; i <= slotCount_; ++i) {
    if (i == seat || !seats_[i].connected) continue;
    sendTo(seat, MessageBuilder(cmd::existingplayers).field(i).field(seats_[i].name).done());
  }
  if (version != kVersion) {
    sendTo(1, MessageBuilder(cmd::havewrongversion).field(s.name).done());
    sendTo(seat, MessageBuilder(cmd::wrongversion).done(true));
  }
  giveRejoinKey(seat);
  log_("seat " + std::to_string(seat) + ": logged in as " + s.name +
       (version != kVersion ? " (version " + version + ")" : std::string()));
  if (!gameRunning_) return;
  bringUpToDate(seat);
  // A newcomer to the seat on turn (a returning player, or a person taking
  // over the computer's seat) loses that turn.
  if (seat == currentSeat_) hepass(seat);
}

void TServer::bringUpToDate(int seat) {
  MessageBuilder stats(cmd::stats);
  stats.field(seat).field(playToScore_).field(turnSeconds_).field(currentSeat_).field(countdown_);
  stats.field(gameMode_).field(fourPlayer_);
  for (int s = 1; s <= seatCount; ++s) stats.field(s).field(seats_[s].score);
  sendTo(seat, stats.done());

  if (seat <= seatCount) {
    MessageBuilder tiles(cmd::mytiles);
    tiles.field(seat);
    bool any = false;
    for (int n = 1; n <= 7; ++n) {
      const int code = seats_[seat].letters[n].code;
      if (code == 0) continue;
      tiles.field(n).field(code);
      any = true;
    }
    if (any) sendTo(seat, tiles.done());
  }

  std::vector<CellRef> all;
  MessageBuilder flipped(cmd::isflipped);
  flipped.field(seat);
  bool anyFlipped = false;
  for (int x = 1; x <= kBoardWidth; ++x) {
    for (int y = 1; y <= kBoardHeight; ++y) {
      all.push_back(CellRef{x, y});
      if (board_[x][y].faceUp) {
        flipped.field(x).field(y);
        anyFlipped = true;
      }
    }
  }
  sendBoard(seat, all, true);
  if (anyFlipped) sendTo(seat, flipped.done());
}

void TServer::kickhim(int from, FieldReader& body) {
  if (body.next() != "1") return;
  const int target = body.nextInt();
  if (target < 1 || target > kSlots || !seats_[target].connected) return;
  log_("seat " + std::to_string(from) + " removes seat " + std::to_string(target));
  // Told why first, so that his copy says so and does not come back by itself.
  sendTo(target, MessageBuilder(cmd::kicked).done(true));
  kicked_ = target;
  keepOut(target);
  disconnectsock(target);
  kicked_ = 0;
}

void TServer::chat(int, FieldReader& body) {
  const std::string_view seat = body.next();
  const int s = toInt(seat);
  broadcast(MessageBuilder(cmd::chat)
                .field(seat)
                .last(seats_[s].name + " chats: " + capLine(body.rest(), chatLimits_.lineBytes))
                .done());
}

void TServer::action(int, FieldReader& body) {
  const std::string_view seat = body.next();
  const int s = toInt(seat);
  broadcast(MessageBuilder(cmd::action)
                .field(seat)
                .last(seats_[s].name + " " + capLine(body.rest(), chatLimits_.lineBytes))
                .done());
}

void TServer::playasound(int, FieldReader& body) {
  const std::string_view seat = body.next();
  broadcast(MessageBuilder(cmd::playasound).field(seat).last(body.rest().substr(0, kMaxNameBytes)).done());
}

void TServer::justwatch(int, FieldReader& body) {
  const int seat = body.nextInt();
  if (seat < 1 || seat > seatCount) return;
  const std::string_view flag = body.rest();
  Seat& s = seats_[seat];
  if (flag == "2") {
    s.justWatching = false;
    broadcast(MessageBuilder(cmd::justwatching).field(seat).field("2").done());
  } else if (flag == "1" && s.connected && gameRunning_) {
    s.justWatching = true;
    broadcast(MessageBuilder(cmd::justwatching).field(seat).field("1").done());
    if (seat == currentSeat_) findplayer();
  }
}

// A directory's reachability check: answered only before a login, and the
// connection let go before anyone is told of it, so it takes no seat.
void TServer::dirprobe(int from, FieldReader& body) {
  if (!seats_[from].name.empty()) return;
  sendTo(from, MessageBuilder(cmd::dirprobed).last(body.rest().substr(0, 64)).done());
  transport_.close(from);
  forget(from);
  log_("seat " + std::to_string(from) + ": answered a directory's reachability check");
}

}  // namespace tw
