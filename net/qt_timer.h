// Timer backed by a QTimer, for the cores that run inside the Qt event loop.
#pragma once

#include <QTimer>
#include <functional>

#include "net/timer.h"

namespace tw {

class QtTimer final : public Timer {
 public:
  explicit QtTimer(std::function<void()> onTick);
  void start(int intervalMs) override;
  void stop() override { timer_.stop(); }
  bool running() const override { return timer_.isActive(); }
  int interval() const override { return timer_.interval(); }

 private:
  QTimer timer_;
};

}  // namespace tw
