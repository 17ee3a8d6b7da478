// A host's registration with a game directory on the Qt event loop: the
// DirectoryLink core on a QTcpSocket and two timers. Whatever the directory
// does, the game goes on; the registration only logs and tries again.
#pragma once

#include <QObject>
#include <QTcpSocket>
#include <QTimer>
#include <functional>

#include "directory_link.h"
#include "log.h"
#include "qt_timer.h"

namespace tw {

// As a ListingSink of the host, it registers at the first listing (under the
// listing's title unless it was given one) and leaves at the withdrawal.
class DirectoryRegistration final : public QObject, public ListingSink, private DirectoryLinkOutput {
  Q_OBJECT

 public:
  // A connection attempt that has not got through by then is given up.
  static constexpr int kConnectMs = 10000;

  // An empty `title` takes the listing's.
  DirectoryRegistration(const QString& host, quint16 port, bool isPublic, std::string title, LogFn log = logLine,
                        QObject* parent = nullptr);
  ~DirectoryRegistration() override;

  // Splits "HOST:PORT", "HOST" or "[v6]:PORT"; false when the port is not a port.
  static bool splitAddress(const QString& where, QString& host, quint16& port);

  void publish(const GameListing& listing) override;
  void withdraw() override { link_.stop(); }
  const DirectoryLink& link() const { return link_; }

 signals:
  void codeChanged(const QString& shownCode);
  void reachabilityChanged(bool direct, const QString& why);

 private:
  void open() override;
  void send(const std::string& line) override;
  void close() override;
  void codeGiven(const std::string& shownCode) override;
  void reachability(bool direct, const std::string& why) override;
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
};

}  // namespace tw
