// The tries of a rejoin and what the player is told of them.
#include "client/rejoin.h"

#include <algorithm>

namespace tw {

void Rejoin::keep(std::string_view key) {
  constexpr std::size_t kLongest = 64;
  const bool plain = std::all_of(key.begin(), key.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  });
  if (!key.empty() && key.size() <= kLongest && plain) key_ = std::string(key);
}

void Rejoin::lost() {
  up_ = false;
  if (active_) return;  // the tries already under way go on
  active_ = true;
  tries_ = 0;
  waitedMs_ = 0;
  waitMs_ = 0;
  fx_.status("The connection to the game was lost. Reconnecting...");
  timer_.start(0);
}

void Rejoin::seated() {
  if (active_) stop();
}

void Rejoin::stop() {
  active_ = false;
  timer_.stop();
}

void Rejoin::timerTimer() {
  if (!active_) {
    timer_.stop();
    return;
  }
  if (waitedMs_ >= kGiveUpMs) {
    stop();
    fx_.giveUp();
    return;
  }
  if (!up_) {
    if (++tries_ > 1)
      fx_.status("Reconnecting, try " + std::to_string(tries_) + " (" +
                 std::to_string((kGiveUpMs - waitedMs_) / 1000) + " s left)...");
    fx_.dial();
    if (!active_) return;
  }
  waitMs_ = waitMs_ == 0 ? kFirstWaitMs : std::min(waitMs_ * 2, kLongestWaitMs);
  waitedMs_ += waitMs_;
  timer_.start(waitMs_);
}

}  // namespace tw
