// A joined copy's session core and the host over real sockets: the copy's
// line is cut where the host cannot see it, and the key the host gave at
// login brings the copy back into its seat past the connection the host
// still holds, while the copy's name alone would not.
#include <gtest/gtest.h>

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <filesystem>

#include "client/client_service.h"
#include "host/host_service.h"
#include "support/client_fixture.h"
#include "support/loopback.h"

namespace tw::test {
namespace {

// A line to the host whose near end can be cut alone: the host's connection
// stays open, as when a home router drops a line without a word.
class HalfLine {
 public:
  explicit HalfLine(quint16 to) {
    server_.listen(QHostAddress::LocalHost);
    QObject::connect(&server_, &QTcpServer::newConnection, [this, to] {
      QTcpSocket* near = server_.nextPendingConnection();
      auto* far = new QTcpSocket(&server_);
      far->connectToHost(QHostAddress::LocalHost, to);
      QObject::connect(near, &QTcpSocket::readyRead, far, [=] { far->write(near->readAll()); });
      QObject::connect(far, &QTcpSocket::readyRead, near, [=] { near->write(far->readAll()); });
      near_ = near;
    });
  }
  quint16 port() const { return server_.serverPort(); }
  void cutNear() {
    if (near_) near_->abort();
  }

 private:
  QTcpServer server_;
  QPointer<QTcpSocket> near_;
};

TEST(RejoinKey, ACutLineComesBackWithItsKeyPastTheConnectionTheHostStillHolds) {
  qtApp();
  std::vector<std::string> log;
  HostService host([&](const std::string& l) { log.push_back(l); });
  ASSERT_TRUE(host.listen(0));
  const TServer& server = host.server();
  auto ann = Peer::join(host.port(), "Ann");
  HalfLine line(host.port());
  const std::string settings = scratchPath("tw-rejoin-key", ".ini").string();
  FakeView view;
  {
    ClientService bob(view, settings, [](const std::string&) {});
    view.session = &bob.client();
    bob.client().setPlayerName("Bob");
    bob.joinGame(QStringLiteral("127.0.0.1"), line.port());
    ASSERT_TRUE(waitUntil([&] { return server.seat(2).name == "Bob"; }));
    ann->say("CMD_startgame+Ann+100+60+f+1+0+");
    ASSERT_TRUE(waitUntil([&] { return bob.client().game().state().seatOnTurn == 1; }));
    // His housemate's name does not move him.
    auto mate = Peer::join(host.port(), "Bob");
    EXPECT_EQ(mate->seat(), 3);

    line.cutNear();
    ASSERT_TRUE(waitUntil([&] { return bob.client().rejoining(); }));
    ASSERT_TRUE(waitUntil([&] { return bob.client().loggedIn() && !bob.client().rejoining(); }));
    EXPECT_EQ(bob.client().ownSeat(), 2);
    EXPECT_TRUE(server.seat(2).connected);
    EXPECT_FALSE(server.held(2));
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "seat 2: Bob is back from 127.0.0.1 on a new connection; the old one goes"),
              log.end());
    EXPECT_FALSE(mate->closed);
    view.session = nullptr;
  }
  std::filesystem::remove(settings);
}

}  // namespace
}  // namespace tw::test
