// Avahi's watches and timeouts as QSocketNotifier and QTimer. Avahi may free
// a watch or a timeout from inside its own callback, so the Qt objects go
// with deleteLater and nothing is touched after a callback returns.
#include "discovery/avahi_poll.h"

#include <sys/time.h>

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <climits>

#include <avahi-common/timeval.h>

struct AvahiWatch {
  int fd = -1;
  AvahiWatchCallback callback = nullptr;
  void* userdata = nullptr;
  AvahiWatchEvent happened = AvahiWatchEvent(0);
  QSocketNotifier* read = nullptr;
  QSocketNotifier* write = nullptr;
};

struct AvahiTimeout {
  AvahiTimeoutCallback callback = nullptr;
  void* userdata = nullptr;
  QTimer* timer = nullptr;
};

namespace tw {

namespace {

void fire(AvahiWatch* w, AvahiWatchEvent event) {
  w->happened = event;
  // The callback may free the watch.
  w->callback(w, w->fd, event, w->userdata);
}

void watchUpdate(AvahiWatch* w, AvahiWatchEvent events) {
  w->read->setEnabled(events & (AVAHI_WATCH_IN | AVAHI_WATCH_HUP | AVAHI_WATCH_ERR));
  w->write->setEnabled(events & AVAHI_WATCH_OUT);
}

AvahiWatch* watchNew(const AvahiPoll*, int fd, AvahiWatchEvent events, AvahiWatchCallback callback, void* userdata) {
  auto* w = new AvahiWatch{fd, callback, userdata};
  w->read = new QSocketNotifier(fd, QSocketNotifier::Read);
  w->write = new QSocketNotifier(fd, QSocketNotifier::Write);
  QObject::connect(w->read, &QSocketNotifier::activated, [w] { fire(w, AVAHI_WATCH_IN); });
  QObject::connect(w->write, &QSocketNotifier::activated, [w] { fire(w, AVAHI_WATCH_OUT); });
  watchUpdate(w, events);
  return w;
}

AvahiWatchEvent watchGetEvents(AvahiWatch* w) { return w->happened; }

void watchFree(AvahiWatch* w) {
  for (QSocketNotifier* n : {w->read, w->write}) {
    n->setEnabled(false);
    n->disconnect();
    n->deleteLater();
  }
  delete w;
}

void timeoutUpdate(AvahiTimeout* t, const struct timeval* tv) {
  if (!tv) {
    t->timer->stop();
    return;
  }
  // avahi_age is how long ago tv was: negative for a time to come.
  const AvahiUsec ago = avahi_age(tv);
  const AvahiUsec ms = ago >= 0 ? 0 : (-ago + 999) / 1000;
  t->timer->start(int(std::min<AvahiUsec>(ms, INT_MAX)));
}

AvahiTimeout* timeoutNew(const AvahiPoll*, const struct timeval* tv, AvahiTimeoutCallback callback, void* userdata) {
  auto* t = new AvahiTimeout{callback, userdata, new QTimer};
  t->timer->setSingleShot(true);
  QObject::connect(t->timer, &QTimer::timeout, [t] { t->callback(t, t->userdata); });
  timeoutUpdate(t, tv);
  return t;
}

void timeoutFree(AvahiTimeout* t) {
  t->timer->stop();
  t->timer->disconnect();
  t->timer->deleteLater();
  delete t;
}

}  // namespace

AvahiQtPoll::AvahiQtPoll() {
  api_.userdata = this;
  api_.watch_new = watchNew;
  api_.watch_update = watchUpdate;
  api_.watch_get_events = watchGetEvents;
  api_.watch_free = watchFree;
  api_.timeout_new = timeoutNew;
  api_.timeout_update = timeoutUpdate;
  api_.timeout_free = timeoutFree;
}

}  // namespace tw
