// Inbox: one connection's received bytes, split into messages and queued
// within bounds, so that nothing a peer sends grows memory without end.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

#include "framing.h"
#include "log.h"

namespace tw {

class Inbox {
 public:
  enum class Overflow {
    // Messages beyond the bound are dropped and a too long message is
    // thrown away; the connection goes on. A flood is logged once.
    Drop,
    // The owner is told, and closes the connection.
    Report,
  };
  enum class Fed { Ok, TooManyMessages, TooLongMessage };

  Inbox() = default;
  Inbox(std::size_t maxQueued, std::size_t maxPendingBytes, Overflow overflow)
      : maxQueued_(maxQueued), maxPending_(maxPendingBytes), overflow_(overflow) {}

  // `who` starts the log lines, which `log` may take when a bound is passed
  // (only with Overflow::Drop: on Report the owner says what it does).
  Fed feed(std::string_view bytes, const LogFn& log = {}, std::string_view who = {});

  bool empty() const { return queue_.empty(); }
  std::size_t size() const { return queue_.size(); }
  std::string pop();
  // Drops the unfinished message of a connection that ended.
  void clearPending() { splitter_.clear(); }

 private:
  std::size_t maxQueued_ = 0;
  std::size_t maxPending_ = 0;
  Overflow overflow_ = Overflow::Report;
  bool flooding_ = false;
  MessageSplitter splitter_;
  std::deque<std::string> queue_;
};

}  // namespace tw
