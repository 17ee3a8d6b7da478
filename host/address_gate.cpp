// The per-address limits and bans.
#include "address_gate.h"

#include <algorithm>

namespace tw {

AddressGate::Decision AddressGate::admit(std::string_view address, const std::vector<Open>& open) {
  // Only an address that still holds a connection can be at a limit; the
  // others' reports are done with.
  std::erase_if(refused_, [&](const std::string& a) {
    return std::none_of(open.begin(), open.end(), [&](const Open& o) { return o.address == a; });
  });
  if (banned(address)) return {Verdict::Banned, false};
  int waiting = 0;
  int all = 0;
  for (const Open& o : open) {
    if (o.address != address) continue;
    ++all;
    if (!o.loggedIn) ++waiting;
  }
  Verdict verdict = Verdict::Admit;
  if (limits_.maxPendingPerAddress > 0 && waiting >= limits_.maxPendingPerAddress)
    verdict = Verdict::TooManyWaiting;
  else if (limits_.maxPlayersPerAddress > 0 && all >= limits_.maxPlayersPerAddress)
    verdict = Verdict::TooManyPlayers;
  const auto seen = std::find(refused_.begin(), refused_.end(), address);
  if (verdict == Verdict::Admit) {
    if (seen != refused_.end()) refused_.erase(seen);
    return {verdict, false};
  }
  if (seen != refused_.end()) return {verdict, false};
  refused_.emplace_back(address);
  return {verdict, true};
}

bool AddressGate::ban(const std::string& address, const std::string& name) {
  if (limits_.kickBanMinutes <= 0 || address.empty()) return false;
  lift(address);
  // One step more, as the first step may be nearly over.
  bans_.push_back(Ban{address, name, std::int64_t(limits_.kickBanMinutes) * 60000 + kTickMs});
  if (!timer_.running()) timer_.start(kTickMs);
  return true;
}

bool AddressGate::lift(std::string_view address) {
  const bool lifted = std::erase_if(bans_, [&](const Ban& b) { return b.address == address; }) > 0;
  if (bans_.empty()) timer_.stop();
  return lifted;
}

bool AddressGate::banned(std::string_view address) const {
  return std::any_of(bans_.begin(), bans_.end(), [&](const Ban& b) { return b.address == address; });
}

bool AddressGate::tick() {
  for (Ban& b : bans_) b.msLeft -= kTickMs;
  const bool ended = std::erase_if(bans_, [](const Ban& b) { return b.msLeft <= 0; }) > 0;
  if (bans_.empty()) timer_.stop();
  return ended;
}

}  // namespace tw
