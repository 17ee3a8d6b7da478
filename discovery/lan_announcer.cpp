// The announcement: one entry group holding one _tilewhirl._tcp service.
// TXT changes go out as an update of the group; a new title or a name
// conflict registers it afresh.
#include "discovery/lan_announcer.h"

#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>

#include "discovery/lan_games.h"

namespace tw {

namespace {

AvahiStringList* txtOf(const GameListing& listing) {
  AvahiStringList* list = nullptr;
  const auto records = lanRecords(listing);
  for (auto it = records.rbegin(); it != records.rend(); ++it) list = avahi_string_list_add(list, it->c_str());
  return list;
}

// A DNS-SD instance name is one label of at most 63 bytes.
QString serviceNameFor(const std::string& title) {
  QString name = QString::fromStdString(cleanLanText(title, 63));
  return name.isEmpty() ? QStringLiteral("Tilewhirl") : name;
}

}  // namespace

LanAnnouncer::LanAnnouncer(LogFn log, QObject* parent)
    : QObject(parent), log_(log ? std::move(log) : LogFn(logLine)) {
  connect(&client_, &LanClient::started, this, [this] { announce(); });
  connect(&client_, &LanClient::lost, this, [this] {
    if (group_) log_("local network: announcement paused: " + client_.problem().toStdString());
    drop();
  });
}

LanAnnouncer::~LanAnnouncer() { drop(); }

void LanAnnouncer::publish(const GameListing& listing) {
  if (!listing_ && !client_.running())
    log_("local network: not announced yet: " + client_.problem().toStdString());
  listing_ = listing;
  announce();
}

void LanAnnouncer::withdraw() {
  listing_.reset();
  if (group_) log_("local network: announcement withdrawn");
  drop();
}

void LanAnnouncer::drop() {
  if (group_) avahi_entry_group_free(group_);
  group_ = nullptr;
  announcedTitle_.clear();
  if (established_) {
    established_ = false;
    emit announcedChanged(false);
  }
}

void LanAnnouncer::announce() {
  AvahiClient* client = client_.running();
  if (!client || !listing_) return;
  if (group_ && announcedTitle_ == listing_->title) {
    AvahiStringList* txt = txtOf(*listing_);
    const QByteArray name = name_.toUtf8();
    const int error = avahi_entry_group_update_service_txt_strlst(group_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                                                  AvahiPublishFlags(0), name.constData(),
                                                                  kLanServiceType, nullptr, txt);
    avahi_string_list_free(txt);
    if (error >= 0) return;
    log_(std::string("local network: cannot update the announcement: ") + avahi_strerror(error));
  }
  drop();
  group_ = avahi_entry_group_new(client, reinterpret_cast<AvahiEntryGroupCallback>(&LanAnnouncer::onGroup), this);
  if (!group_) {
    log_(std::string("local network: cannot announce: ") + avahi_strerror(avahi_client_errno(client)));
    return;
  }
  // After the daemon returns, the name won before is asked for again.
  if (name_.isEmpty() || nameTitle_ != listing_->title) name_ = serviceNameFor(listing_->title);
  announcedTitle_ = nameTitle_ = listing_->title;
  for (int tries = 0; tries < 20 && !addService(); ++tries) {
  }
}

// Adds the service under name_ and commits; false when the name is taken
// locally and the next one should be tried.
bool LanAnnouncer::addService() {
  AvahiStringList* txt = txtOf(*listing_);
  const QByteArray name = name_.toUtf8();
  int error = avahi_entry_group_add_service_strlst(group_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0),
                                                   name.constData(), kLanServiceType, nullptr, nullptr,
                                                   listing_->port, txt);
  avahi_string_list_free(txt);
  if (error == AVAHI_ERR_COLLISION) {
    char* next = avahi_alternative_service_name(name.constData());
    name_ = QString::fromUtf8(next);
    avahi_free(next);
    avahi_entry_group_reset(group_);
    return false;
  }
  if (error >= 0) error = avahi_entry_group_commit(group_);
  if (error < 0) log_(std::string("local network: cannot announce: ") + avahi_strerror(error));
  return true;
}

void LanAnnouncer::onGroup(AvahiEntryGroup* group, int state, void* self) {
  auto* me = static_cast<LanAnnouncer*>(self);
  if (me->group_ != group && me->group_) return;
  switch (AvahiEntryGroupState(state)) {
    case AVAHI_ENTRY_GROUP_ESTABLISHED:
      me->log_("local network: announced as \"" + me->name_.toStdString() + "\" on port " +
               std::to_string(me->listing_ ? me->listing_->port : 0));
      if (!me->established_) {
        me->established_ = true;
        emit me->announcedChanged(true);
      }
      break;
    case AVAHI_ENTRY_GROUP_COLLISION: {
      // Someone else on the network has the name: take the next, as Avahi expects.
      char* next = avahi_alternative_service_name(me->name_.toUtf8().constData());
      me->log_("local network: the name \"" + me->name_.toStdString() + "\" is taken; trying \"" + next + "\"");
      me->name_ = QString::fromUtf8(next);
      avahi_free(next);
      avahi_entry_group_reset(group);
      for (int tries = 0; tries < 20 && !me->addService(); ++tries) {
      }
      break;
    }
    case AVAHI_ENTRY_GROUP_FAILURE:
      me->log_(std::string("local network: announcement failed: ") +
               avahi_strerror(avahi_client_errno(avahi_entry_group_get_client(group))));
      break;
    case AVAHI_ENTRY_GROUP_UNCOMMITED:
    case AVAHI_ENTRY_GROUP_REGISTERING:
      break;
  }
}

}  // namespace tw
