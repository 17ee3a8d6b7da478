// tilewhirl-host: the game host without a window, for dedicated servers.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

#include "commands.h"
#include "directory_options.h"
#include "host_service.h"
#include "standard_rules.h"

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char byte = 1;
  [[maybe_unused]] auto n = ::write(signalPipe[1], &byte, 1);
}

// Turns SIGINT and SIGTERM into a clean quit of the event loop.
void quitOnSignals(QCoreApplication& app) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
    char byte;
    [[maybe_unused]] auto n = ::read(signalPipe[0], &byte, 1);
    tw::logLine("stopping");
    app.quit();
  });
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A closed log pipe must not end the host before it has cleaned up.
  std::signal(SIGPIPE, SIG_IGN);
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
                     "with the same name from the same address.\n\n"
                     "While it runs, the word list lies in the file \"English\" in the current\n"
                     "folder: written at start and removed at the end, or, when a file of that\n"
                     "name is already there (a list of your own), used and left as it is. The\n"
                     "built-in list left there by a host that was stopped hard is taken over\n"
                     "and removed at the end.\n\n"
                     "A connection that has not logged in 30 seconds after it was accepted is\n"
                     "closed, and so is one that stops reading what is sent to it. Only a few\n"
                     "connections from one address may wait to log in at the same time (seat 1\n"
                     "aside), and the address of a player whom seat 1 removes gets no seat for a\n"
                     "while: further connections from there are told that the host is full.\n"
                     "A limit of 0 is no limit."));
  parser.addHelpOption();
  parser.addVersionOption();
  QCommandLineOption portOption(QStringList{QStringLiteral("p"), QStringLiteral("port")},
                                QStringLiteral("TCP port to listen on (default %1).").arg(tw::kGamePort),
                                QStringLiteral("N"), QString::number(tw::kGamePort));
  QCommandLineOption speedOption(
      QStringLiteral("bot-speed"),
      QStringLiteral("Pace of the computer player: slow, normal or fast (default normal)."),
      QStringLiteral("speed"), QStringLiteral("normal"));
  QCommandLineOption levelOption(
      QStringLiteral("computer-level"),
      QStringLiteral("Strength of the computer player: beginner, club or expert (default beginner).\n"
                     "Beginner tries random short words; Club and Expert remember the cells\n"
                     "turned over and search the whole word list, Expert for the best word."),
      QStringLiteral("level"), QStringLiteral("beginner"));
  QCommandLineOption openBoardOption(
      QStringLiteral("open-board"),
      QStringLiteral("Tell every player every letter, face down or not, as older hosts did\n"
                     "(by default a letter is told only once its tile is turned over)."));
  const tw::AddressLimits defaults;
  QCommandLineOption pendingOption(
      QStringLiteral("max-pending-per-address"),
      QStringLiteral("Connections from one address that may wait to log in at the same time "
                     "(default %1).")
          .arg(defaults.maxPendingPerAddress),
      QStringLiteral("N"), QString::number(defaults.maxPendingPerAddress));
  QCommandLineOption playersOption(
      QStringLiteral("max-players-per-address"),
      QStringLiteral("Players and spectators from one address (default 0: no limit, as friends "
                     "behind one router share an address)."),
      QStringLiteral("N"), QString::number(defaults.maxPlayersPerAddress));
  QCommandLineOption banOption(
      QStringLiteral("kick-ban-minutes"),
      QStringLiteral("Minutes that the address of a removed player gets no seat (default %1).")
          .arg(defaults.kickBanMinutes),
      QStringLiteral("N"), QString::number(defaults.kickBanMinutes));
  parser.addOption(portOption);
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
    std::fprintf(stderr, "tilewhirl-host: --computer-level must be beginner, club or expert\n");
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
  tw::HostService host(tw::standardRules(spell), tw::logLine);
  host.server().setBotSpeed(botSpeed);
  host.server().setOpenBoard(parser.isSet(openBoardOption));
  host.server().setComputerLevel(*level);
  host.server().setAddressLimits(limits);
  QString directoryError;
  const auto registration = directoryOptions.make(parser, directoryError);
  if (!directoryError.isEmpty()) {
    std::fprintf(stderr, "tilewhirl-host: %s\n", qPrintable(directoryError));
    return 2;
  }
  if (!host.listen(quint16(port))) return 1;
  if (registration) host.addListingSink(registration.get());
  quitOnSignals(app);
  const int status = app.exec();
  if (registration) host.removeListingSink(registration.get());
  return status;
}
