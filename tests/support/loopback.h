// Real sockets on the loopback interface: a protocol-speaking test peer and a
// way to run the event loop until something has happened.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/commands.h"
#include "net/framing.h"

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
  // Connects from the loopback address `from` to `to`. With a name it answers
  // every "CMD_sendlogininfo" with a login, as the game's client does, and
  // shows `rejoinKey` first when it has one.
  explicit Peer(quint16 port, std::string name = {}, const QString& from = QStringLiteral("127.0.0.1"),
                const QString& to = QStringLiteral("127.0.0.1"))
      : name_(std::move(name)) {
    qtApp();
    QObject::connect(&socket_, &QTcpSocket::readyRead, [this] {
      const QByteArray bytes = socket_.readAll();
      std::vector<std::string> got;
      splitter_.feed(std::string_view(bytes.constData(), std::size_t(bytes.size())), got);
      for (const std::string& m : got) {
        const Command c = splitCommand(m);
        // Kept apart, so that what is received reads as an older client sees it.
        if (c.name == "CMD_rejoinkey") {
          key_ = m.substr(m.rfind('+') + 1);
          continue;
        }
        received.push_back(m);
        if (!name_.empty() && c.name == "CMD_sendlogininfo") {
          if (!rejoinKey.empty()) say("CMD_rejoinkey+" + std::string(c.body) + "+" + rejoinKey);
          say("CMD_logininfo+" + std::string(c.body) + "+" + std::string(tw::kVersion) + "+" + name_);
        }
      }
    });
    QObject::connect(&socket_, &QTcpSocket::disconnected, [this] { closed = true; });
    socket_.bind(QHostAddress(from));
    socket_.connectToHost(to, port);
  }
  // Connects and logs in under `name`; gives the peer once the host has
  // announced it.
  static std::unique_ptr<Peer> join(quint16 port, const std::string& name,
                                    const QString& from = QStringLiteral("127.0.0.1"),
                                    const QString& to = QStringLiteral("127.0.0.1")) {
    auto peer = std::make_unique<Peer>(port, name, from, to);
    peer->waitFor(2);
    waitUntil([&] { return peer->find("CMD_newplayerinfo+") < peer->received.size(); });
    return peer;
  }
  // The index of the first message starting with `prefix`; size() when none.
  std::size_t find(const std::string& prefix) const {
    std::size_t i = 0;
    while (i < received.size() && received[i].rfind(prefix, 0) != 0) ++i;
    return i;
  }
  void raw(const std::string& bytes) {
    socket_.write(bytes.data(), qint64(bytes.size()));
    socket_.flush();
  }
  void say(const std::string& message) { raw(message + '\xFF'); }
  bool waitFor(std::size_t count, int ms = 5000) {
    return waitUntil([&] { return received.size() >= count; }, ms);
  }
  // The seat the host gave last.
  int seat() {
    waitFor(1);
    for (auto it = received.rbegin(); it != received.rend(); ++it)
      if (it->rfind("CMD_sendlogininfo+", 0) == 0) return toIntOr(splitCommand(*it).body, 0);
    return 0;
  }
  // The key the host gave this peer's login last; empty when none.
  const std::string& key() const { return key_; }
  std::vector<std::string> received;
  std::string rejoinKey;
  bool closed = false;

 private:
  std::string name_;
  std::string key_;
  QTcpSocket socket_;
  MessageSplitter splitter_;
};

}  // namespace tw::test
