// Avahi's poll interface on the Qt event loop: its watches are socket
// notifiers and its timeouts single-shot timers, so the Avahi client runs in
// the thread that made it, with no thread of its own.
#pragma once

#include <avahi-common/watch.h>

namespace tw {

class AvahiQtPoll {
 public:
  AvahiQtPoll();
  AvahiQtPoll(const AvahiQtPoll&) = delete;
  AvahiQtPoll& operator=(const AvahiQtPoll&) = delete;
  // Outlives every client made with it.
  const AvahiPoll* poll() const { return &api_; }

 private:
  AvahiPoll api_{};
};

}  // namespace tw
