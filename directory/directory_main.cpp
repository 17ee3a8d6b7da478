// tilewhirl-directory: the game directory that hosts register with, for a
// public server. Hosts get invite codes; players look games up over HTTP.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "directory/directory_service.h"
#include "net/commands.h"
#include "net/log.h"
#include "net/numeric_option.h"
#include "net/quit_on_signals.h"

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("tilewhirl-directory"));
  QCoreApplication::setApplicationVersion(
      QString::fromLatin1(tw::kVersion.data(), qsizetype(tw::kVersion.size())));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("The Tilewhirl game directory. Game hosts (tilewhirl-host --directory) register\n"
                     "with it over TCP and get an invite code to give their friends; games that are\n"
                     "public and that the directory can reach are listed for everyone.\n\n"
                     "Look-ups over HTTP: GET /games.json (the public games), GET /invite/CODE (where\n"
                     "the game with that invite code is), GET / (a page listing the public games).\n\n"
                     "The list is made again at most once a second and sent gzipped to clients that\n"
                     "ask for gzip; with its ETag shown back (If-None-Match) an unchanged list costs\n"
                     "a 304 answer.\n\n"
                     "A game whose host says nothing for 30 seconds leaves the directory. On every\n"
                     "registration the directory connects back to the game port once to check that\n"
                     "it reaches that host; the check takes no seat. A game that it cannot reach is\n"
                     "offered the relay: a port of the directory's own (from --relay-ports) where\n"
                     "players connect and are passed on to the host over a connection that the host\n"
                     "opens to the directory when asked; the host learns each player's address from\n"
                     "a PROXY protocol line. The invite code and the list point to that port. With\n"
                     "--redis, a Redis that does not answer within a second is logged and tried again\n"
                     "after a growing pause; meanwhile registrations and look-ups fail rather than wait."));
  parser.addHelpOption();
  parser.addVersionOption();
  const tw::dir::Limits defaults;
  const QCommandLineOption portOption =
      tw::numericOption("port", "TCP port for host registrations (default %1).", tw::dir::kRegistrationPort);
  const QCommandLineOption httpPortOption =
      tw::numericOption("http-port", "TCP port for the HTTP look-ups (default %1).", tw::dir::kLookupPort);
  const QCommandLineOption httpAddressOption(
      QStringLiteral("http-address"), QStringLiteral("Address the look-ups listen on (default 0.0.0.0)."),
      QStringLiteral("address"), QStringLiteral("0.0.0.0"));
  const QCommandLineOption redisOption(
      QStringLiteral("redis"),
      QStringLiteral("Keep the games in Redis at URL (redis://host:port) instead of in memory, so that\n"
                     "several directory processes share one list."),
      QStringLiteral("URL"));
  const QCommandLineOption gamesOption =
      tw::numericOption("max-games-per-address", "Games registered from one address at a time (default %1).",
              defaults.gamesPerAddress);
  const QCommandLineOption lookupsOption =
      tw::numericOption("max-invite-lookups", "Invite look-ups a minute from one address (default %1).",
              defaults.lookupsPerMinute);
  const QCommandLineOption connectionsOption =
      tw::numericOption("max-games", "Host connections in all (default %1).", defaults.maxConnections);
  const QCommandLineOption httpConnectionsOption =
      tw::numericOption("max-http-connections-per-address",
              "HTTP look-up connections open at once from one address (default %1); more are\n"
              "answered 429 and closed.",
              defaults.httpConnectionsPerAddress);
  const QCommandLineOption relayPortsOption(
      QStringLiteral("relay-ports"),
      QStringLiteral("Ports for relayed games, one each, FIRST-LAST (default 20000-20999), or none "
                     "to relay no game."),
      QStringLiteral("FIRST-LAST"), QStringLiteral("20000-20999"));
  const QCommandLineOption relayGamesOption =
      tw::numericOption("relay-games", "Games relayed at a time (default %1).", defaults.relayGames);
  const QCommandLineOption relayRateOption =
      tw::numericOption("relay-rate",
              "Bytes a second carried for one relayed game, both ways together (default %1; 0 is no limit).",
              defaults.relayBytesPerSecond);
  const QCommandLineOption relayAddressOption(
      QStringLiteral("relay-address"),
      QStringLiteral("The address players are given for a relayed game (default: the address its "
                     "host reached the directory at)."),
      QStringLiteral("address"));
  for (const auto* o : {&portOption, &httpPortOption, &httpAddressOption, &redisOption, &gamesOption,
                        &lookupsOption, &connectionsOption, &httpConnectionsOption, &relayPortsOption,
                        &relayGamesOption, &relayRateOption, &relayAddressOption})
    parser.addOption(*o);
  parser.process(app);

  auto number = [&](const QCommandLineOption& option, uint low, uint high, uint& out) {
    bool ok = false;
    out = parser.value(option).toUInt(&ok);
    if (ok && out >= low && out <= high) return true;
    std::fprintf(stderr, "tilewhirl-directory: --%s needs a number from %u to %u\n",
                 qPrintable(option.names().constFirst()), low, high);
    return false;
  };
  uint port = 0, httpPort = 0, games = 0, lookups = 0, connections = 0, httpConnections = 0, relayGames = 0,
       relayRate = 0;
  if (!number(portOption, 0, 65535, port) || !number(httpPortOption, 0, 65535, httpPort) ||
      !number(gamesOption, 1, 100000, games) || !number(lookupsOption, 1, 100000, lookups) ||
      !number(connectionsOption, 1, 1000000, connections) ||
      !number(httpConnectionsOption, 1, 1000, httpConnections) ||
      !number(relayGamesOption, 0, 100000, relayGames) || !number(relayRateOption, 0, 1u << 30, relayRate))
    return 2;
  tw::dir::Limits limits;
  limits.gamesPerAddress = int(games);
  limits.lookupsPerMinute = int(lookups);
  limits.maxConnections = connections;
  limits.httpConnectionsPerAddress = int(httpConnections);
  limits.relayGames = int(relayGames);
  limits.relayBytesPerSecond = int(relayRate);
  const QString relayPorts = parser.value(relayPortsOption);
  if (relayPorts != QLatin1String("none")) {
    const QStringList ends = relayPorts.split(QLatin1Char('-'));
    bool firstOk = false, lastOk = false;
    const uint first = ends.value(0).toUInt(&firstOk), last = ends.value(1).toUInt(&lastOk);
    if (ends.size() != 2 || !firstOk || !lastOk || first == 0 || first > last || last > 65535) {
      std::fprintf(stderr,
                   "tilewhirl-directory: --relay-ports needs FIRST-LAST (ports 1 to 65535) or none\n");
      return 2;
    }
    limits.firstRelayPort = int(first);
    limits.lastRelayPort = int(last);
  }

  // With Redis, registrations, invite look-ups and the list each have a
  // connection of their own: none waits behind another's round trips.
  std::unique_ptr<tw::dir::Storage> storage, lookupStorage, listStorage;
  if (parser.isSet(redisOption)) {
    std::string error;
    for (auto* s : {&storage, &lookupStorage, &listStorage}) {
      *s = tw::dir::openRedisStorage(parser.value(redisOption).toStdString(), error);
      if (*s) continue;
      std::fprintf(stderr, "tilewhirl-directory: cannot use Redis at %s: %s\n",
                   qPrintable(parser.value(redisOption)), error.c_str());
      return 1;
    }
  } else {
    storage = std::make_unique<tw::dir::MemoryStorage>();
  }

  tw::dir::DirectoryService directory(*storage, limits);
  directory.setRelayAddress(parser.value(relayAddressOption).toStdString());
  if (!directory.listen(quint16(port))) return 1;
  tw::dir::LookupServer http(lookupStorage ? *lookupStorage : *storage, limits, directory.port(), 1000,
                             listStorage.get());
  std::string error;
  if (!http.start(parser.value(httpAddressOption).toStdString(), int(httpPort), error)) {
    std::fprintf(stderr, "tilewhirl-directory: %s\n", error.c_str());
    return 1;
  }
  tw::logLine("registrations on port " + std::to_string(directory.port()) + ", look-ups on port " +
              std::to_string(http.port()) +
              (parser.isSet(redisOption) ? ", games in Redis" : ", games in memory"));
  tw::quitOnSignals(app);
  const int status = app.exec();
  http.stop();
  return status;
}
