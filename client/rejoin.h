// Rejoin: how a joined copy gets back into a running game after its
// connection dropped. It dials again at once, then after waits that double up
// to half a minute, for two minutes in all. A refused try is no end: a line
// cut on the way refuses too, and the host says so when it ends a game. The
// host gives the player his held seat back after the login, so nothing else
// here knows about seats; the key the host gave at login is kept here and
// shown again before the login of a rejoin, as proof that this copy is the
// one that left.
// Paced by the core's timer, so tests tick it by hand.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "net/timer.h"

namespace tw {

class Rejoin {
 public:
  static constexpr int kGiveUpMs = 120000;
  static constexpr int kFirstWaitMs = 1000;
  static constexpr int kLongestWaitMs = 30000;

  struct Effects {
    std::function<void()> dial;  // drops an attempt under way and connects again
    std::function<void(const std::string&)> status;
    std::function<void()> giveUp;  // ends as a lost connection ends without rejoining
  };

  Rejoin(Timer& timer, Effects effects) : timer_(timer), fx_(std::move(effects)) {}

  bool active() const { return active_; }
  // The host's key for this copy's seat; a key that could not be one is not kept.
  void keep(std::string_view key);
  const std::string& key() const { return key_; }
  // The connection to a running game closed (again, if still trying).
  void lost();
  // An attempt got through; the tries stop unless it is lost before the host
  // has seated this copy again.
  void connected() { up_ = true; }
  // The host has announced this copy again.
  void seated();
  void timerTimer();

 private:
  void stop();

  Timer& timer_;
  Effects fx_;
  bool active_ = false;
  bool up_ = false;
  int tries_ = 0;
  int waitedMs_ = 0;  // since the loss: the waits between tries so far
  int waitMs_ = 0;
  std::string key_;
};

}  // namespace tw
