// A host's registration with a game directory on the Qt event loop: the
// DirectoryLink core on a QTcpSocket and two timers. Whatever the directory
// does, the game goes on; the registration only logs and tries again. With a
// router port mapper, the router is asked first (for a few seconds at most),
// and the directory checks the game again whenever the router's answer changes.
#pragma once

#include <QObject>
#include <QTcpSocket>
#include <QTimer>
#include <functional>
#include <memory>

#include "discovery/directory_link.h"
#include "discovery/router_port_mapper.h"
#include "net/log.h"
#include "net/qt_timer.h"
#include "net/sock.h"

namespace tw {

// As a ListingSink of the host, it registers at the first listing (under the
// listing's title unless it was given one) and leaves at the withdrawal.
class DirectoryRegistration final : public QObject, public ListingSink, private DirectoryLinkOutput {
  Q_OBJECT

 public:
  // A connection attempt that has not got through by then is given up.
  static constexpr int kConnectMs = 10000;
  // The registration waits at most this long for the router's first answer.
  static constexpr int kMappingWaitMs = 3000;
  // Takes a player who came through the directory's relay: his connection, as
  // if accepted (the taker owns it from now on), his address from the relay's
  // PROXY line, and what he sent after it.
  // Relayed players whose connections are being opened at once, at most.
  static constexpr int kMostOpening = 8;
  using TakePlayer = std::function<void(Sock* sock, const std::string& address, const QByteArray& first)>;

  // An empty `title` takes the listing's.
  DirectoryRegistration(const QString& host, quint16 port, bool isPublic, std::string title, LogFn log = logLine,
                        QObject* parent = nullptr);
  ~DirectoryRegistration() override;

  // Splits "HOST:PORT", "HOST" or "[v6]:PORT"; false when the port is not a port.
  static bool splitAddress(const QString& where, QString& host, quint16& port);
  // False for a directory on this machine or this network (by its address):
  // no router stands between, so none is asked to open a port.
  static bool routerBetween(const QString& directoryHost);

  // Asks the router to open the game port before registering; before the first listing.
  void setPortMapper(std::unique_ptr<RouterPortMapper> mapper, int waitMs = kMappingWaitMs);

  void publish(const GameListing& listing) override;
  void withdraw() override;
  const DirectoryLink& link() const { return link_; }
  // With a taker, the game takes the directory's relay when it is offered.
  void setPlayerTaker(TakePlayer take);

 signals:
  void codeChanged(const QString& shownCode);
  void reachabilityChanged(const tw::Reachability& how);

 private:
  void open() override;
  void send(const std::string& line) override;
  void close() override;
  void codeGiven(const std::string& shownCode) override;
  void reachability(const Reachability& how) override;
  void register_();
  void openRelay(const std::string& token) override;
  void log(const std::string& line) override { log_(line); }

  QString host_;
  quint16 port_;
  LogFn log_;
  QTcpSocket* socket_ = nullptr;
  QTimer connectTimer_;
  QtTimer pingTimer_;
  QtTimer retryTimer_;
  std::string title_;
  DirectoryLink link_;
  QTimer mappingWait_;
  bool waitingForRouter_ = false;
  TakePlayer take_;
  int opening_ = 0;
  // Declared last: destroyed first, it removes the mapping while the rest stands.
  std::unique_ptr<RouterPortMapper> mapper_;
};

}  // namespace tw
