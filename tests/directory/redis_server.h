// A redis-server of the test's own, on a free loopback port and without
// files, stopped when the test ends; it can hang and come back.
#pragma once

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <csignal>
#include <string>
#include <sys/prctl.h>

#include "support/loopback.h"

namespace tw::test {

inline quint16 freePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

// Stopped with SIGTERM when it goes out of scope.
class RedisServer {
 public:
  RedisServer() : port_(freePort()) {
    // A test that crashes takes its redis-server with it.
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_.start(QStringLiteral("redis-server"),
                   {QStringLiteral("--port"), QString::number(port_), QStringLiteral("--bind"),
                    QStringLiteral("127.0.0.1"), QStringLiteral("--save"), QString(), QStringLiteral("--appendonly"),
                    QStringLiteral("no"), QStringLiteral("--dir"), QStringLiteral("/tmp")});
    process_.waitForStarted(5000);
    waitUntil([&] {
      QTcpSocket s;
      s.connectToHost(QStringLiteral("127.0.0.1"), port_);
      return s.waitForConnected(100);
    });
  }
  ~RedisServer() {
    resume();
    process_.terminate();
    if (!process_.waitForFinished(5000)) process_.kill();
  }
  std::string url() const { return "redis://127.0.0.1:" + std::to_string(port_); }
  // A hung server: connections stay open, nothing answers.
  void pause() { ::kill(pid_t(process_.processId()), SIGSTOP); }
  void resume() { ::kill(pid_t(process_.processId()), SIGCONT); }

 private:
  quint16 port_;
  QProcess process_;
};

}  // namespace tw::test
