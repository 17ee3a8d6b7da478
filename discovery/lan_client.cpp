// The Avahi client's life: made with AVAHI_CLIENT_NO_FAIL so that a missing
// daemon is a state, not an error; remade when the daemon disconnects.
#include "discovery/lan_client.h"

#include <QTimer>

#include <avahi-client/client.h>
#include <avahi-common/error.h>

namespace tw {

LanClient::LanClient(QObject* parent) : QObject(parent) {
  problem_ = QStringLiteral("starting");
  connectToDaemon();
}

LanClient::~LanClient() {
  if (client_) avahi_client_free(client_);
}

void LanClient::connectToDaemon() {
  int error = 0;
  client_ = avahi_client_new(poll_.poll(), AVAHI_CLIENT_NO_FAIL,
                             reinterpret_cast<AvahiClientCallback>(&LanClient::onState), this, &error);
  // Only a missing system bus or no memory fail here; try again later.
  if (!client_) {
    setProblem(QString::fromUtf8(avahi_strerror(error)));
    QTimer::singleShot(5000, this, [this] {
      if (!client_) connectToDaemon();
    });
  }
}

void LanClient::setProblem(const QString& why) {
  running_ = false;
  problem_ = why;
  emit lost();
}

void LanClient::onState(AvahiClient* client, int state, void* self) {
  auto* me = static_cast<LanClient*>(self);
  // Called from inside avahi_client_new, before client_ is set.
  me->client_ = client;
  switch (AvahiClientState(state)) {
    case AVAHI_CLIENT_S_RUNNING:
      me->running_ = true;
      me->problem_.clear();
      emit me->started();
      break;
    case AVAHI_CLIENT_S_REGISTERING:
    case AVAHI_CLIENT_S_COLLISION:
      // The daemon is choosing its host name; what we registered waits.
      break;
    case AVAHI_CLIENT_CONNECTING:
      me->setProblem(QStringLiteral("the Avahi daemon is not running"));
      break;
    case AVAHI_CLIENT_FAILURE: {
      const int error = avahi_client_errno(client);
      me->setProblem(QString::fromUtf8(avahi_strerror(error)));
      if (error == AVAHI_ERR_DISCONNECTED) {
        // The daemon went away: free this client outside its own callback
        // and wait for the daemon with a new one.
        QTimer::singleShot(0, me, [me, client] {
          if (me->client_ != client) return;
          avahi_client_free(client);
          me->client_ = nullptr;
          me->connectToDaemon();
        });
      }
      break;
    }
  }
}

}  // namespace tw
