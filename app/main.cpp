// tilewhirl: the game window. One copy per user session; it hosts a solo game
// without parameters, or hosts or joins as its parameters say.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "commands.h"
#include "host_service.h"
#include "pictures.h"
#include "standard_rules.h"
#include "previnst.h"
#include "settings.h"
#include "spy_list.h"
#include "tchat.h"

namespace {

// The desktop entry's name; the desktop groups the window with it.
constexpr auto kDesktopId = "org.tilewhirl.Tilewhirl";

bool wantsTextOnly(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i)
    for (const char* flag : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
      if (std::strcmp(argv[i], flag) == 0) return true;
  return false;
}

// An installed copy (its desktop entry beside it) keeps the user's files in
// the user's folders even when its own folder is writable, as it is for root.
bool installedCopy() {
  return QFile::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/applications/") +
                       QLatin1String(kDesktopId) + QStringLiteral(".desktop"));
}

// Where the hosting copy keeps its working word list: the folder it was started
// from, but the user's data folder for an installed copy (started from the
// menu, that would be the home folder).
std::filesystem::path wordListFolder() {
  if (!installedCopy()) return {};
  const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (data.isEmpty() || !QDir().mkpath(data)) return {};
  return data.toStdString();
}

std::string findSettings() {
  QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
  if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config/Tilewhirl");
  const QString exeDir = installedCopy() ? config : QCoreApplication::applicationDirPath();
  return tw::settingsPath(exeDir.toStdString(), config.toStdString());
}

void describe(QCommandLineParser& parser, const QCommandLineOption& port,
              const QCommandLineOption& newInstance, const std::string& settings) {
  parser.setApplicationDescription(
      QStringLiteral("Tilewhirl, a word game for up to six players.\n\n"
                     "Without parameters: a solo game hosted on this copy, played as \"You\".\n"
                     "With parameters: NAME HOST HOSTING, where HOSTING \"true\" hosts the game on\n"
                     "this copy (HOST is then not used) and anything else joins the game at HOST.\n\n"
                     "Settings file: %1")
          .arg(QString::fromStdString(settings)));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption(port);
  parser.addOption(newInstance);
  parser.addPositionalArgument(QStringLiteral("name"), QStringLiteral("Your player name."),
                               QStringLiteral("[name"));
  parser.addPositionalArgument(QStringLiteral("host"), QStringLiteral("Address of the game host."),
                               QStringLiteral("host"));
  parser.addPositionalArgument(QStringLiteral("hosting"), QStringLiteral("\"true\" to host on this copy."),
                               QStringLiteral("hosting]"));
}

}  // namespace

int main(int argc, char* argv[]) {
  QCommandLineOption port(QStringList{QStringLiteral("p"), QStringLiteral("port")},
                          QStringLiteral("TCP port to host or join on (default 7772)."), QStringLiteral("N"),
                          QString::number(tw::kGamePort));
  QCommandLineOption newInstance(
      QStringLiteral("new-instance"),
      QStringLiteral("Start even when a copy already runs (tests, or two copies side by side)."));
  const QString version = QString::fromLatin1(tw::kVersion.data(), qsizetype(tw::kVersion.size()));

  // Help and version need no display.
  if (wantsTextOnly(argc, argv)) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tilewhirl"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tilewhirl"));
    QCoreApplication::setApplicationVersion(version);
    QCommandLineParser parser;
    describe(parser, port, newInstance, findSettings());
    parser.process(app);
    return 0;
  }

  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("tilewhirl"));
  QCoreApplication::setOrganizationName(QStringLiteral("Tilewhirl"));
  QCoreApplication::setApplicationVersion(version);
  QApplication::setApplicationDisplayName(QStringLiteral("Tilewhirl"));
  QGuiApplication::setDesktopFileName(QLatin1String(kDesktopId));
  QApplication::setWindowIcon(tw::pictures::appIcon(256));
  const std::string settings = findSettings();
  QCommandLineParser parser;
  describe(parser, port, newInstance, settings);
  parser.process(app);

  bool portOk = false;
  const uint portNumber = parser.value(port).toUInt(&portOk);
  if (!portOk || portNumber > 65535) {
    std::fprintf(stderr, "tilewhirl: --port needs a number from 0 to 65535\n");
    return 2;
  }
  const QStringList params = parser.positionalArguments();
  if (!params.isEmpty() && params.size() != 3) {
    std::fprintf(stderr, "tilewhirl: give no parameters, or all three: NAME HOST HOSTING (see --help)\n");
    return 2;
  }

  tw::PREVINST previnst(tw::PREVINST::defaultName());
  if (!parser.isSet(newInstance) && !previnst.claim()) return 0;

  tw::StartOptions options;
  options.port = quint16(portNumber);
  options.settingsPath = settings;
  options.solo = params.isEmpty();
  if (!options.solo) {
    options.playerName = params[0];
    options.hostAddress = params[1];
    options.host = params[2] == QLatin1String("true");
  }

  // Windows in their order of creation; each lives until the program ends.
  tw::Tchat chat(options);
  tw::TDictn spell(wordListFolder(), tw::logLine);
  tw::HostService host(tw::standardRules(spell), tw::logLine);
  tw::Tspylist spylist(&chat);
  chat.setHost(&host);
  chat.setSpyList(&spylist);

  QObject::connect(&previnst, &tw::PREVINST::raiseRequested, &chat, &tw::Tchat::bringForward);
  QObject::connect(&chat, &tw::Tchat::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
  chat.show();
  return app.exec();
}
