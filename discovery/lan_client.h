// One connection to the Avahi daemon on the Qt event loop. It survives a
// missing or restarting daemon: it waits for the daemon to appear and, when
// the daemon goes away, starts over, telling its owner both ways.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "discovery/avahi_poll.h"

struct AvahiClient;

namespace tw {

class LanClient : public QObject {
  Q_OBJECT

 public:
  explicit LanClient(QObject* parent = nullptr);
  ~LanClient() override;

  // The client while the daemon serves it; null otherwise. Whatever was made
  // with it goes when `lost` is emitted.
  AvahiClient* running() const { return running_ ? client_ : nullptr; }
  // Why the daemon does not serve us; empty while it does.
  const QString& problem() const { return problem_; }

 signals:
  void started();
  // The daemon went or never came; `problem()` says why.
  void lost();

 private:
  static void onState(AvahiClient* client, int state, void* self);
  void connectToDaemon();
  void setProblem(const QString& why);

  AvahiQtPoll poll_;
  AvahiClient* client_ = nullptr;
  bool running_ = false;
  QString problem_;
};

}  // namespace tw
