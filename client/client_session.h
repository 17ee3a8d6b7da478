// TClient: the client's session core. It queues what the host sends and
// dispatches one message per Timer1 tick, keeps the roster, the chat styles
// and links and the options (stored through SettingsStore), and decides what the user's
// typing and clicks send. It changes the window only through ClientView.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "client/chat_line.h"
#include "client/game_mirror.h"
#include "client/rejoin.h"
#include "client/roster.h"
#include "client/settings.h"
#include "client/settings_store.h"
#include "net/framing.h"
#include "net/inbox.h"
#include "net/log.h"
#include "net/timer.h"

namespace tw {

// The options a hosting player starts a game with.
struct GameOptions {
  int playToScore = 250;
  int timePerTurn = 60;
  bool viewable = false;
  int gameMode = rules::kBlind;
  bool fourPlayer = false;
  friend bool operator==(const GameOptions&, const GameOptions&) = default;
};

// What the session shows; the main window implements it. The game's part
// of the window is redrawn from the mirror when it says what changed.
class ClientView : public GameView {
 public:
  // Chat style `index` changed; the window reads it from the session.
  virtual void styleChanged(int index) = 0;
  virtual void addChatLine(const ChatLine& line) = 0;
  // What the roster shows changed; the window reads it from the session:
  // a seat's name, whether it and its score show, its watching mark.
  virtual void seatChanged(int seat) = 0;
  // The spectators (spies()).
  virtual void spiesChanged() = 0;
  // The own "Just Watch" mark (justWatchChecked()).
  virtual void justWatchChanged() = 0;
  virtual void playSound(const std::string& name) = 0;
  // Shows the options' check marks and applies the text colour and phrases.
  virtual void showSettings(const Settings& settings) = 0;
  // The game options window: it is given the stored options when the file is
  // read, holds what the player makes of them for the rest of the run, and
  // is asked for them at every save.
  virtual void showGameOptions(const GameOptions& options) = 0;
  virtual GameOptions shownGameOptions() const = 0;
  virtual void setGeometry(const Geometry& geometry) = 0;
  virtual Geometry geometry() const = 0;
  virtual void closeWindow() = 0;
};

// What the session asks of the host that this copy runs, when it hosts.
class HostedGame {
 public:
  virtual bool gameRunning() const = 0;
  virtual bool seatConnected(int seat) const = 0;

 protected:
  ~HostedGame() = default;
};

struct ClientTimers {
  Timer& Timer1;       // dispatch, one message per tick
  Timer& phrasetimer;  // the pause between two phrase-button lines
  Timer& turntime;     // the turn clock, one tick a second
};

class TClient : private MirrorSession {
 public:
  static constexpr int seatCount = rules::kSeatCount;
  static constexpr int kSlots = rules::kSlotCount;
  static constexpr int kPhraseCount = tw::kPhraseCount;
  static constexpr int kPhrasePauseMs = 2000;
  // Bounds on what the host can make the client hold.
  static constexpr std::size_t kMaxPendingBytes = 256 * 1024;
  static constexpr std::size_t kMaxQueuedMessages = 4096;
  static constexpr std::size_t kMaxQueuedBytes = 1024 * 1024;

  using SendFn = std::function<void(const std::string& bytes)>;

  TClient(ClientView& view, ClientTimers timers, SendFn send, std::string settingsPath, LogFn log = logLine);

  // ---- Session -----------------------------------------------------------
  void setPlayerName(std::string name) { playerName_ = std::move(name); }
  const std::string& playerName() const { return playerName_; }
  void setHosting(bool hosting) { hosting_ = hosting; }
  bool hosting() const { return hosting_; }
  // The host this copy runs; none for a copy that joins.
  void setHostedGame(const HostedGame* game) { hostedGame_ = game; }
  // This copy hosts a game that other players are in: leaving ends it for
  // them, so the player is asked first.
  bool othersPlaying() const;
  int ownSeat() const override { return ownSeat_; }
  bool loggedIn() const { return loggedIn_; }
  // A game runs, from its start or catch-up to its winner.
  bool gameOn() const { return gameOn_; }
  // Seat 1 holds the host's rights (starting games, removing players, setting
  // others to watch), whoever runs the host: this copy or tilewhirl-host.
  bool hostRights() const override { return loggedIn_ && ownSeat_ == 1; }

