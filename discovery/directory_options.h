// The command-line options of a host that registers with a game directory,
// kept beside the registration so that the host's main only hands them on.
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <memory>

#include "discovery/directory_registration.h"

namespace tw {

struct DirectoryOptions {
  QCommandLineOption directory{QStringLiteral("directory"),
                               QStringLiteral("Register the game with the game directory at HOST:PORT (port %1 "
                                              "unless given), which gives it an invite code.")
                                   .arg(dir::kRegistrationPort),
                               QStringLiteral("HOST:PORT")};
  QCommandLineOption listed{QStringLiteral("public"),
                            QStringLiteral("With --directory: list the game for everyone (the default).")};
  QCommandLineOption inviteOnly{QStringLiteral("invite-only"),
                                QStringLiteral("With --directory: only players with the invite code find the game.")};
  QCommandLineOption noPortMapping{
      QStringLiteral("no-port-mapping"),
      QStringLiteral("With --directory: do not ask the home router (NAT-PMP, UPnP IGD) to open the game "
                     "port. By default it is asked before registering, the opening is renewed while "
                     "the host runs and removed when it stops.")};

  void addTo(QCommandLineParser& parser) const;
  // The registration the options ask for, to be added to the host's listing
  // sinks; nullptr when they ask for none or are wrong (then `error` says why).
  std::unique_ptr<DirectoryRegistration> make(const QCommandLineParser& parser, QString& error) const;
};

}  // namespace tw
