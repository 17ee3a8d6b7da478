// Real sockets on the loopback interface: a protocol-speaking test peer and a
// way to run the event loop until something has happened.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framing.h"

namespace tw::test {

inline QCoreApplication& qtApp() {
  // Widget tests make their own QApplication first.
  if (QCoreApplication* existing = QCoreApplication::instance()) return *existing;
  static int argc = 1;
  static char name[] = "tilewhirl-test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

// Runs the event loop until `done` holds or `ms` pass; gives `done()`.
inline bool waitUntil(const std::function<bool()>& done, int ms = 5000) {
  qtApp();
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

// Runs the event loop for `ms` whatever happens.
inline void spin(int ms) {
  waitUntil([] { return false; }, ms);
}

class Peer {
 public:
  explicit Peer(quint16 port) {
    qtApp();
    QObject::connect(&socket_, &QTcpSocket::readyRead, [this] {
      const QByteArray bytes = socket_.readAll();
      splitter_.feed(std::string_view(bytes.constData(), std::size_t(bytes.size())), received);
    });
    QObject::connect(&socket_, &QTcpSocket::disconnected, [this] { closed = true; });
    socket_.connectToHost(QStringLiteral("127.0.0.1"), port);
  }
  // Connects and logs in under `name`; gives the peer once the host has
  // announced it.
  static std::unique_ptr<Peer> join(quint16 port, const std::string& name) {
    auto peer = std::make_unique<Peer>(port);
    const int seat = peer->seat();
    peer->say("CMD_logininfo+" + std::to_string(seat) + "+1.0.4+" + name);
    peer->waitFor(2);
    return peer;
  }
  void raw(const std::string& bytes) {
    socket_.write(bytes.data(), qint64(bytes.size()));
    socket_.flush();
  }
  void say(const std::string& message) { raw(message + '\xFF'); }
  bool waitFor(std::size_t count, int ms = 5000) {
    return waitUntil([&] { return received.size() >= count; }, ms);
  }
  // The seat the host gave, from its first message.
  int seat() {
    waitFor(1);
    if (received.empty()) return 0;
    return toIntOr(splitCommand(received.front()).body, 0);
  }
  std::vector<std::string> received;
  bool closed = false;

 private:
  QTcpSocket socket_;
  MessageSplitter splitter_;
};

}  // namespace tw::test
