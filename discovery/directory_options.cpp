// Reading the host's directory options.
#include "discovery/directory_options.h"

namespace tw {

void DirectoryOptions::addTo(QCommandLineParser& parser) const {
  for (const auto* o : {&directory, &listed, &inviteOnly, &noPortMapping}) parser.addOption(*o);
}

std::unique_ptr<DirectoryRegistration> DirectoryOptions::make(const QCommandLineParser& parser, QString& error) const {
  error.clear();
  if (!parser.isSet(directory)) {
    if (parser.isSet(listed) || parser.isSet(inviteOnly) || parser.isSet(noPortMapping))
      error = QStringLiteral("--public, --invite-only and --no-port-mapping go with --directory");
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
  // The title is the listing's: the host's --title, else seat 1's player.
  auto registration = std::make_unique<DirectoryRegistration>(host, port, !parser.isSet(inviteOnly), std::string());
  if (!parser.isSet(noPortMapping) && DirectoryRegistration::routerBetween(host))
    registration->setPortMapper(std::make_unique<RouterPortMapper>());
  return registration;
}

}  // namespace tw
