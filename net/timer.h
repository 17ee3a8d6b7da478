// The timer a state machine uses to pace itself. The program backs it with a
// QTimer; tests back it with a manual timer they tick themselves.
#pragma once

namespace tw {

class Timer {
 public:
  virtual ~Timer() = default;
  // (Re)starts a repeating timer with this interval; 0 fires at the next turn
  // of the event loop.
  virtual void start(int intervalMs) = 0;
  virtual void stop() = 0;
  virtual bool running() const = 0;
  virtual int interval() const = 0;
};

}  // namespace tw
