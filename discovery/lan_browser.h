// Browses the local network for _tilewhirl._tcp services, resolves each to
// an address, port and TXT records, and keeps the bounded list of games.
#pragma once

#include <QObject>
#include <QTimer>
#include <map>
#include <memory>
#include <string>

#include <avahi-client/lookup.h>

#include "discovery/lan_client.h"
#include "discovery/lan_games.h"

namespace tw {

class LanBrowser final : public QObject {
  Q_OBJECT

 public:
  explicit LanBrowser(QObject* parent = nullptr);
  ~LanBrowser() override;

  std::vector<LanGame> games() const { return games_.games(); }
  // One line when the network cannot be searched, with the reason; empty
  // while it can.
  QString problem() const;

  // Services resolved at most at once; a flood of announcements beyond the
  // list's bound is not followed.
  static constexpr std::size_t kMaxResolvers = kMaxLanGames + 56;
  static constexpr int kSettleMs = 100;

 signals:
  // The list or the problem changed (at most once per kSettleMs).
  void changed();

 private:
  struct Sighting {
    int interface;
    int protocol;
    std::string name;
    std::string domain;
    auto operator<=>(const Sighting&) const = default;
  };
  static void onBrowse(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol,
                       AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
                       AvahiLookupResultFlags flags, void* self);
  struct Lookup;
  static void onTxt(AvahiRecordBrowser*, AvahiIfIndex interface, AvahiProtocol protocol, AvahiBrowserEvent event,
                    const char* name, std::uint16_t clazz, std::uint16_t type, const void* rdata, std::size_t size,
                    AvahiLookupResultFlags flags, void* lookup);
  static void onResolve(AvahiServiceResolver* resolver, AvahiIfIndex interface, AvahiProtocol protocol,
                        AvahiResolverEvent event, const char* name, const char* type, const char* domain,
                        const char* hostName, const AvahiAddress* address, std::uint16_t port,
                        AvahiStringList* txt, AvahiLookupResultFlags flags, void* self);
  void start();
  void stop();
  void touch();
  static int sightingOf(int interface, int protocol) { return interface * 4 + protocol; }

  LanClient client_;
  AvahiServiceBrowser* browser_ = nullptr;
  // Per sighting: the resolver gives the address, port and first records; a
  // browser of the TXT record itself hears a change at once, where the
  // resolver would hear it only once the old record has expired.
  struct Lookup {
    LanBrowser* owner;
    std::string service;
    int sighting;
    AvahiServiceResolver* resolver = nullptr;
    AvahiRecordBrowser* txt = nullptr;
    ~Lookup();
  };
  std::map<Sighting, std::unique_ptr<Lookup>> resolvers_;
  LanGames games_;
  QTimer settle_;
};

}  // namespace tw
