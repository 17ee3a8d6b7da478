// The bounded inbox.
#include "inbox.h"

#include <vector>

namespace tw {

Inbox::Fed Inbox::feed(std::string_view bytes, const LogFn& log, std::string_view who) {
  std::vector<std::string> messages;
  splitter_.feed(bytes, messages);
  const auto say = [&](const std::string& line) {
    if (log) log(std::string(who) + ": " + line);
  };
  Fed fed = Fed::Ok;
  if (overflow_ == Overflow::Report) {
    for (auto& m : messages) queue_.push_back(std::move(m));
    if (queue_.size() > maxQueued_) fed = Fed::TooManyMessages;
  } else {
    for (auto& m : messages) {
      if (queue_.size() < maxQueued_) {
        queue_.push_back(std::move(m));
        continue;
      }
      // One line for the whole flood; the next is told once the queue drained.
      if (!flooding_)
        say("more than " + std::to_string(maxQueued_) +
            " messages waiting; dropping what comes until they are read");
      flooding_ = true;
      fed = Fed::TooManyMessages;
    }
  }
  if (splitter_.pending() > maxPending_) {
    if (overflow_ == Overflow::Drop) {
      say("unterminated message over " + std::to_string(maxPending_) + " bytes dropped");
      splitter_.clear();
    }
    if (fed == Fed::Ok) fed = Fed::TooLongMessage;
  }
  return fed;
}

std::string Inbox::pop() {
  if (queue_.empty()) return {};
  std::string line = std::move(queue_.front());
  queue_.pop_front();
  if (queue_.empty()) flooding_ = false;
  return line;
}

}  // namespace tw
