// The per-address limits and bans.
#include "host/address_gate.h"

#if defined(_WIN32)
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif

#include <algorithm>
#include <array>
#include <cstdio>

namespace tw {

std::string addressGroup(std::string_view address) {
  std::string text(address.substr(0, address.find('%')));  // a link-local address's interface
  std::array<unsigned char, 16> bytes{};
  if (text.find(':') == std::string::npos || inet_pton(AF_INET6, text.c_str(), bytes.data()) != 1)
    return std::string(address);
  static constexpr unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
  char out[48];
  if (std::equal(bytes.begin(), bytes.begin() + 12, kMapped)) {
    std::snprintf(out, sizeof out, "%u.%u.%u.%u", bytes[12], bytes[13], bytes[14], bytes[15]);
    return out;
  }
  std::snprintf(out, sizeof out, "%x:%x:%x:%x::/64", bytes[0] << 8 | bytes[1], bytes[2] << 8 | bytes[3],
                bytes[4] << 8 | bytes[5], bytes[6] << 8 | bytes[7]);
  return out;
}

AddressGate::Decision AddressGate::admit(std::string_view address, const std::vector<Open>& open) {
  // Only an address that still holds a connection can be at a limit; the
  // others' reports are done with.
  std::vector<std::string> groups;
  for (const Open& o : open) groups.push_back(addressGroup(o.address));
  std::erase_if(refused_, [&](const std::string& a) { return std::find(groups.begin(), groups.end(), a) == groups.end(); });
  if (banned(address)) return {Verdict::Banned, false};
  const std::string group = addressGroup(address);
  int waiting = 0;
  int all = 0;
  for (std::size_t i = 0; i < open.size(); ++i) {
    const Open& o = open[i];
    if (groups[i] != group) continue;
    ++all;
    if (!o.loggedIn) ++waiting;
  }
  Verdict verdict = Verdict::Admit;
  if (limits_.maxPendingPerAddress > 0 && waiting >= limits_.maxPendingPerAddress)
    verdict = Verdict::TooManyWaiting;
  else if (limits_.maxPlayersPerAddress > 0 && all >= limits_.maxPlayersPerAddress)
    verdict = Verdict::TooManyPlayers;
  const auto seen = std::find(refused_.begin(), refused_.end(), group);
  if (verdict == Verdict::Admit) {
    if (seen != refused_.end()) refused_.erase(seen);
    return {verdict, false};
  }
  if (seen != refused_.end()) return {verdict, false};
  refused_.push_back(group);
  return {verdict, true};
}

bool AddressGate::ban(const std::string& address, const std::string& name) {
  if (limits_.kickBanMinutes <= 0 || address.empty()) return false;
  lift(address);
  // One step more, as the first step may be nearly over.
  bans_.push_back(Ban{address, name, std::int64_t(limits_.kickBanMinutes) * 60000 + kTickMs, addressGroup(address)});
  if (!timer_.running()) timer_.start(kTickMs);
  return true;
}

bool AddressGate::lift(std::string_view address) {
  const std::string group = addressGroup(address);
  const bool lifted = std::erase_if(bans_, [&](const Ban& b) { return b.group == group; }) > 0;
  if (bans_.empty()) timer_.stop();
  return lifted;
}

bool AddressGate::banned(std::string_view address) const {
  const std::string group = addressGroup(address);
  return std::any_of(bans_.begin(), bans_.end(), [&](const Ban& b) { return b.group == group; });
}

bool AddressGate::bannedName(std::string_view name) const {
  return !name.empty() && std::any_of(bans_.begin(), bans_.end(), [&](const Ban& b) { return b.name == name; });
}

bool AddressGate::tick() {
  for (Ban& b : bans_) b.msLeft -= kTickMs;
  const bool ended = std::erase_if(bans_, [](const Ban& b) { return b.msLeft <= 0; }) > 0;
  if (bans_.empty()) timer_.stop();
  return ended;
}

}  // namespace tw