  // A joined copy gets back into a running game by itself after its
  // connection dropped: `dial` connects again, `timer` paces the tries.
  void enableRejoin(Timer& timer, std::function<void()> dial);
  bool rejoining() const { return rejoin_ && rejoin_->active(); }
  void rejointimerTimer() {
    if (rejoin_) rejoin_->timerTimer();
  }

  // Socket events from the glue.
  void sockConnected();
  void sockRead(std::string_view bytes);
  // The connection closed. Once what the host sent before is handled, a
  // game in progress is dialled again; otherwise the session ends and says
  // why (removed from the game, the host ended it, the line lost), leaving
  // the window and its board to the player.
  void sockClosed();
  // A connection could not be made; `why` is the system's reason.
  void connectFailed(std::string_view host, int port, std::string_view why);
  void hostNotFound(std::string_view host);

  void Timer1Timer();
  void phrasetimerTimer();
  std::size_t queued() const { return receivedlist_.size(); }

  // A chat line "seat+text" in a colour; status lines are "0+text".
  void addlinetochat(std::string_view line, Colour colour);
  void status(std::string_view text) override { addlinetochat("0+" + std::string(text), kBlue); }

  // ---- User commands -------------------------------------------------------
  // Enter in the input: gives true when the input is to be emptied.
  bool sendit(std::string_view text);
  void phraseClick(int button);  // 1..9
  bool phraseReady() const { return phraseReady_; }
  void chatterSound(int tag);  // 1..20
  // Asks the host to set this copy to watch, or to play again; the mark
  // follows the host's answer.
  void requestJustWatchToggle();
  void setJustWatch(int seat, bool watch);
  void kicking(int seat);
  bool justWatchChecked() const { return justWatch_; }
  // A new game clears "Just Watch" and the watching marks, and shows the
  // computer that plays an empty seat 2.
  void uncheckJustWatch() override;
  void setWatchMark(int seat, bool shown) override;
  void setSeatLabel(int seat, std::string name) override;
  // Sends a move of the game; nothing goes out before the login.
  void sendMove(const std::string& bytes) override {
    if (loggedIn_) send(bytes);
  }

  // What a seat's menu offers the player: which items are enabled.
  struct KickMenu {
    bool remove = false;
    bool setWatch = false;
    bool unsetWatch = false;
  };
  KickMenu kickMenu(int seat) const;

  // The link a click on the chat display reports: the address to open, or
  // nothing when the link has gone from the table or is no web address
  // (isWebAddress) that the browser may be given.
  std::optional<std::string> mainchatJump(int link) const;

  // The game options window's Start: sends the start of a game and keeps
  // the options in the settings file.
  void startGame(const GameOptions& options);
  GameOptions gameOptions() const;

  // ---- Options and settings ----------------------------------------------------
  const Settings& settings() const { return settings_; }
  bool settingsLoaded() const { return settingsLoaded_; }
  const std::string& settingsPath() const { return store_.path(); }
  const SettingsStore& settingsStore() const { return store_; }
  // Told whenever the settings change or are read, after the view.
  void onSettingsChanged(std::function<void(const Settings&)> changed) { settingsChanged_ = std::move(changed); }
  void loadinifile();
  void saveinifile();
  // Each option command changes one setting and saves at once.
  void setPlaySounds(bool on);
  void setChatterSounds(bool on);
  void setTurnSound(int tag);
  void setTextSize(int size);
  void setTextColour(Colour colour);
  void setBotSpeed(int ms);
  void setOpenBoard(bool on);
  // 0 Beginner, 1 Club, 2 Expert.
  void setComputerLevel(int level);
  void setClearWord(bool on);
  void setSeeTheirs(bool on);
  // Phrases edited elsewhere; empty keeps the built-in phrase.
  std::string phrase(int button) const;
  // New phrases from the phrases window: the buttons use them at once, and
  // they are saved (to a new file renamed over the old). False, with the
  // reason in `why`, when they could not be saved.
  bool setPhrases(const Phrases& phrases, std::string* why = nullptr);
  // Closing the window: saves when the geometry or the game options window
  // changed since the last save.
  void saveOnClose(const Geometry& workArea);

  void playsounds(const std::string& name) override;

