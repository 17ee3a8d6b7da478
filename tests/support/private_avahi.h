// A private Avahi daemon for tests: its own D-Bus system bus in a scratch
// folder, and the daemon in a network namespace of its own whose loopback
// carries multicast, so nothing reaches or comes from the machine's network.
// Both die with the test process, even when it crashes.
#pragma once

#include <sys/prctl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>
#include <cstdlib>
#include <memory>

#include "support/loopback.h"

namespace tw::test {

class PrivateAvahi {
 public:
  // Empty when the machine can run one; otherwise why not.
  static QString unavailable() {
    if (::geteuid() != 0) return QStringLiteral("needs root to start a private avahi-daemon");
    for (const char* tool : {"avahi-daemon", "dbus-daemon", "unshare", "ip"})
      if (QStandardPaths::findExecutable(QString::fromLatin1(tool), {"/usr/sbin", "/usr/bin", "/sbin", "/bin"}).isEmpty())
        return QStringLiteral("%1 is not installed (tools/deps.sh installs it)").arg(QLatin1String(tool));
    return {};
  }

  // Starts the bus and points this process's system bus at it. libdbus reads
  // the address once per process, so this comes before anything else in the
  // process talks to D-Bus (ctest runs each test in a process of its own).
  bool startBus() {
    write("bus.conf",
          "<busconfig><type>system</type><listen>unix:path=" + dir_.filePath("bus") +
              "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/><allow own=\"*\"/>"
              "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/></policy></busconfig>\n");
    write("avahi.conf",
          "[server]\nhost-name=tilewhirl-test\nuse-ipv4=yes\nuse-ipv6=no\nallow-interfaces=lo\nenable-dbus=yes\n"
          "[wide-area]\nenable-wide-area=no\n[publish]\npublish-hinfo=no\npublish-workstation=no\n");
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", qPrintable("unix:path=" + dir_.filePath("bus")), 1);
    bus_ = launch(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--nofork"), QStringLiteral("--config-file=") + dir_.filePath("bus.conf")});
    return waitUntil([&] { return QFile::exists(dir_.filePath("bus")); }, 5000);
  }

  // Starts the daemon; true once it serves the bus.
  bool startDaemon() {
    // /run is private to the daemon's namespace, so its pid file meets no other daemon's.
    const QString script = QStringLiteral(
                               "ip link set lo up && ip link set lo multicast on && mount -t tmpfs none /run && "
                               "exec avahi-daemon --no-drop-root --no-chroot --no-rlimits -f ") +
                           dir_.filePath("avahi.conf");
    daemon_ = launch(QStringLiteral("unshare"), {QStringLiteral("-n"), QStringLiteral("-m"), QStringLiteral("sh"),
                                                 QStringLiteral("-c"), script});
    return waitUntil([&] { return daemonLog().contains("Server startup complete"); }, 8000);
  }

  void killDaemon() {
    if (!daemon_) return;
    daemon_->kill();
    daemon_->waitForFinished(3000);
    daemon_.reset();
  }

  QByteArray daemonLog() {
    if (daemon_) log_ += daemon_->readAll();
    return log_;
  }

  QString busAddress() const { return "unix:path=" + dir_.filePath("bus"); }

  ~PrivateAvahi() {
    killDaemon();
    if (bus_) {
      bus_->kill();
      bus_->waitForFinished(3000);
    }
  }

 private:
  void write(const char* name, const QString& text) {
    QFile file(dir_.filePath(QString::fromLatin1(name)));
    if (file.open(QIODevice::WriteOnly)) file.write(text.toUtf8());
  }
  std::unique_ptr<QProcess> launch(const QString& program, const QStringList& arguments) {
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process->start(program, arguments);
    process->waitForStarted(3000);
    return process;
  }

  QTemporaryDir dir_;
  std::unique_ptr<QProcess> bus_;
  std::unique_ptr<QProcess> daemon_;
  QByteArray log_;
};

}  // namespace tw::test
