// tilewhirl-host: the game host without a window, for dedicated servers.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <cstdio>
#include <memory>

#include "discovery/directory_options.h"
#include "discovery/lan_announcer.h"
#include "host/host_service.h"
#include "host/standard_rules.h"
#include "net/commands.h"
#include "net/numeric_option.h"
#include "net/quit_on_signals.h"

namespace {

// The levels with the points a turn each scores on average.
QString levelsHelp() {
  QString text = QStringLiteral("Strength of the computer player (default beginner):");
  for (int level = 0; level < tw::kComputerLevelCount; ++level)
    text += QStringLiteral("\n  ") + QString::fromStdString(tw::levelLabel(tw::ComputerLevel(level)));
  return text + QStringLiteral("\nThe levels above Beginner remember the cells turned over and search the "
                               "word list,\nthe lower ones among the commoner words only.");
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("tilewhirl-host"));
  QCoreApplication::setApplicationVersion(
      QString::fromLatin1(tw::kVersion.data(), qsizetype(tw::kVersion.size())));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Hosts a Tilewhirl game without a window. Players join with the game's\n"
                     "join command; the first to connect holds seat 1 and with it the host's\n"
                     "rights (removing players, starting games). A player whose line drops\n"
                     "during a game keeps his seat, score and bar until the game ends (the\n"
                     "computer plays for him meanwhile); he gets them back by joining again\n"
                     "with the same name from the same address, even when every other slot is\n"
                     "taken. Only the key his window was given at login replaces a connection\n"
                     "that still seems alive, and a second login on a connection is ignored.\n\n"
                     "While it runs, the word list lies in the file \"English\" in the current\n"
                     "folder: written at start and removed at the end, or, when a file of that\n"
                     "name is already there (a list of your own), used and left as it is. The\n"
                     "built-in list left there by a host that was stopped hard is taken over\n"
                     "and removed at the end.\n\n"
                     "A connection that has not logged in 30 seconds after it was accepted is\n"
                     "closed, and so is one that stops reading what is sent to it. Only a few\n"
                     "connections from one address may wait to log in at the same time (seat 1\n"
                     "aside), and the addresses of a player whom seat 1 removes (each one his\n"
                     "name logged in from, and any it logs in from during the ban) get no seat\n"
                     "for a while: further connections from there are told that the host is\n"
                     "full. IPv6 addresses count by their first 64 bits.\n"
                     "A limit of 0 is no limit.\n\n"
                     "A game that its directory cannot reach takes the directory's relay:\n"
                     "players connect to a port of the directory, and the host opens a\n"
                     "connection to the directory for each. The player's address then comes\n"
                     "from the directory's PROXY line on that connection (never from a line\n"
                     "sent to the listening port), so the limits above hold for him too."));
  parser.addHelpOption();
  parser.addVersionOption();
  QCommandLineOption portOption(QStringList{QStringLiteral("p"), QStringLiteral("port")},
                                QStringLiteral("TCP port to listen on (default %1).").arg(tw::kGamePort),
                                QStringLiteral("N"), QString::number(tw::kGamePort));
  QCommandLineOption bindOption(
      QStringLiteral("bind"),
      QStringLiteral("Listen on this local address only (default: every address)."),
      QStringLiteral("address"));
  QCommandLineOption speedOption(
      QStringLiteral("bot-speed"),
      QStringLiteral("Pace of the computer player: slow, normal or fast (default normal)."),
      QStringLiteral("speed"), QStringLiteral("normal"));
  QCommandLineOption levelOption(
      QStringLiteral("computer-level"),
      levelsHelp(),
      QStringLiteral("level"), QStringLiteral("beginner"));
  QCommandLineOption openBoardOption(
      QStringLiteral("open-board"),
      QStringLiteral("Tell every player every letter, face down or not, as older hosts did\n"
                     "(by default a letter is told only once its tile is turned over)."));
  const tw::AddressLimits defaults;
  const QCommandLineOption pendingOption = tw::numericOption(
      "max-pending-per-address", "Connections from one address that may wait to log in at the same time (default %1).",
      defaults.maxPendingPerAddress);
  const QCommandLineOption playersOption = tw::numericOption(
      "max-players-per-address",
      "Players and spectators from one address (default %1: friends behind one router share an address, yet one "
      "address cannot hold every slot; 0 is no limit).",
      defaults.maxPlayersPerAddress);
  const QCommandLineOption banOption = tw::numericOption(
      "kick-ban-minutes", "Minutes that the address of a removed player gets no seat (default %1).",
      defaults.kickBanMinutes);
  QCommandLineOption titleOption(
      QStringLiteral("title"),
      QStringLiteral("The game's title in the lists of games, on this network and in a game\n"
                     "directory (default: the name of the player in seat 1)."),
      QStringLiteral("text"));
  QCommandLineOption noAnnounceOption(
      QStringLiteral("no-announce"),
      QStringLiteral("Do not announce the game on the local network (by default it is announced\n"
                     "through the Avahi daemon, when one runs, as a _tilewhirl._tcp service)."));
  parser.addOption(portOption);
  parser.addOption(bindOption);
  parser.addOption(titleOption);
  parser.addOption(noAnnounceOption);
  parser.addOption(speedOption);
  parser.addOption(levelOption);
  parser.addOption(openBoardOption);
  parser.addOption(pendingOption);
  parser.addOption(playersOption);
  parser.addOption(banOption);
  const tw::DirectoryOptions directoryOptions;
  directoryOptions.addTo(parser);
  parser.process(app);

  bool portOk = false;
  const uint port = parser.value(portOption).toUInt(&portOk);
  if (!portOk || port > 65535) {
    std::fprintf(stderr, "tilewhirl-host: --port needs a number from 0 to 65535\n");
    return 2;
  }
  const QString speed = parser.value(speedOption).toLower();
  int botSpeed = 0;
  if (speed == QLatin1String("slow"))
    botSpeed = tw::rules::kBotSlowMs;
  else if (speed == QLatin1String("normal"))
    botSpeed = tw::rules::kBotNormalMs;
  else if (speed == QLatin1String("fast"))
    botSpeed = tw::rules::kBotFastMs;
  else {
    std::fprintf(stderr, "tilewhirl-host: --bot-speed must be slow, normal or fast\n");
    return 2;
  }

  const QByteArray levelText = parser.value(levelOption).toLatin1();
  const auto level =
      tw::parseComputerLevel(std::string_view(levelText.constData(), std::size_t(levelText.size())));
  if (!level) {
    std::fprintf(stderr, "tilewhirl-host: --computer-level must be beginner, casual, club, strong or expert\n");
    return 2;
  }

  tw::AddressLimits limits;
  const struct {
    const QCommandLineOption& option;
    int& value;
    uint most;
  } counts[] = {{pendingOption, limits.maxPendingPerAddress, 1000},
                {playersOption, limits.maxPlayersPerAddress, 1000},
                {banOption, limits.kickBanMinutes, 525600}};
  for (const auto& count : counts) {
    bool ok = false;
    const uint n = parser.value(count.option).toUInt(&ok);
    if (!ok || n > count.most) {
      std::fprintf(stderr, "tilewhirl-host: --%s needs a number from 0 to %u\n",
                   qPrintable(count.option.names().constFirst()), count.most);
      return 2;
    }
    count.value = int(n);
  }

  tw::TDictn spell({}, tw::logLine);
  // Made before the host, so that it is still there when the host withdraws the game.
  std::unique_ptr<tw::LanAnnouncer> announcer;
  tw::HostService host(tw::standardRules(spell), tw::logLine);
  host.server().setBotSpeed(botSpeed);
  host.server().setOpenBoard(parser.isSet(openBoardOption));
  host.server().setComputerLevel(*level);
  host.server().setAddressLimits(limits);
  host.setTitle(parser.value(titleOption).toStdString());
  if (!parser.isSet(noAnnounceOption)) {
    announcer = std::make_unique<tw::LanAnnouncer>(tw::logLine);
    host.addListingSink(announcer.get());
  }
  QString directoryError;
  const auto registration = directoryOptions.make(parser, directoryError);
  if (!directoryError.isEmpty()) {
    std::fprintf(stderr, "tilewhirl-host: %s\n", qPrintable(directoryError));
    return 2;
  }
  const QString bind = parser.value(bindOption).trimmed();
  if (!bind.isEmpty() && QHostAddress(bind).isNull()) {
    std::fprintf(stderr, "tilewhirl-host: --bind needs an IP address of this machine\n");
    return 2;
  }
  if (!host.listen(quint16(port), bind)) return 1;
  if (registration) {
    registration->setPlayerTaker([&host](tw::Sock* sock, const std::string& address, const QByteArray& first) {
      host.takeConnection(sock, address, first);
    });
    host.addListingSink(registration.get());
  }
  tw::quitOnSignals(app);
  const int status = app.exec();
  if (registration) host.removeListingSink(registration.get());
  return status;
}
