// The host's side of a game directory: registering, keeping the game's state
// line current, keeping the connection alive, and coming back with the same
// invite code after the connection or the directory dropped. Plain C++; the
// glue owns the socket and backs the two timers.
#pragma once

#include <optional>
#include <string>

#include "directory/directory_protocol.h"
#include "discovery/game_listing.h"
#include "net/timer.h"

namespace tw {

class DirectoryLinkOutput {
 public:
  virtual ~DirectoryLinkOutput() = default;
  // Start connecting; connected() or dropped() follows.
  virtual void open() = 0;
  virtual void send(const std::string& line) = 0;
  // Close without telling the core again.
  virtual void close() = 0;
  // The invite code ("K7M-2QX") was given or changed.
  virtual void codeGiven(const std::string& shownCode) = 0;
  // How the game is reached; a relayed game's `relay` holds only ":port" here.
  virtual void reachability(const Reachability& how) = 0;
  // A player waits at the relay: open a fresh connection to the directory,
  // say dir::joinLine(token) and hand the player it carries to the game.
  virtual void openRelay(const std::string& token) = 0;
  virtual void log(const std::string& line) = 0;
};

// A listing as the directory's state line carries it (the computer's level
// 1 Beginner, 2 Club, 3 Expert, 0 none).
dir::GameState directoryState(const GameListing& listing);

class DirectoryLink {
 public:
  // Waits between attempts: the first, doubling up to the last.
  static constexpr int kFirstRetryMs = 1000;
  static constexpr int kLastRetryMs = 60000;
  // Pings left unanswered before the connection counts as dead.
  static constexpr int kUnansweredPings = 3;

  // `pingTimer` paces the keep-alive, `retryTimer` the reconnections.
  DirectoryLink(DirectoryLinkOutput& out, Timer& pingTimer, Timer& retryTimer, int gamePort, bool isPublic,
                std::string title);

  // The title goes with the registration; a later one goes with the next.
  void setTitle(const std::string& title) { title_ = dir::cleanText(title, dir::kMaxTitle); }
  void setGamePort(int port) { gamePort_ = port; }
  // The port the home router opened for the game port, 0 for none: the
  // directory is told at once (RECHECK) when registered, else at registration.
  void setMappedPort(int port);
  // The host can take players through the directory's relay (openRelay works).
  void setRelayable(bool relayable) { relayable_ = relayable; }
  bool running() const { return running_; }
  void start();
  void stop();
  // The socket's events.
  void connected();
  void received(std::string_view bytes);
  void dropped(const std::string& why);
  // The timers.
  void pingTimerTimer();
  void retryTimerTimer();

  // The game's state changed; the directory is told at once when connected.
  void publish(const dir::GameState& state);

  const std::string& code() const { return code_; }
  bool online() const { return online_; }
  int nextRetryMs() const { return retryMs_; }

 private:
  void line(std::string_view text);
  void retryLater(const std::string& why);

  DirectoryLinkOutput& out_;
  Timer& pingTimer_;
  Timer& retryTimer_;
  int gamePort_;
  int mappedPort_ = 0;
  bool isPublic_;
  bool relayable_ = false;
  std::string title_;
  bool running_ = false;
  bool connecting_ = false;
  bool open_ = false;    // connected now
  bool online_ = false;  // registered on the current connection
  dir::LineReader reader_;
  std::string code_;
  std::string secret_;
  std::optional<dir::GameState> state_;
  std::optional<dir::GameState> sent_;
  int unanswered_ = 0;
  int retryMs_ = kFirstRetryMs;
};

}  // namespace tw
