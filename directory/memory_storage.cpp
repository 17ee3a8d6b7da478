// The directory's games and codes in this process's memory.
#include <algorithm>

#include "directory/storage.h"

namespace tw::dir {

void MemoryStorage::prune(std::int64_t nowMs) {
  // At most once a second, so that a busy list does not walk every claim each time.
  if (nowMs - prunedMs_ < 1000) return;
  prunedMs_ = nowMs;
  std::erase_if(claims_, [&](const auto& c) { return c.second.untilMs <= nowMs; });
  std::erase_if(games_, [&](const auto& g) { return g.second.untilMs <= nowMs; });
}

bool MemoryStorage::claimCode(const std::string& code, const std::string& secret, std::int64_t nowMs) {
  std::lock_guard lock(mutex_);
  prune(nowMs);
  auto it = claims_.find(code);
  if (it != claims_.end() && it->second.untilMs > nowMs && it->second.secret != secret) return false;
  claims_[code] = Claim{secret, nowMs + kCodeKeepMs};
  return true;
}

void MemoryStorage::putGame(const Listing& game, std::int64_t nowMs) {
  std::lock_guard lock(mutex_);
  prune(nowMs);
  games_[game.code] = Kept{std::make_shared<const Listing>(game), nowMs + kSilenceMs};
  auto claim = claims_.find(game.code);
  if (claim != claims_.end()) claim->second.untilMs = nowMs + kCodeKeepMs;
}

void MemoryStorage::removeGame(const std::string& code) {
  std::lock_guard lock(mutex_);
  games_.erase(code);
}

std::optional<Listing> MemoryStorage::game(const std::string& code, std::int64_t nowMs) {
  std::lock_guard lock(mutex_);
  auto it = games_.find(code);
  if (it == games_.end() || it->second.untilMs <= nowMs) return std::nullopt;
  return *it->second.game;
}

std::vector<Listing> MemoryStorage::games(std::int64_t nowMs) {
  std::vector<std::shared_ptr<const Listing>> live;
  {
    std::lock_guard lock(mutex_);
    live.reserve(games_.size());
    for (const auto& [code, kept] : games_)
      if (kept.untilMs > nowMs) live.push_back(kept.game);
  }
  std::vector<Listing> out;
  out.reserve(live.size());
  for (const auto& game : live) out.push_back(*game);
  std::sort(out.begin(), out.end(),
            [](const Listing& a, const Listing& b) { return std::tie(a.sinceMs, a.code) < std::tie(b.sinceMs, b.code); });
  return out;
}

}  // namespace tw::dir
