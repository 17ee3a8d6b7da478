// Announces the host's game on the local network as a DNS-SD service while
// the host listens, and keeps its TXT records current.
#pragma once

#include <QObject>
#include <optional>

#include "discovery/game_listing.h"
#include "discovery/lan_client.h"
#include "net/log.h"

struct AvahiEntryGroup;

namespace tw {

class LanAnnouncer final : public QObject, public ListingSink {
  Q_OBJECT

 public:
  explicit LanAnnouncer(LogFn log = logLine, QObject* parent = nullptr);
  ~LanAnnouncer() override;

  void publish(const GameListing& listing) override;
  void withdraw() override;

  // The service name asked for last (after any conflict).
  const QString& serviceName() const { return name_; }
  bool announced() const { return established_; }

 signals:
  // The announcement is established on the network, or is no more.
  void announcedChanged(bool announced);

 private:
  static void onGroup(AvahiEntryGroup* group, int state, void* self);
  void announce();
  void drop();
  bool addService();

  LogFn log_;
  LanClient client_;
  std::optional<GameListing> listing_;
  AvahiEntryGroup* group_ = nullptr;
  QString name_;            // the service's name on the network
  std::string announcedTitle_;
  std::string nameTitle_;   // the title name_ was made from
  bool established_ = false;
};

}  // namespace tw
