// Test doubles for the cores' ports: a timer the test ticks by hand and a
// transport that records what the host sends.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "net/timer.h"

namespace tw::test {

class ManualTimer final : public Timer {
 public:
  void start(int intervalMs) override {
    running_ = true;
    interval_ = intervalMs;
    due = (clock ? *clock : 0) + intervalMs;
    ++starts;
  }
  void stop() override { running_ = false; }
  bool running() const override { return running_; }
  int interval() const override { return interval_; }

  int starts = 0;
  // Set when a VirtualClock drives the timer: the time it next fires.
  const std::int64_t* clock = nullptr;
  std::int64_t due = 0;

 private:
  bool running_ = false;
  int interval_ = 0;
};

// Virtual milliseconds for several manual timers: each step runs whichever
// timer is due first (the first added wins a tie), so a game's timers
// interleave as they would in real time, but at once.
class VirtualClock {
 public:
  void add(ManualTimer& timer, std::function<void()> tick) {
    timer.clock = &now;
    timers_.emplace_back(&timer, std::move(tick));
  }
  // Runs the next due timer; false when none is running.
  bool step() {
    std::pair<ManualTimer*, std::function<void()>>* next = nullptr;
    for (auto& entry : timers_)
      if (entry.first->running() && (!next || entry.first->due < next->first->due)) next = &entry;
    if (!next) return false;
    now = next->first->due;
    next->first->due = now + next->first->interval();
    next->second();
    return true;
  }

  std::int64_t now = 0;

 private:
  std::vector<std::pair<ManualTimer*, std::function<void()>>> timers_;
};

}  // namespace tw::test
