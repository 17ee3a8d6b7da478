// The client's session: dispatch, login, roster, chat, chatter sounds and
// the options kept in the settings file.
#include "client/client_session.h"

#include "client/web_addresses.h"
#include "net/commands.h"
#include "net/dispatch.h"

namespace tw {

namespace {

constexpr std::string_view kChatterCaptions[] = {
    "<Cancel>",       "Doh",          "Cough",  "Hello",   "Thank You", "Where have you been?",
    "Snoring",        "Sneezing",     "Sorry",  "Welcome", "Yeehaa",    "Yippee",
    "Oh No",          "Applause",     "Honk",   "Oooh",    "Razzberry", "Cheer",
    "Woman Laughing", "Man Laughing", "Crying",
};

constexpr std::string_view kPhrases[] = {
    "Way To Go!", "Good One!", "Nice Try!",         "Excellent!",          "Brilliant!",
    "Wow, WTG!",  "Thanks!",   "Way To Go Teamie!", "Good Game Everyone!",
};

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

const TClient::Route TClient::kRoutes[] = {
    {cmd::sendlogininfo, &TClient::sendloginfo, nullptr},
    {cmd::chat, &TClient::chatrecieved, nullptr},
    {cmd::action, &TClient::chatrecieved, nullptr},
    {cmd::newplayerinfo, &TClient::newplayerinfo, nullptr},
    {cmd::existingplayers, &TClient::newplayerinfo, nullptr},
    {cmd::havewrongversion, &TClient::havewrongversion, nullptr},
    {cmd::wrongversion, &TClient::wrongversion, nullptr},
    {cmd::playerdisconnected, &TClient::playerdisconnected, nullptr},
    {cmd::startgame, nullptr, &GameMirror::startthegame},
    {cmd::nextplayer, nullptr, &GameMirror::getnextplayer},
    {cmd::winner, nullptr, &GameMirror::winner},
    {cmd::full, &TClient::full, nullptr},
    {cmd::justwatching, &TClient::justwatching, nullptr},
    {cmd::theboard, nullptr, &GameMirror::theboard},
    {cmd::mytiles, nullptr, &GameMirror::mytiles},
    {cmd::heflip, nullptr, &GameMirror::heflip},
    {cmd::invalid, nullptr, &GameMirror::invalid},
    {cmd::hisword, nullptr, &GameMirror::hisword},
    {cmd::timeup, nullptr, &GameMirror::timeup},
    {cmd::heuseboardletter, nullptr, &GameMirror::heuseboardletter},
    {cmd::heusebarletter, nullptr, &GameMirror::heusebarletter},
    {cmd::hepasses, nullptr, &GameMirror::hepasses},
    {cmd::heclickclear, nullptr, &GameMirror::heclickclear},
    {cmd::tie, nullptr, &GameMirror::tie},
    {cmd::buytiles, nullptr, &GameMirror::buytiles},
    {cmd::notenough, nullptr, &GameMirror::notenough},
    {cmd::stats, nullptr, &GameMirror::stats},
    {cmd::isflipped, nullptr, &GameMirror::isflipped},
    {cmd::theirtiles, nullptr, &GameMirror::theirtiles},
    {cmd::sneak, nullptr, &GameMirror::getsneak},
    {cmd::sneaker, nullptr, &GameMirror::sneaker},
    {cmd::playasound, &TClient::playasound, nullptr},
    {cmd::kicked, &TClient::kicked, nullptr},
    {cmd::hostended, &TClient::hostended, nullptr},
    {cmd::rejoinkey, &TClient::rejoinkey, nullptr},
};

TClient::TClient(ClientView& view, ClientTimers timers, SendFn send, std::string settingsPath, LogFn log)
    : view_(view),
      Timer1_(timers.Timer1),
      phrasetimer_(timers.phrasetimer),
      send_(std::move(send)),
      store_(std::move(settingsPath)),
      log_(log ? std::move(log) : LogFn(logLine)),
      styles_(initialStyles()),
      game_(*this, view, timers.turntime, log_) {
  // Until the settings are read the chat shows its built-in size.
  settings_.textSize = styles_[0].size;
}

std::string_view TClient::chatterCaption(int tag) {
  return tag >= 0 && tag <= 20 ? kChatterCaptions[tag] : std::string_view{};
}

std::string_view TClient::defaultPhrase(int button) {
  return button >= 1 && button <= kPhraseCount ? kPhrases[button - 1] : std::string_view{};
}

// ---- Receiving and dispatch ------------------------------------------------------

void TClient::sockRead(std::string_view bytes) {
  receivedlist_.feed(bytes, log_, "client");
  if (!receivedlist_.empty() && !Timer1_.running()) Timer1_.start(1);
}

void TClient::Timer1Timer() {
  processsocktimer();
  if (!receivedlist_.empty()) return;
  Timer1_.stop();
  if (closed_) lineClosed();
}

void TClient::processsocktimer() {
  if (receivedlist_.empty()) return;
  const std::string line = receivedlist_.pop();
  dispatchLine(line, kRoutes, "client", log_, [this](const Route& route, std::string_view body) {
    if (route.command == cmd::startgame || route.command == cmd::stats) gameOn_ = true;
    if (route.command == cmd::winner) gameOn_ = false;
    if (route.session)
      (this->*route.session)(body);
    else
      (game_.*route.game)(body);
  });
}

void TClient::enableRejoin(Timer& timer, std::function<void()> dial) {
  rejoin_ = std::make_unique<Rejoin>(
      timer, Rejoin::Effects{std::move(dial), [this](const std::string& text) { status(text); },
                             [this] {
                               // A try still under way speaks for nobody.
                               closed_ = true;
                               farewell_ = "Could not get back into the game.";
                               ended();
                             }});
}

void TClient::sockConnected() {
  connected_ = true;
  if (rejoining()) rejoin_->connected();
}

void TClient::sockClosed() {
  if (!connected_ || closed_) return;
  connected_ = false;
  closed_ = true;
  receivedlist_.clearPending();  // the unfinished message of a connection that is gone
  // What the host said before it closed (why, the final scores) is handled
  // first: only then is it known whether the line dropped or the host ended.
  if (receivedlist_.empty())
    lineClosed();
  else if (!Timer1_.running())
    Timer1_.start(1);
}

void TClient::lineClosed() {
  if (over_) return;  // said already ("Game is full")
  // A line that drops during a game, with no word from the host on why, is
  // dialled again; anything else ends the session, and the window stays.
  if (rejoin_ && !hosting_ && gameOn_ && !removed_ && farewell_.empty()) {
    closed_ = false;
    loggedIn_ = false;
    uncheckJustWatch();
    rejoin_->lost();
    return;
  }
  ended();
}

void TClient::forgetSeats() {
  for (int s = 1; s <= seatCount; ++s) {
    roster_.setName(s, s == 2 ? std::string(computerName(2)) : std::string(kWaiting), roster_.visible(s));
    roster_.setWatching(s, false);
    view_.seatChanged(s);
  }
  roster_.clearSpies();
  view_.spiesChanged();
}

void TClient::ended() {
  over_ = true;
  loggedIn_ = false;
  gameOn_ = false;
  game_.stopClock();
  game_.showStartButton(false);
  // The board and the scores stay on screen until the player closes the window.
  const std::string why =
      farewell_.empty() ? std::string("The connection to the game host was lost.") : farewell_;
  status(why);
  view_.message(why);
}

void TClient::kicked(std::string_view) {
  removed_ = true;
  farewell_ = "You were removed from the game.";
}

void TClient::hostended(std::string_view) { farewell_ = "The host has ended the game."; }

void TClient::rejoinkey(std::string_view body) {
  FieldReader f(body);
  if (toInt(f.next()) != ownSeat_ || !rejoin_) return;
  rejoin_->keep(f.rest());
}

void TClient::connectFailed(std::string_view host, int port, std::string_view why) {
  status("Could not connect to the game host " + std::string(host) + " on port " + std::to_string(port) +
         " (" + std::string(why) + "). Check the address and that the host is running, then start again.");
}

void TClient::hostNotFound(std::string_view host) {
  status("Could not find the game host " + std::string(host) + ". Check the host name, then start again.");
}

// ---- Session handlers --------------------------------------------------------------

void TClient::sendloginfo(std::string_view body) {
  const int seat = toInt(body);
  if (seat < 1 || seat > kSlots) throw BadNumber(std::to_string(seat));
  // A logged-in copy told another seat is moved by the host to the seat it
  // held for this player since his line dropped.
  backInSeat_ = loggedIn_ && seat != ownSeat_;
  ownSeat_ = seat;
  loggedIn_ = true;
  if (rejoining()) forgetSeats();
  // Shown before the login, as a separate command that an older host ignores.
  if (rejoining() && !rejoin_->key().empty())
    send(MessageBuilder(cmd::rejoinkey).field(seat).field(rejoin_->key()).done());
  send(MessageBuilder(cmd::logininfo).field(seat).field(kVersion).last(playerName_).done());
  game_.showStartButton(hostRights() && !gameOn_);  // back in a running game: no start
}

void TClient::newplayerinfo(std::string_view body) {
  FieldReader f(body);
  const int seat = toInt(f.next());
  if (seat < 1 || seat > kSlots) throw BadNumber(std::to_string(seat));
  const std::string name = blankControls(f.rest());
  if (seat == ownSeat_) {
    status("You are Connected.");
    if (backInSeat_) status("You are back in your seat.");
    backInSeat_ = false;
    // Back in the game after a drop: the options are loaded already, and
    // loading them again would move the window.
    if (rejoining())
      rejoin_->seated();
    else
      loadinifile();
  } else {
    status(sentence(name, "is Connected.", "are Connected."));
  }
  if (seat <= seatCount) {
    roster_.setName(seat, name, true);
    view_.seatChanged(seat);
  } else {
    roster_.addSpy(seat, name);
    view_.spiesChanged();
    status(seat == ownSeat_ ? std::string("You are spying.") : sentence(name, "is spying.", "are spying."));
  }
  playsounds("entered");
}

void TClient::havewrongversion(std::string_view body) {
  status(sentence(body, "has a different version of the game than you.",
                  "have a different version of the game than you."));
}

void TClient::wrongversion(std::string_view) {
  status("You have a differnt version of the game than the host.");
}

void TClient::playerdisconnected(std::string_view body) {
  FieldReader f(body);
  const int seat = toInt(f.next());
  const std::string name = blankControls(f.rest());
  // Only a removed player hears of his own seat: his copy must not come back.
  if (seat == ownSeat_) removed_ = true;
  if (Roster::playingSeat(seat)) {
    const std::string& label = roster_.name(seat);
    if (label != kWaiting && label != computerName(seat)) status(label + " disconnected.");
    roster_.setName(seat, seat == 2 ? std::string(computerName(2)) : std::string(kWaiting),
                    roster_.visible(seat));
    roster_.setWatching(seat, false);
    view_.seatChanged(seat);
  } else if (seat > seatCount && seat <= kSlots) {
    if (!roster_.removeSpy(seat, name)) return;
    status(sentence(name, "has left.", "have left."));
    view_.spiesChanged();
  }
}

void TClient::full(std::string_view) {
  over_ = true;
  view_.message("Game is full");
  view_.closeWindow();
}

void TClient::justwatching(std::string_view body) {
  FieldReader f(body);
  const int seat = toInt(f.next());
  if (seat < 1 || seat > seatCount) return;
  const bool watching = f.rest() == "1";
  if (seat == ownSeat_) {
    justWatch_ = watching;
    view_.justWatchChanged();
  }
  status(watching ? sentence(roster_.name(seat), "is just watching", "are just watching")
                  : sentence(roster_.name(seat), "is now playing again", "are now playing again"));
  setWatchMark(seat, watching);
}

void TClient::playasound(std::string_view body) {
  FieldReader f(body);
  const std::string_view seatText = f.next();
  const std::string name(f.next());
  if (settings_.chatterSounds) {
    view_.playSound(name);
    return;
  }
  // The line is built only for a seat with a name label and a known sound.
  const int seat = toIntOr(seatText, 0);
  if (seat < 1 || seat > seatCount || !startsWith(name, "wave")) return;
  const int tag = toIntOr(std::string_view(name).substr(4), 0);
  if (tag < 1 || tag > 20) return;
  status(roster_.name(seat) + ": <Chatter Sound> " + std::string(chatterCaption(tag)));
}

void TClient::chatrecieved(std::string_view body) {
  // A colour never holds a '|'; the text may.
  const auto bar = body.rfind('|');
  Colour colour = kRed;
  if (bar != std::string_view::npos) colour = textToColour(body.substr(bar + 1)).value_or(kRed);
  // Style 0 and its blue are this copy's own lines; no peer may write in them.
  if (toIntOr(body.substr(0, body.find('+')), 0) == 0) {
    log_("client: chat line without a sender's seat ignored");
    return;
  }
  addlinetochat(body.substr(0, bar), peerColour(colour));
}

void TClient::addlinetochat(std::string_view line, Colour colour) {
  ChatLine layout = layoutChatLine(line);
  TextStyle& style = styles_[std::size_t(layout.style)];
  TextStyle changed = style;
  changed.colour = colour;
  changed.bold = true;
  changed.italic = false;
  changed.underline = false;
  if (!(changed == style)) {
    style = changed;
    view_.styleChanged(layout.style);
  }
  for (auto& piece : layout.pieces)
    if (piece.kind == ChatPiece::Kind::Link) piece.link = links_.add(linkTarget(piece.text));
  view_.addChatLine(layout);
}

std::optional<std::string> TClient::mainchatJump(int link) const {
  std::optional<std::string> target = links_.find(link);
  if (target && !isWebAddress(*target)) return std::nullopt;
  return target;
}

// ---- User commands ---------------------------------------------------------------

bool TClient::sendit(std::string_view text) {
  if (!loggedIn_) return false;
  if (text.empty()) return true;
  if (text.front() != '/') {
    send(MessageBuilder(cmd::chat).field(ownSeat_).last(std::string(text) + "|" + colourText()).done());
  } else if (startsWith(text, "/me")) {
    const std::string_view rest = text.size() > 4 ? text.substr(4) : std::string_view{};
    send(MessageBuilder(cmd::action).field(ownSeat_).last(std::string(rest) + "|" + colourText()).done());
  }
  return true;
}

std::string TClient::phrase(int button) const {
  if (button < 1 || button > kPhraseCount) return {};
  const std::string& stored = settings_.phrases[std::size_t(button - 1)];
  return stored.empty() ? std::string(defaultPhrase(button)) : stored;
}

bool TClient::setPhrases(const Phrases& phrases, std::string* why) {
  settings_.phrases = phrases;
  view_.showSettings(settings_);
  return store_.savePhrases(phrases, why);
}

void TClient::phraseClick(int button) {
  if (!phraseReady_ || button < 1 || button > kPhraseCount) return;
  const std::string text = phrase(button);
  const std::string said = startsWith(text, "/me ") ? text.substr(4) : "says: " + text;
  send(MessageBuilder(cmd::action).field(ownSeat_).last(said + "|" + colourText()).done());
  phraseReady_ = false;
  phrasetimer_.start(kPhrasePauseMs);
}

void TClient::phrasetimerTimer() {
  phraseReady_ = true;
  phrasetimer_.stop();
}

void TClient::chatterSound(int tag) {
  if (tag < 1 || tag > 20 || !loggedIn_ || ownSeat_ < 1 || ownSeat_ > seatCount) return;
  send(MessageBuilder(cmd::playasound).field(ownSeat_).field("wave" + std::to_string(tag)).done(true));
}

void TClient::requestJustWatchToggle() {
  if (!loggedIn_ || ownSeat_ < 1 || ownSeat_ > seatCount) return;
  send(MessageBuilder(cmd::justwatch).field(ownSeat_).last(justWatch_ ? "2" : "1").done());
}

void TClient::uncheckJustWatch() {
  justWatch_ = false;
  view_.justWatchChanged();
}

void TClient::setWatchMark(int seat, bool shown) {
  if (!Roster::playingSeat(seat)) return;
  roster_.setWatching(seat, shown);
  view_.seatChanged(seat);
}

void TClient::setSeatLabel(int seat, std::string name) {
  if (!Roster::playingSeat(seat)) return;
  roster_.setName(seat, std::move(name), true);
  view_.seatChanged(seat);
}

void TClient::setJustWatch(int seat, bool watch) {
  if (!loggedIn_ || seat < 1 || seat > seatCount) return;
  send(MessageBuilder(cmd::justwatch).field(seat).last(watch ? "1" : "2").done());
}

void TClient::kicking(int seat) {
  if (!hostRights()) return;
  send(MessageBuilder(cmd::kickhim).field(ownSeat_).field(seat).done(true));
}

bool TClient::othersPlaying() const {
  if (!hosting_ || !hostedGame_ || !hostedGame_->gameRunning()) return false;
  for (int s = 1; s <= seatCount; ++s)
    if (s != ownSeat_ && hostedGame_->seatConnected(s)) return true;
  return false;
}

TClient::KickMenu TClient::kickMenu(int seat) const {
  KickMenu menu;
  if (!hostRights()) return menu;
  menu.setWatch = menu.unsetWatch = true;
  menu.remove = !Roster::playingSeat(seat) || !roster_.empty(seat);
  return menu;
}

void TClient::startGame(const GameOptions& o) {
  send(MessageBuilder(cmd::startgame)
           .field(playerName_)
           .field(o.playToScore)
           .field(o.timePerTurn)
           .field(o.viewable ? "t" : "f")
           .field(o.gameMode)
           .field(o.fourPlayer ? 1 : 0)
           .done(true));
  keepGameOptions(o);
  saveinifile();
}

void TClient::keepGameOptions(const GameOptions& o) {
  settings_.playToScore = o.playToScore;
  settings_.timePerTurn = o.timePerTurn;
  settings_.viewable = o.viewable;
  settings_.gameMode = o.gameMode;
  settings_.fourPlayer = o.fourPlayer;
}

GameOptions TClient::gameOptions() const {
  return GameOptions{settings_.playToScore, settings_.timePerTurn, settings_.viewable, settings_.gameMode,
                     settings_.fourPlayer};
}

// ---- Sounds ----------------------------------------------------------------------------

void TClient::playsounds(const std::string& name) {
  if (settings_.playSounds) view_.playSound(name);
}

// ---- Options and the settings file ---------------------------------------------------

void TClient::applyTextSize() {
  for (int i = 0; i < kStyleCount; ++i) {
    styles_[std::size_t(i)].size = settings_.textSize;
    view_.styleChanged(i);
  }
}

void TClient::loadinifile() {
  settings_ = store_.load(settings_);
  settingsLoaded_ = true;
  // What the user chose while the login was under way wins over the file.
  const auto early = std::move(earlyChanges_);
  earlyChanges_.clear();
  for (const auto& change : early) change(settings_);
  applyTextSize();
  savedGeometry_ = settings_.geometry;
  savedOptions_ = gameOptions();
  view_.setGeometry(settings_.geometry);
  view_.showSettings(settings_);
  if (settingsChanged_) settingsChanged_(settings_);
  view_.showGameOptions(savedOptions_);
  if (!early.empty()) saveinifile();
}

bool TClient::writeinifile(std::string* why) {
  keepGameOptions(view_.shownGameOptions());
  if (store_.save(settings_, why)) {
    savedOptions_ = gameOptions();
    return true;
  }
  log_("client: cannot write the settings file " + (why ? *why : store_.path()));
  return false;
}

void TClient::saveinifile() {
  // A copy that never read the file must not replace what it holds with
  // built-in values.
  if (!settingsLoaded_) return;
  settings_.geometry = view_.geometry();
  std::string why;
  if (!writeinifile(&why)) status("Your options were not saved (" + why + ").");
}

void TClient::saveOnClose(const Geometry& workArea) {
  Geometry g = view_.geometry();
  if (!settingsLoaded_ || (g == savedGeometry_ && view_.shownGameOptions() == savedOptions_)) return;
  if (g.width > workArea.width) g.width -= 15;
  if (g.height > workArea.height) g.height -= 15;
  savedGeometry_ = g;
  settings_.geometry = g;
  std::string why;
  writeinifile(&why);
}

void TClient::changeSetting(const std::function<void(Settings&)>& change) {
  change(settings_);
  if (!settingsLoaded_) earlyChanges_.push_back(change);
  view_.showSettings(settings_);
  if (settingsChanged_) settingsChanged_(settings_);
  saveinifile();
}

void TClient::setPlaySounds(bool on) {
  changeSetting([on](Settings& s) { s.playSounds = on; });
}

void TClient::setChatterSounds(bool on) {
  changeSetting([on](Settings& s) { s.chatterSounds = on; });
}

void TClient::setTurnSound(int tag) {
  changeSetting([tag](Settings& s) { s.turnSound = tag == 1 ? 1 : 0; });
}

void TClient::setTextSize(int size) {
  changeSetting([size](Settings& s) { s.textSize = size; });
  applyTextSize();
}

void TClient::setTextColour(Colour colour) {
  changeSetting([colour](Settings& s) { s.textColour = colour; });
}

void TClient::setBotSpeed(int ms) {
  changeSetting([ms](Settings& s) { s.botSpeed = rules::knownBotSpeed(ms); });
}

void TClient::setOpenBoard(bool on) {
  changeSetting([on](Settings& s) { s.openBoard = on; });
}

void TClient::setComputerLevel(int level) {
  changeSetting([level](Settings& s) { s.computerLevel = level > 0 && level < kComputerLevels ? level : 0; });
}

void TClient::setClearWord(bool on) {
  changeSetting([on](Settings& s) { s.clearWord = on; });
}

void TClient::setSeeTheirs(bool on) {
  changeSetting([on](Settings& s) { s.seeTheirs = on; });
}

}  // namespace tw
