// Sock over loopback: connect, send, receive, close and the events they raise.
#include <gtest/gtest.h>

#include "net/sock.h"
#include "support/loopback.h"

namespace tw::test {
namespace {

TEST(Sock, ConnectsSendsReceivesAndReportsARemoteClose) {
  qtApp();
  Sock listener;
  listener.setPortName(QStringLiteral("0"));
  ASSERT_TRUE(listener.setListen(true));
  Sock* accepted = nullptr;
  QObject::connect(&listener, &Sock::onAccept, [&](Sock*) { accepted = listener.accept(); });

  Sock client;
  client.setHostName(QStringLiteral("127.0.0.1"));
  client.setPortName(QString::number(listener.localPort()));
  bool connectedEvent = false;
  QObject::connect(&client, &Sock::onConnect, [&](Sock*) { connectedEvent = true; });
  EXPECT_FALSE(client.open());
  ASSERT_TRUE(waitUntil([&] { return connectedEvent && accepted; }));
  EXPECT_TRUE(client.connected());
  EXPECT_TRUE(accepted->connected());

  QByteArray got;
  QObject::connect(accepted, &Sock::onRead, [&](Sock* s, qint64) { got += s->receive(); });
  client.send(QByteArray("CMD_x+1\xFF", 8));
  ASSERT_TRUE(waitUntil([&] { return got.size() == 8; }));

  int closes = 0;
  bool disconnected = false;
  QObject::connect(accepted, &Sock::onDisconnect, [&](Sock*) { disconnected = true; });
  QObject::connect(accepted, &Sock::onClose, [&](Sock*) { ++closes; });
  client.close();
  ASSERT_TRUE(waitUntil([&] { return disconnected; }));
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(accepted->connected());
}

TEST(Sock, AConnectToAClosedPortReportsAnErrorWithoutThrowing) {
  qtApp();
  quint16 port;
  {
    Sock probe;
    probe.setPortName(QStringLiteral("0"));
    ASSERT_TRUE(probe.setListen(true));
    port = probe.localPort();
  }
  Sock client;
  client.setHostName(QStringLiteral("127.0.0.1"));
  client.setPortName(QString::number(port));
  QList<QAbstractSocket::SocketError> errors;
  QString reason;
  int closes = 0;
  bool disconnected = false;
  QObject::connect(&client, &Sock::onError, [&](Sock*, QAbstractSocket::SocketError e, const QString& why) {
    errors << e;
    reason = why;
  });
  QObject::connect(&client, &Sock::onClose, [&](Sock*) { ++closes; });
  QObject::connect(&client, &Sock::onDisconnect, [&](Sock*) { disconnected = true; });
  client.open();
  ASSERT_TRUE(waitUntil([&] { return !errors.isEmpty(); }));
  EXPECT_EQ(errors.first(), QAbstractSocket::ConnectionRefusedError);
  EXPECT_FALSE(reason.isEmpty());
  EXPECT_FALSE(client.connected());
  // Only the error: a connection that never opened reports no close.
  spin(50);
  EXPECT_EQ(closes, 0);
  EXPECT_EQ(errors.size(), 1);
  EXPECT_FALSE(disconnected);
  // A closed component can be opened again.
  EXPECT_FALSE(client.open());
}

TEST(Sock, RefusesWhatItCannotDo) {
  qtApp();
  Sock sock;
  EXPECT_FALSE(sock.send("x"));
  EXPECT_EQ(sock.accept(), nullptr);
  sock.setPortName(QStringLiteral("not a port"));
  EXPECT_FALSE(sock.setListen(true));
}

}  // namespace
}  // namespace tw::test
