// Sock: the non-blocking stream socket both ends of the game use. One Sock
// listens (the host) or holds one connection (an accepted seat, or a client).
// Every event arrives on the thread's event loop; nothing here blocks.
#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

namespace tw {

class Sock : public QObject {
  Q_OBJECT

 public:
  // Notices for a log; errors and closes have events of their own.
  enum class SocketInfo { Lookup, Connect, Listen, Receive, Send, Accept };
  Q_ENUM(SocketInfo)

  // One read event takes at most this many bytes; more arrive as further events.
  static constexpr qint64 kReceiveArea = 32768;
  // How long a closed connection may take to send what was queued for it.
  static constexpr int kLingerMs = 5000;

  explicit Sock(QObject* parent = nullptr);
  ~Sock() override;

  void setHostName(const QString& host);
  QString hostName() const { return hostName_; }
  void setPortName(const QString& port);
  QString portName() const { return portName_; }

  // Starts connecting to hostName:portName. Gives the connected flag; when a
  // socket already exists nothing else happens.
  bool open();
  // Closes the connection or stops listening. A connection that closes
  // reports onClose.
  bool close();

  // Starts or stops listening on portName (port 0 picks a free one) at the
  // address hostName (every local address when empty). A failure is
  // reported as onError and gives false.
  bool setListen(bool on);
  bool listening() const;
  QString localAddress() const;
  quint16 localPort() const;

  // Takes one waiting connection as a new Sock owned by this one (the caller
  // may delete it earlier). Gives nullptr when none is waiting.
  Sock* accept();

  // Queues bytes for sending; what the system does not take at once goes later.
  bool send(const QByteArray& bytes);
  // Takes every byte received so far.
  QByteArray receive();
  // Bytes queued by send() that the system has not taken yet.
  qint64 unsentBytes() const;

  bool connected() const { return connected_; }
  QString peerAddress() const;

  // The slot number of an accepted seat connection.
  int tag = 0;

 signals:
  void onConnect(tw::Sock* sock);
  void onRead(tw::Sock* sock, qint64 count);
  void onDisconnect(tw::Sock* sock);
  void onAccept(tw::Sock* sock);
  void onInfo(tw::Sock* sock, tw::Sock::SocketInfo kind, const QString& message);
  // Something failed; `reason` is the system's words for it. A connect that
  // fails reports only this: it never was open, so nothing closes.
  void onError(tw::Sock* sock, QAbstractSocket::SocketError error, const QString& reason);
  // The connection closed, from either end.
  void onClose(tw::Sock* sock);

 private:
  void adopt(QTcpSocket* socket);
  // Lets go of the socket: what was queued still goes out, for a while.
  void release();
  void report(SocketInfo kind, const QString& message) { emit onInfo(this, kind, message); }
  void fail(QAbstractSocket::SocketError error, const QString& reason) { emit onError(this, error, reason); }

  QString hostName_;
  QString portName_;
  QTcpServer* server_ = nullptr;
  QTcpSocket* socket_ = nullptr;
  bool connected_ = false;
};

}  // namespace tw
