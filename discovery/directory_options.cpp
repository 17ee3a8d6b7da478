// Reading the host's directory options.
#include "directory_options.h"

#include <QSysInfo>

namespace tw {

void DirectoryOptions::addTo(QCommandLineParser& parser) const {
  for (const auto* o : {&directory, &listed, &inviteOnly, &title}) parser.addOption(*o);
}

std::unique_ptr<DirectoryRegistration> DirectoryOptions::start(const QCommandLineParser& parser, int gamePort,
                                                               QString& error) const {
  error.clear();
  if (!parser.isSet(directory)) {
    if (parser.isSet(listed) || parser.isSet(inviteOnly) || parser.isSet(title))
      error = QStringLiteral("--public, --invite-only and --title go with --directory");
    return nullptr;
  }
  if (parser.isSet(listed) && parser.isSet(inviteOnly)) {
    error = QStringLiteral("--public or --invite-only, not both");
    return nullptr;
  }
  QString host;
  quint16 port = 0;
  if (!DirectoryRegistration::splitAddress(parser.value(directory), host, port)) {
    error = QStringLiteral("--directory needs HOST or HOST:PORT");
    return nullptr;
  }
  const QString name = parser.isSet(title) ? parser.value(title) : QSysInfo::machineHostName();
  auto registration = std::make_unique<DirectoryRegistration>(host, port, gamePort, !parser.isSet(inviteOnly),
                                                              name.toLatin1().toStdString());
  registration->start();
  return registration;
}

}  // namespace tw
