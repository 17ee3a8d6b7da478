// Inbox: one connection's received bytes, split into messages and queued
// within bounds (in messages and in bytes), so that nothing a peer sends
// grows memory without end.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

#include "net/framing.h"
#include "net/log.h"

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
  enum class Fed { Ok, TooManyMessages, TooManyBytes, TooLongMessage };

  struct Limits {
    std::size_t messages = 0;      // queued messages
    std::size_t bytes = 0;         // their bytes together
    std::size_t pendingBytes = 0;  // one unfinished message
  };

  Inbox() = default;
  Inbox(Limits limits, Overflow overflow) : limits_(limits), overflow_(overflow) {}

  // `who` starts the log lines, which `log` may take when a bound is passed
  // (only with Overflow::Drop: on Report the owner says what it does).
  Fed feed(std::string_view bytes, const LogFn& log = {}, std::string_view who = {});

  bool empty() const { return queue_.empty(); }
  std::size_t size() const { return queue_.size(); }
  // The bytes of the queued messages.
  std::size_t bytes() const { return bytes_; }
  // The oldest message, left in the queue; empty when there is none.
  std::string_view front() const {
    return queue_.empty() ? std::string_view{} : std::string_view(queue_.front());
  }
  std::string pop();
  // Drops the unfinished message of a connection that ended.
  void clearPending() { splitter_.clear(); }

 private:
  bool fits(const std::string& message) const {
    return queue_.size() < limits_.messages && bytes_ + message.size() <= limits_.bytes;
  }
  Limits limits_;
  std::size_t bytes_ = 0;
  Overflow overflow_ = Overflow::Report;
  bool flooding_ = false;
  MessageSplitter splitter_;
  std::deque<std::string> queue_;
};

}  // namespace tw
