// Where the directory keeps its games and claimed codes: in this process's
// memory, or in Redis so that several directory processes share one list.
// Every method may be called from the registration thread and the look-up
// thread at once. Times are wall-clock milliseconds, shared by all processes.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "directory/directory_protocol.h"

namespace tw::dir {

// One registered game as the look-ups show it.
struct Listing {
  std::string code;
  std::string title;
  std::string address;
  int port = 0;
  bool isPublic = false;
  bool reachable = false;
  GameState state;
  std::string version;
  std::int64_t sinceMs = 0;  // registered at
  bool operator==(const Listing&) const = default;
};

class Storage {
 public:
  // A claimed code stays with its secret this long after its game was last heard
  // of, so that a host whose connection or directory dropped gets it back.
  static constexpr std::int64_t kCodeKeepMs = 3600 * 1000;

  virtual ~Storage() = default;
  // Claims `code` for `secret`: true when it was free or is this secret's already.
  virtual bool claimCode(const std::string& code, const std::string& secret, std::int64_t nowMs) = 0;
  // Writes the whole game; it lives until kSilenceMs after `nowMs` unless written again.
  virtual void putGame(const Listing& game, std::int64_t nowMs) = 0;
  virtual void removeGame(const std::string& code) = 0;
  virtual std::optional<Listing> game(const std::string& code, std::int64_t nowMs) = 0;
  // Every live game, oldest first.
  virtual std::vector<Listing> games(std::int64_t nowMs) = 0;
};

class MemoryStorage final : public Storage {
 public:
  bool claimCode(const std::string& code, const std::string& secret, std::int64_t nowMs) override;
  void putGame(const Listing& game, std::int64_t nowMs) override;
  void removeGame(const std::string& code) override;
  std::optional<Listing> game(const std::string& code, std::int64_t nowMs) override;
  std::vector<Listing> games(std::int64_t nowMs) override;

 private:
  struct Claim {
    std::string secret;
    std::int64_t untilMs = 0;
  };
  // Shared, so that the list copies pointers under the lock and the games
  // after it: an invite look-up does not wait behind a copy of every game.
  struct Kept {
    std::shared_ptr<const Listing> game;
    std::int64_t untilMs = 0;
  };
  void prune(std::int64_t nowMs);

  std::mutex mutex_;
  std::unordered_map<std::string, Claim> claims_;
  std::unordered_map<std::string, Kept> games_;
  std::int64_t prunedMs_ = 0;
};

// Redis at `url` ("redis://host:port" or "host:port"): games as hashes with
// expiry ("tilewhirl:game:CODE"), an index by last-heard time
// ("tilewhirl:games"), codes claimed with SET NX ("tilewhirl:code:CODE").
// Gives nullptr and says why in `error` when Redis cannot be reached.
std::unique_ptr<Storage> openRedisStorage(const std::string& url, std::string& error);

}  // namespace tw::dir
