// tilewhirl-host-load: drives a running host with several chatting clients
// and checks that every line comes back, in order per sender.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <vector>

#include "net/commands.h"
#include "net/framing.h"

namespace {

struct Client {
  QTcpSocket socket;
  tw::MessageSplitter splitter;
  int seat = 0;
  int sent = 0;
  std::vector<int> nextFrom = std::vector<int>(10, 0);  // next line expected from each seat
  long received = 0;
  long outOfOrder = 0;
};

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Connects N clients to a Tilewhirl host, logs them in, has each send LINES chat lines,\n"
                     "checks that every client receives every line in order per sender, then stays\n"
                     "connected and idle for IDLE seconds (to measure the host's idle cost)."));
  parser.addHelpOption();
  QCommandLineOption portOpt(QStringLiteral("port"),
                             QStringLiteral("Host port (default %1).").arg(tw::kGamePort),
                             QStringLiteral("N"), QString::number(tw::kGamePort));
  QCommandLineOption clientsOpt(QStringLiteral("clients"), QStringLiteral("Clients (default 9)."),
                                QStringLiteral("N"), QStringLiteral("9"));
  QCommandLineOption linesOpt(QStringLiteral("lines"), QStringLiteral("Lines per client (default 1000)."),
                              QStringLiteral("N"), QStringLiteral("1000"));
  QCommandLineOption idleOpt(QStringLiteral("idle"), QStringLiteral("Idle seconds at the end (default 10)."),
                             QStringLiteral("S"), QStringLiteral("10"));
  parser.addOptions({portOpt, clientsOpt, linesOpt, idleOpt});
  parser.process(app);
  const quint16 port = quint16(parser.value(portOpt).toUInt());
  const int clients = parser.value(clientsOpt).toInt();
  const int lines = parser.value(linesOpt).toInt();
  const int idle = parser.value(idleOpt).toInt();
  if (clients < 1 || clients > 9 || lines < 1) {
    std::fprintf(stderr, "tilewhirl-host-load: --clients must be 1..9 and --lines at least 1\n");
    return 2;
  }

  std::vector<std::unique_ptr<Client>> all;
  const long expected = long(clients) * lines;
  int loggedIn = 0;
  QElapsedTimer clock;

  auto sendLines = [&](Client& c) {
    // Keep a few lines in flight per client, as a person typing quickly would not exceed.
    while (c.sent < lines && c.sent - c.nextFrom[c.seat] < 8) {
      const std::string m =
          "CMD_chat+" + std::to_string(c.seat) + "+line " + std::to_string(c.sent) + "|clBlack\xFF";
      c.socket.write(m.data(), qint64(m.size()));
      ++c.sent;
    }
  };

  for (int i = 0; i < clients; ++i) {
    all.push_back(std::make_unique<Client>());
    Client& c = *all.back();
    QObject::connect(&c.socket, &QTcpSocket::readyRead, [&] {
      const QByteArray bytes = c.socket.readAll();
      std::vector<std::string> messages;
      c.splitter.feed(std::string_view(bytes.constData(), std::size_t(bytes.size())), messages);
      for (const auto& m : messages) {
        const tw::Command cmd = tw::splitCommand(m);
        tw::FieldReader body(cmd.body);
        if (cmd.name == "CMD_sendlogininfo") {
          c.seat = tw::toInt(cmd.body);
          const std::string login =
              "CMD_logininfo+" + std::to_string(c.seat) + "+" + std::string(tw::kVersion) + "+load" + std::to_string(c.seat) + "\xFF";
          c.socket.write(login.data(), qint64(login.size()));
          if (++loggedIn == clients) {
            clock.start();
            for (auto& other : all) sendLines(*other);
          }
        } else if (cmd.name == "CMD_chat") {
          const int from = tw::toIntOr(body.next(), 0);
          const auto text = body.rest();
          const auto at = text.find("line ");
          const int n = at == std::string_view::npos
                            ? -1
                            : tw::toIntOr(text.substr(at + 5, text.find('|') - at - 5), -1);
          if (from < 1 || from > 9 || n != c.nextFrom[from]) ++c.outOfOrder;
          if (from >= 1 && from <= 9) c.nextFrom[from] = n + 1;
          ++c.received;
          if (from == c.seat) sendLines(c);
        }
      }
      long done = 0;
      for (auto& x : all) done += x->received;
      if (done == expected * clients) {
        const double seconds = clock.elapsed() / 1000.0;
        long bad = 0;
        for (auto& x : all) bad += x->outOfOrder;
        std::printf(
            "relayed %ld lines to each of %d clients in %.2f s (%.0f messages handled/s), out of order: "
            "%ld\n",
            expected, clients, seconds, expected / seconds, bad);
        std::fflush(stdout);
        QTimer::singleShot(idle * 1000, &app, [&app, bad] { app.exit(bad ? 1 : 0); });
      }
    });
    c.socket.connectToHost(QStringLiteral("127.0.0.1"), port);
  }
  QTimer::singleShot(10 * 60 * 1000, &app, [&app] {
    std::fprintf(stderr, "tilewhirl-host-load: timed out\n");
    app.exit(1);
  });
  return app.exec();
}
