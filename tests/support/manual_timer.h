// Test doubles for the cores' ports: a timer the test ticks by hand and a
// transport that records what the host sends.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "timer.h"

namespace tw::test {

class ManualTimer final : public Timer {
 public:
  void start(int intervalMs) override {
    running_ = true;
    interval_ = intervalMs;
    ++starts;
  }
  void stop() override { running_ = false; }
  bool running() const override { return running_; }
  int interval() const override { return interval_; }

  int starts = 0;

 private:
  bool running_ = false;
  int interval_ = 0;
};

}  // namespace tw::test
