// Sock over loopback: connect, send, receive, close and the events they raise.
#include <gtest/gtest.h>

#include "loopback.h"
#include "sock.h"

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

  QStringList infos;
  bool disconnected = false;
  QObject::connect(accepted, &Sock::onDisconnect, [&](Sock*) { disconnected = true; });
  QObject::connect(accepted, &Sock::onInfo, [&](Sock*, Sock::SocketInfo, const QString& m) { infos << m; });
  client.close();
  ASSERT_TRUE(waitUntil([&] { return disconnected; }));
  EXPECT_TRUE(infos.contains(QStringLiteral("Socket Closed")));
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
  bool error = false;
  QStringList closes;
  bool disconnected = false;
  QObject::connect(&client, &Sock::onInfo, [&](Sock*, Sock::SocketInfo kind, const QString& message) {
    if (kind == Sock::SocketInfo::Error) error = true;
    if (kind == Sock::SocketInfo::Close) closes << message;
  });
  QObject::connect(&client, &Sock::onDisconnect, [&](Sock*) { disconnected = true; });
  client.open();
  ASSERT_TRUE(waitUntil([&] { return error; }));
  EXPECT_FALSE(client.connected());
  // Only the error: a connection that never opened reports no close.
  spin(50);
  EXPECT_TRUE(closes.isEmpty()) << closes.join(QStringLiteral(", ")).toStdString();
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
