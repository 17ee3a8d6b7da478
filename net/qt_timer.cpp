// QTimer behind the cores' Timer interface.
#include "net/qt_timer.h"

namespace tw {

QtTimer::QtTimer(std::function<void()> onTick) {
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, [tick = std::move(onTick)] { tick(); });
}

void QtTimer::start(int intervalMs) { timer_.start(intervalMs); }

}  // namespace tw
