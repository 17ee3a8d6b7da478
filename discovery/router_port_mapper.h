// The router's port mapping on the Qt event loop: the PortMapper core over
// libnatpmp's non-blocking calls (stepped by socket readiness and a timer) and
// miniupnpc's blocking ones (on a worker thread each, the answer posted back).
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "discovery/port_mapping.h"
#include "net/log.h"
#include "net/qt_timer.h"

namespace tw {

// Where the router is, when not where the network says (tests, odd networks).
struct RouterOptions {
  // NAT-PMP asks this IPv4 address instead of the default route's gateway.
  QString natPmpGateway;
  // UPnP asks this minissdpd socket before searching by multicast (empty: the library's own path).
  QString minissdpdSocket;
  // UPnP takes the router's description from here and searches for nothing.
  QString upnpDescriptionUrl;
  int upnpSearchMs = 2000;
};

class RouterPortMapper final : public QObject, private RouterPorts {
  Q_OBJECT

 public:
  // How long the end of the program waits for the router to close the port.
  static constexpr int kRemoveWaitMs = 2000;

  explicit RouterPortMapper(RouterOptions options = {}, LogFn log = logLine, QObject* parent = nullptr);
  // Removes the mapping, waiting at most kRemoveWaitMs for the router.
  ~RouterPortMapper() override;

  void start(int internalPort) { core_.start(internalPort); }
  void stop() { core_.stop(); }
  const PortMapper& core() const { return core_; }

 signals:
  // The first attempt ended, or the mapping came, moved or went.
  void changed();

 private:
  struct NatPmpCall;
  struct UpnpShared;

  void request(int number, MappingMethod method, int internalPort, int externalPort, int lifetimeSec) override;
  void cancel() override;
  void remove(MappingMethod method, int internalPort, int externalPort) override;
  // A request sent; nullptr (and why) when it could not be.
  std::unique_ptr<NatPmpCall> natPmpCall(int number, int internalPort, int externalPort, int lifetimeSec,
                                         std::string& why);
  void natPmpStep(NatPmpCall* call);
  void retire(std::unique_ptr<NatPmpCall> call);
  void runUpnp(int number, int internalPort, int externalPort, int lifetimeSec);

  RouterOptions options_;
  LogFn log_;
  QtTimer timer_;
  PortMapper core_;
  std::unique_ptr<NatPmpCall> natPmp_;
  std::vector<std::unique_ptr<NatPmpCall>> removals_;
  std::vector<std::unique_ptr<NatPmpCall>> retired_;
  std::shared_ptr<UpnpShared> upnp_;
};

}  // namespace tw
