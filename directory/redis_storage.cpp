// The directory's games and codes in Redis, shared by every directory process
// that names the same server. One connection, used under a lock by both of
// this process's threads. Every call waits at most kTimeoutMs; a connection
// that breaks or times out is opened again on a later call, not before a
// growing pause, so that a dead or hung Redis costs the event loop one wait
// now and then rather than one on every call.
#include <hiredis/hiredis.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <charconv>

#include "directory/storage.h"
#include "net/log.h"

namespace tw::dir {
namespace {

const std::string kGamePrefix = "tilewhirl:game:";
const std::string kCodePrefix = "tilewhirl:code:";
const std::string kIndex = "tilewhirl:games";

struct ReplyFree {
  void operator()(redisReply* r) const {
    if (r) freeReplyObject(r);
  }
};
using Reply = std::unique_ptr<redisReply, ReplyFree>;

std::int64_t toNumber(const std::string& text) {
  std::int64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

std::int64_t steadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

class RedisStorage final : public Storage {
 public:
  // The longest a connect or a command may take.
  static constexpr int kTimeoutMs = 1000;
  // Pauses before opening a lost connection again: the first, doubling up to the last.
  static constexpr std::int64_t kFirstRetryMs = 500;
  static constexpr std::int64_t kLastRetryMs = 15000;

  RedisStorage(std::string host, int port) : host_(std::move(host)), port_(port) {}
  ~RedisStorage() override {
    if (context_) redisFree(context_);
  }

  bool connect(std::string& error) {
    if (context_) redisFree(context_);
    const timeval timeout{kTimeoutMs / 1000, kTimeoutMs % 1000 * 1000};
    context_ = redisConnectWithTimeout(host_.c_str(), port_, timeout);
    if (!context_ || context_->err) {
      error = context_ ? context_->errstr : "out of memory";
      if (context_) redisFree(context_);
      context_ = nullptr;
      return false;
    }
    redisSetTimeout(context_, timeout);
    Reply pong(static_cast<redisReply*>(redisCommand(context_, "PING")));
    if (!pong || pong->type == REDIS_REPLY_ERROR) {
      error = pong ? std::string(pong->str, pong->len) : std::string(context_->errstr);
      redisFree(context_);
      context_ = nullptr;
      return false;
    }
    return true;
  }

  bool claimCode(const std::string& code, const std::string& secret, std::int64_t) override {
    std::lock_guard lock(mutex_);
    if (!ready()) return false;
    const std::string key = kCodePrefix + code;
    Reply set = command("SET %b %b NX PX %lld", key.data(), key.size(), secret.data(), secret.size(),
                        static_cast<long long>(kCodeKeepMs));
    if (!set) return false;
    if (set->type == REDIS_REPLY_STATUS) return true;
    Reply held = command("GET %b", key.data(), key.size());
    if (!held || held->type != REDIS_REPLY_STRING || std::string(held->str, held->len) != secret) return false;
    command("PEXPIRE %b %lld", key.data(), key.size(), static_cast<long long>(kCodeKeepMs));
    return true;
  }

  void putGame(const Listing& g, std::int64_t nowMs) override {
    std::lock_guard lock(mutex_);
    if (!ready()) return;
    const std::string key = kGamePrefix + g.code;
    const std::string codeKey = kCodePrefix + g.code;
    const std::string fields[][2] = {{"title", g.title},
                                     {"address", g.address},
                                     {"port", std::to_string(g.port)},
                                     {"public", g.isPublic ? "1" : "0"},
                                     {"reachable", g.reachable ? "1" : "0"},
                                     {"seats", std::to_string(g.state.seatsTaken)},
                                     {"watchers", std::to_string(g.state.watchers)},
                                     {"playing", g.state.playing ? "1" : "0"},
                                     {"level", std::to_string(g.state.computerLevel)},
                                     {"version", g.version},
                                     {"since", std::to_string(g.sinceMs)}};
    std::vector<const char*> argv{"HSET", key.c_str()};
    std::vector<std::size_t> lengths{4, key.size()};
    for (const auto& f : fields) {
      for (const auto& part : f) {
        argv.push_back(part.data());
        lengths.push_back(part.size());
      }
    }
    redisAppendCommandArgv(context_, int(argv.size()), argv.data(), lengths.data());
    redisAppendCommand(context_, "PEXPIRE %b %d", key.data(), key.size(), kSilenceMs);
    redisAppendCommand(context_, "ZADD %b %lld %b", kIndex.data(), kIndex.size(), static_cast<long long>(nowMs),
                       g.code.data(), g.code.size());
    redisAppendCommand(context_, "PEXPIRE %b %lld", codeKey.data(), codeKey.size(),
                       static_cast<long long>(kCodeKeepMs));
    drain(4);
  }

  void removeGame(const std::string& code) override {
    std::lock_guard lock(mutex_);
    if (!ready()) return;
    const std::string key = kGamePrefix + code;
    command("DEL %b", key.data(), key.size());
    command("ZREM %b %b", kIndex.data(), kIndex.size(), code.data(), code.size());
  }

  std::optional<Listing> game(const std::string& code, std::int64_t) override {
    std::lock_guard lock(mutex_);
    if (!ready()) return std::nullopt;
    const std::string key = kGamePrefix + code;
    Reply r = command("HGETALL %b", key.data(), key.size());
    return read(code, r.get());
  }

  std::vector<Listing> games(std::int64_t nowMs) override {
    std::lock_guard lock(mutex_);
    std::vector<Listing> out;
    if (!ready()) return out;
    const long long oldest = static_cast<long long>(nowMs - kSilenceMs);
    command("ZREMRANGEBYSCORE %b -inf (%lld", kIndex.data(), kIndex.size(), oldest);
    Reply codes = command("ZRANGEBYSCORE %b %lld +inf", kIndex.data(), kIndex.size(), oldest);
    if (!codes || codes->type != REDIS_REPLY_ARRAY) return out;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < codes->elements; ++i)
      names.emplace_back(codes->element[i]->str, codes->element[i]->len);
    for (const auto& code : names) {
      const std::string key = kGamePrefix + code;
      redisAppendCommand(context_, "HGETALL %b", key.data(), key.size());
    }
    out.reserve(names.size());
    for (const auto& code : names) {
      void* raw = nullptr;
      if (redisGetReply(context_, &raw) != REDIS_OK) {
        drop();
        break;
      }
      Reply r(static_cast<redisReply*>(raw));
      if (auto g = read(code, r.get())) out.push_back(std::move(*g));
    }
    std::sort(out.begin(), out.end(),
              [](const Listing& a, const Listing& b) { return std::tie(a.sinceMs, a.code) < std::tie(b.sinceMs, b.code); });
    return out;
  }

 private:
  // A connection to use, opened again if the pause after the last loss is over.
  bool ready() {
    if (context_ && !context_->err) return true;
    if (context_) drop();
    const std::int64_t now = steadyMs();
    if (now < retryAtMs_) return false;
    std::string error;
    if (connect(error)) {
      logLine("Redis at " + where() + " answers again");
      retryMs_ = kFirstRetryMs;
      return true;
    }
    retryAtMs_ = now + retryMs_;
    logLine("Redis at " + where() + " cannot be reached (" + error + "); trying again in " +
            std::to_string(retryMs_) + " ms");
    retryMs_ = std::min(retryMs_ * 2, kLastRetryMs);
    return false;
  }
  // The connection failed in the middle of a call (broken, or no answer in time).
  void drop() {
    if (!context_) return;
    // hiredis reports a read that timed out as EAGAIN.
    const bool timedOut = context_->err == REDIS_ERR_IO && (errno == EAGAIN || errno == EWOULDBLOCK);
    logLine("Redis at " + where() + " lost: " +
            (timedOut        ? "no answer within " + std::to_string(kTimeoutMs) + " ms"
             : context_->err ? std::string(context_->errstr)
                             : std::string("no reply")) +
            "; the directory answers without it until it is back");
    redisFree(context_);
    context_ = nullptr;
    retryAtMs_ = steadyMs() + retryMs_;
  }
  std::string where() const { return host_ + ":" + std::to_string(port_); }

  template <typename... Args>
  Reply command(const char* format, Args... args) {
    if (!context_) return nullptr;
    Reply r(static_cast<redisReply*>(redisCommand(context_, format, args...)));
    if (!r) drop();
    return r;
  }

  void drain(int replies) {
    for (int i = 0; i < replies; ++i) {
      void* raw = nullptr;
      if (redisGetReply(context_, &raw) != REDIS_OK) return drop();
      freeReplyObject(raw);
    }
  }

  static std::optional<Listing> read(const std::string& code, const redisReply* r) {
    if (!r || r->type != REDIS_REPLY_ARRAY || r->elements < 2) return std::nullopt;
    Listing g;
    g.code = code;
    for (std::size_t i = 0; i + 1 < r->elements; i += 2) {
      const std::string name(r->element[i]->str, r->element[i]->len);
      const std::string value(r->element[i + 1]->str, r->element[i + 1]->len);
      if (name == "title") g.title = cleanText(value, kMaxTitle);
      else if (name == "address") g.address = cleanText(value, 64);
      else if (name == "port") g.port = int(toNumber(value));
      else if (name == "public") g.isPublic = value == "1";
      else if (name == "reachable") g.reachable = value == "1";
      else if (name == "seats") g.state.seatsTaken = int(toNumber(value));
      else if (name == "watchers") g.state.watchers = int(toNumber(value));
      else if (name == "playing") g.state.playing = value == "1";
      else if (name == "level") g.state.computerLevel = int(toNumber(value));
      else if (name == "version") g.version = cleanText(value, kMaxVersion);
      else if (name == "since") g.sinceMs = toNumber(value);
    }
    return g;
  }

  std::string host_;
  int port_;
  std::mutex mutex_;
  redisContext* context_ = nullptr;
  std::int64_t retryAtMs_ = 0;
  std::int64_t retryMs_ = kFirstRetryMs;
};

}  // namespace

std::unique_ptr<Storage> openRedisStorage(const std::string& url, std::string& error) {
  std::string rest = url;
  if (rest.rfind("redis://", 0) == 0) rest = rest.substr(8);
  if (const auto slash = rest.find('/'); slash != std::string::npos) rest = rest.substr(0, slash);
  std::string host = rest;
  int port = 6379;
  if (const auto colon = rest.rfind(':'); colon != std::string::npos) {
    host = rest.substr(0, colon);
    const std::string digits = rest.substr(colon + 1);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (ec != std::errc() || end != digits.data() + digits.size() || port < 1 || port > 65535) {
      error = "bad port in " + url;
      return nullptr;
    }
  }
  if (host.empty()) host = "127.0.0.1";
  auto storage = std::make_unique<RedisStorage>(host, port);
  if (!storage->connect(error)) return nullptr;
  return storage;
}

}  // namespace tw::dir
