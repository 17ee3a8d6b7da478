// Browsing: one service browser while the daemon serves us, one resolver per
// sighting kept open so that TXT changes arrive, and the list of games.
#include "discovery/lan_browser.h"

#include <net/if.h>

#include <avahi-common/address.h>
#include <avahi-common/domain.h>
#include <avahi-common/error.h>
#include <avahi-common/strlst.h>

namespace tw {

LanBrowser::LanBrowser(QObject* parent) : QObject(parent) {
  settle_.setSingleShot(true);
  settle_.setInterval(kSettleMs);
  connect(&settle_, &QTimer::timeout, this, &LanBrowser::changed);
  connect(&client_, &LanClient::started, this, [this] {
    start();
    touch();
  });
  connect(&client_, &LanClient::lost, this, [this] {
    stop();
    games_.clear();
    touch();
  });
  if (client_.running()) start();
}

LanBrowser::~LanBrowser() { stop(); }

QString LanBrowser::problem() const {
  if (client_.running()) return {};
  return QStringLiteral("This network cannot be searched: %1.").arg(client_.problem());
}

void LanBrowser::touch() {
  if (!settle_.isActive()) settle_.start();
}

void LanBrowser::start() {
  if (browser_) return;
  browser_ = avahi_service_browser_new(client_.running(), AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, kLanServiceType,
                                       nullptr, AvahiLookupFlags(0), &LanBrowser::onBrowse, this);
}

LanBrowser::Lookup::~Lookup() {
  if (txt) avahi_record_browser_free(txt);
  if (resolver) avahi_service_resolver_free(resolver);
}

void LanBrowser::stop() {
  resolvers_.clear();
  if (browser_) avahi_service_browser_free(browser_);
  browser_ = nullptr;
}

void LanBrowser::onBrowse(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol,
                          AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
                          AvahiLookupResultFlags, void* self) {
  auto* me = static_cast<LanBrowser*>(self);
  switch (event) {
    case AVAHI_BROWSER_NEW: {
      Sighting key{interface, protocol, name, domain};
      if (me->resolvers_.count(key) || me->resolvers_.size() >= kMaxResolvers) return;
      auto lookup = std::make_unique<Lookup>(Lookup{me, cleanLanText(name, 63), sightingOf(interface, protocol)});
      lookup->resolver = avahi_service_resolver_new(me->client_.running(), interface, protocol, name, type, domain,
                                                    protocol, AvahiLookupFlags(0), &LanBrowser::onResolve, me);
      char full[AVAHI_DOMAIN_NAME_MAX] = {};
      if (avahi_service_name_join(full, sizeof full, name, type, domain) == 0)
        lookup->txt = avahi_record_browser_new(me->client_.running(), interface, protocol, full, AVAHI_DNS_CLASS_IN,
                                               AVAHI_DNS_TYPE_TXT, AvahiLookupFlags(0), &LanBrowser::onTxt,
                                               lookup.get());
      if (lookup->resolver) me->resolvers_.emplace(std::move(key), std::move(lookup));
      break;
    }
    case AVAHI_BROWSER_REMOVE: {
      auto it = me->resolvers_.find(Sighting{interface, protocol, name, domain});
      if (it == me->resolvers_.end()) return;
      me->resolvers_.erase(it);
      if (me->games_.remove(name, sightingOf(interface, protocol))) me->touch();
      break;
    }
    case AVAHI_BROWSER_FAILURE:
    case AVAHI_BROWSER_ALL_FOR_NOW:
    case AVAHI_BROWSER_CACHE_EXHAUSTED:
      break;
  }
}

void LanBrowser::onTxt(AvahiRecordBrowser*, AvahiIfIndex, AvahiProtocol, AvahiBrowserEvent event, const char*,
                       std::uint16_t, std::uint16_t, const void* rdata, std::size_t size, AvahiLookupResultFlags,
                       void* lookup) {
  auto* l = static_cast<Lookup*>(lookup);
  // Only a game already resolved is updated; the resolver brings the rest.
  const LanGame* known = l->owner->games_.find(l->service);
  if (event != AVAHI_BROWSER_NEW || !rdata || !known) return;
  AvahiStringList* txt = nullptr;
  if (avahi_string_list_parse(rdata, size, &txt) < 0) return;
  std::vector<std::string> records;
  for (AvahiStringList* s = txt; s; s = avahi_string_list_get_next(s))
    records.emplace_back(reinterpret_cast<const char*>(avahi_string_list_get_text(s)),
                         avahi_string_list_get_size(s));
  avahi_string_list_free(txt);
  if (records.size() > kMaxLanRecords) records.resize(kMaxLanRecords);
  LanGame game = *known;
  if (readLanRecords(records, game) && l->owner->games_.put(game, l->sighting)) l->owner->touch();
}

void LanBrowser::onResolve(AvahiServiceResolver*, AvahiIfIndex interface, AvahiProtocol protocol,
                           AvahiResolverEvent event, const char* name, const char*, const char*,
                           const char* hostName, const AvahiAddress* address, std::uint16_t port,
                           AvahiStringList* txt, AvahiLookupResultFlags, void* self) {
  auto* me = static_cast<LanBrowser*>(self);
  // A failed resolve (the service went quiet) waits for the browser's removal.
  if (event != AVAHI_RESOLVER_FOUND || !address || !name) return;
  LanGame game;
  game.service = cleanLanText(name, 63);
  game.hostName = cleanLanText(hostName ? hostName : "", 255);
  game.port = port;
  char text[AVAHI_ADDRESS_STR_MAX] = {};
  avahi_address_snprint(text, sizeof text, address);
  game.address = text;
  // A link-local IPv6 address is reached only through its interface.
  if (address->proto == AVAHI_PROTO_INET6 && game.address.rfind("fe80:", 0) == 0) {
    char ifname[IF_NAMESIZE] = {};
    if (if_indextoname(unsigned(interface), ifname)) game.address += std::string("%") + ifname;
  }
  std::vector<std::string> records;
  for (AvahiStringList* s = txt; s && records.size() < kMaxLanRecords; s = avahi_string_list_get_next(s))
    records.emplace_back(reinterpret_cast<const char*>(avahi_string_list_get_text(s)),
                         avahi_string_list_get_size(s));
  if (game.port == 0 || !readLanRecords(records, game)) return;
  if (me->games_.put(game, sightingOf(interface, protocol))) me->touch();
}

}  // namespace tw
