// The bounded inbox.
#include "net/inbox.h"

#include <vector>

namespace tw {

Inbox::Fed Inbox::feed(std::string_view bytes, const LogFn& log, std::string_view who) {
  std::vector<std::string> messages;
  splitter_.feed(bytes, messages);
  const auto say = [&](const std::string& line) {
    if (log) log(std::string(who) + ": " + line);
  };
  Fed fed = Fed::Ok;
  for (auto& m : messages) {
    if (fits(m)) {
      bytes_ += m.size();
      queue_.push_back(std::move(m));
      continue;
    }
    const bool tooMany = queue_.size() >= limits_.messages;
    if (fed == Fed::Ok) fed = tooMany ? Fed::TooManyMessages : Fed::TooManyBytes;
    // The owner closes the connection: what follows is of no interest.
    if (overflow_ == Overflow::Report) break;
    // One line for the whole flood; the next is told once the queue drained.
    if (!flooding_)
      say("more than " +
          (tooMany ? std::to_string(limits_.messages) + " messages"
                   : std::to_string(limits_.bytes) + " bytes") +
          " waiting; dropping what comes until they are read");
    flooding_ = true;
  }
  if (splitter_.pending() > limits_.pendingBytes) {
    if (overflow_ == Overflow::Drop) {
      say("unterminated message over " + std::to_string(limits_.pendingBytes) + " bytes dropped");
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
  bytes_ -= line.size();
  if (queue_.empty()) flooding_ = false;
  return line;
}

}  // namespace tw