  // Roster as shown.
  const Roster& roster() const { return roster_; }
  const std::string& seatName(int seat) const override { return roster_.name(seat); }
  bool seatVisible(int seat) const { return roster_.visible(seat); }
  bool watchMark(int seat) const { return roster_.watching(seat); }
  const std::vector<Roster::Spy>& spies() const { return roster_.spies(); }
  // Whom the tally counts a game of this seat against.
  std::vector<std::string> opponents() const override { return roster_.opponents(ownSeat_); }

  // The game as this copy mirrors it.
  GameMirror& game() { return game_; }
  const GameMirror& game() const { return game_; }
  // The chat's styles: each line recolours its style, and the text size sets them all.
  const TextStyle& style(int index) const { return styles_.at(std::size_t(index)); }

  static constexpr std::string_view kWaiting = Roster::kWaiting;
  static std::string_view computerName(int seat) { return Roster::computerName(seat); }
  static std::string_view chatterCaption(int tag);  // "" outside 0..20
  static std::string_view defaultPhrase(int button);

 private:
  // Each command is handled either by the session or by the game mirror.
  struct Route {
    std::string_view command;
    void (TClient::*session)(std::string_view body);
    void (GameMirror::*game)(std::string_view body);
  };
  static const Route kRoutes[];
  // The rest of what the game mirror asks of the session.
  bool seatEmpty(int seat) const override { return roster_.empty(seat); }
  bool watching() const override { return justWatch_; }
  Options mirrorOptions() const override {
    return {settings_.turnSound == 1, settings_.seeTheirs, settings_.clearWord};
  }
  void processsocktimer();

  void sendloginfo(std::string_view body);
  // The spelling is the game's own handler name, kept as it stands.
  void chatrecieved(std::string_view body);
  void newplayerinfo(std::string_view body);
  void havewrongversion(std::string_view body);
  void wrongversion(std::string_view body);
  void playerdisconnected(std::string_view body);
  void full(std::string_view body);
  void justwatching(std::string_view body);
  void playasound(std::string_view body);
  void kicked(std::string_view body);
  void hostended(std::string_view body);
  void rejoinkey(std::string_view body);
  // The connection is gone and all it brought is handled.
  void lineClosed();
  void ended();

  // Nothing goes out on a connection that has closed.
  void send(const std::string& bytes) {
    if (send_ && !closed_) send_(bytes);
  }
  // Before the host names everyone present again on a rejoin: who left
  // meanwhile was never announced.
  void forgetSeats();
  std::string colourText() const { return colourToText(settings_.textColour); }
  void applyTextSize();
  // One option command: change, show, save; kept for the login's load when
  // the file has not been read yet.
  void changeSetting(const std::function<void(Settings&)>& change);
  void keepGameOptions(const GameOptions& options);
  bool writeinifile(std::string* why);

  ClientView& view_;
  Timer& Timer1_;
  Timer& phrasetimer_;
  SendFn send_;
  SettingsStore store_;
  LogFn log_;

  std::string playerName_;
  bool hosting_ = false;
  const HostedGame* hostedGame_ = nullptr;
  bool connected_ = false;
  bool closed_ = false;
  std::string farewell_;  // why the host closes the connection, when it said
  bool over_ = false;     // the session has ended and said why
  int ownSeat_ = 0;
  bool loggedIn_ = false;
  bool justWatch_ = false;
  bool phraseReady_ = true;
  // A game runs (from its start or catch-up to its winner), and whether the
  // host has said that this copy was removed from it.
  bool gameOn_ = false;
  bool removed_ = false;
  bool backInSeat_ = false;  // the host is giving this copy its held seat back
  std::unique_ptr<Rejoin> rejoin_;

  Inbox receivedlist_{{kMaxQueuedMessages, kMaxQueuedBytes, kMaxPendingBytes}, Inbox::Overflow::Drop};

  Roster roster_;

  std::array<TextStyle, kStyleCount> styles_;
  LinkTable links_;

  Settings settings_;
  std::function<void(const Settings&)> settingsChanged_;
  bool settingsLoaded_ = false;
  std::vector<std::function<void(Settings&)>> earlyChanges_;
  Geometry savedGeometry_;
  GameOptions savedOptions_;

  GameMirror game_;
};

}  // namespace tw
