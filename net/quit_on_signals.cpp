// The signal handler only writes a byte; the event loop reads it and quits.
#include "net/quit_on_signals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "net/log.h"

namespace tw {

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char byte = 1;
  [[maybe_unused]] auto n = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

void quitOnSignals(QCoreApplication& app) {
  if (signalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
    char byte;
    [[maybe_unused]] auto n = ::read(signalPipe[0], &byte, 1);
    logLine("stopping");
    app.quit();
  });
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  // A closed log pipe must not end the program before it has cleaned up.
  std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace tw
