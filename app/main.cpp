// tilewhirl: the game window. One copy per user session; it hosts a solo game
// without parameters, or hosts or joins as its parameters say.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStatusBar>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "client/settings.h"
#include "client/start_options.h"
#include "client/tally.h"
#include "client/web_addresses.h"
#include "discovery/directory_registration.h"
#include "discovery/lan_announcer.h"
#include "host/host_service.h"
#include "host/standard_rules.h"
#include "net/commands.h"
#include "net/quit_on_signals.h"
#include "windows/about.h"
#include "windows/connect.h"
#include "windows/download.h"
#include "windows/help.h"
#include "windows/invite_bar.h"
#include "windows/phrases.h"
#include "windows/pictures.h"
#include "windows/previnst.h"
#include "windows/spy_list.h"
#include "windows/tally_list.h"
#include "windows/tchat.h"

namespace {

// The desktop entry's name; the desktop groups the window with it.
constexpr auto kDesktopId = "org.tilewhirl.Tilewhirl";

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

std::string findTally() {
  QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (data.isEmpty()) data = QDir::homePath() + QStringLiteral("/.local/share/Tilewhirl");
  const QString exeDir = installedCopy() ? data : QCoreApplication::applicationDirPath();
  return tw::tallyPath(exeDir.toStdString(), data.toStdString());
}

void setNames() {
  QCoreApplication::setApplicationName(QStringLiteral("tilewhirl"));
  QCoreApplication::setOrganizationName(QStringLiteral("Tilewhirl"));
  QCoreApplication::setApplicationVersion(
      QString::fromLatin1(tw::kVersion.data(), qsizetype(tw::kVersion.size())));
}

}  // namespace

int main(int argc, char* argv[]) {
  const tw::StartArgs start = tw::parseStartArgs(std::vector<std::string>(argv + 1, argv + argc));
  // Qt sees none of the parameters: a name such as "-reverse" or "-platform"
  // would otherwise be taken as one of its own options.
  int qtArgc = 1;

  // Help, version and mistakes in the program's own options need no display.
  if (start.action != tw::StartArgs::Action::Run) {
    QCoreApplication app(qtArgc, argv);
    setNames();
    switch (start.action) {
      case tw::StartArgs::Action::Help:
        std::fputs(tw::startHelp(findSettings(), findTally()).c_str(), stdout);
        return 0;
      case tw::StartArgs::Action::Version:
        std::printf("tilewhirl %s\n", std::string(tw::kVersion).c_str());
        return 0;
      default:
        std::fprintf(stderr, "tilewhirl: %s (see --help)\n", start.error.c_str());
        return 2;
    }
  }

  QApplication app(qtArgc, argv);
  setNames();
  QApplication::setApplicationDisplayName(QStringLiteral("Tilewhirl"));
  QGuiApplication::setDesktopFileName(QLatin1String(kDesktopId));
  QApplication::setWindowIcon(tw::pictures::appIcon(256));

  tw::PREVINST previnst(tw::PREVINST::defaultName());
  if (!start.newInstance && !previnst.claim()) return 0;

  tw::StartOptions options;
  options.port = quint16(start.port);
  options.settingsPath = findSettings();
  options.solo = start.solo();
  options.connect = start.solo() || start.complete();
  if (!options.solo) {
    options.playerName = QString::fromLocal8Bit(start.params[0]);
    if (start.params.size() > 1) options.hostAddress = QString::fromLocal8Bit(start.params[1]);
    options.host = start.hosting();
  }

  // The tally outlives every window: the game mirror feeds it and the tally
  // window shows it.
  tw::Tally tally(findTally(), tw::logLine);
  // Windows in their order of creation; each lives until the program ends.
  tw::Tchat chat(options);
  chat.client().game().setTally(&tally);
  const tw::SettingsStore& settings = chat.client().settingsStore();
  tw::Tdownload download(tw::Tdownload::defaultPlaces(settings), &chat);
  tw::Thelp help(&chat);
  tw::Tphrases phrases(&chat);
  // Only a copy that hosts builds a host and its word list; one that joins needs neither.
  const bool hosting = tw::startPlan(options.solo, options.connect, options.host, {}).connection ==
                       tw::StartPlan::Connection::Host;
  std::unique_ptr<tw::TDictn> spell;
  // Made before the host, so that it is still there when the host withdraws the game.
  std::unique_ptr<tw::LanAnnouncer> announcer;
  std::unique_ptr<tw::DirectoryRegistration> registration;
  std::unique_ptr<tw::HostService> host;
  if (hosting) {
    spell = std::make_unique<tw::TDictn>(wordListFolder(), tw::logLine);
    host = std::make_unique<tw::HostService>(tw::standardRules(*spell), tw::logLine);
    // A game hosted here is announced on the local network unless the player said no.
    if (settings.loadJoin().announce) {
      announcer = std::make_unique<tw::LanAnnouncer>(tw::logLine);
      host->addListingSink(announcer.get());
    }
    // ... and registered with the game directory when the player asked for it.
    const tw::JoinChoices::Listing listing = settings.loadJoin().listing;
    const QString directory = QString::fromStdString(settings.loadDirectory(tw::kDirectoryAddress).address);
    QString directoryHost;
    quint16 directoryPort = 0;
    if (listing != tw::JoinChoices::kThisNetwork &&
        tw::DirectoryRegistration::splitAddress(directory, directoryHost, directoryPort) &&
        !directoryHost.isEmpty()) {
      registration = std::make_unique<tw::DirectoryRegistration>(
          directoryHost, directoryPort, listing == tw::JoinChoices::kListedPublicly, std::string(), tw::logLine);
      // The home router is asked to open the game port unless the directory is on this network.
      if (tw::DirectoryRegistration::routerBetween(directoryHost))
        registration->setPortMapper(std::make_unique<tw::RouterPortMapper>(tw::RouterOptions{}, tw::logLine));
      // Players the directory relays come in over connections the registration opens.
      registration->setPlayerTaker([h = host.get()](tw::Sock* sock, const std::string& address, const QByteArray& first) {
        h->takeConnection(sock, address, first);
      });
      host->addListingSink(registration.get());
      auto* bar = new tw::InviteBar(&chat);
      chat.statusBar()->addWidget(bar);
      QObject::connect(registration.get(), &tw::DirectoryRegistration::codeChanged, bar,
                       &tw::InviteBar::showCode);
      QObject::connect(registration.get(), &tw::DirectoryRegistration::reachabilityChanged, bar,
                       &tw::InviteBar::showReachability);
    }
  }
  tw::Tspylist spylist(&chat);
  tw::Ttallylist tallylist(tally, &chat);
  tw::Tabout about(&chat);
  tw::Tconnect hostOrJoin(settings, &chat);
  chat.setHost(host.get());
  chat.setSpyList(&spylist);
  chat.setWindows({&download, &help, &phrases, &tallylist, &about, &hostOrJoin});

  QObject::connect(&previnst, &tw::PREVINST::raiseRequested, &chat, &tw::Tchat::bringForward);
  QObject::connect(&chat, &tw::Tchat::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
  chat.show();
  // Stopped from outside, the window goes as it does when closed: the working
  // word list and the tally's lock are removed on the way out.
  tw::quitOnSignals(app);
  return app.exec();
}
