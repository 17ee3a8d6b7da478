// The directory's registry of host connections and its look-ups.
#include "directory/registry.h"

#include <utility>
#include <vector>

namespace tw::dir {

Registry::Registry(Storage& storage, RegistryOutput& out, Limits limits, Random random)
    : storage_(storage), out_(out), limits_(limits), random_(std::move(random)) {}

bool Registry::opened(int connection, const std::string& address, std::int64_t nowMs) {
  if (links_.size() >= limits_.maxConnections) {
    out_.send(connection, errorLine("the directory is full; try again later"));
    out_.close(connection);
    return false;
  }
  int& count = perAddress_[address];
  if (count >= limits_.gamesPerAddress) {
    if (count == 0) perAddress_.erase(address);
    out_.send(connection, errorLine("at most " + std::to_string(limits_.gamesPerAddress) +
                                    " games from one address"));
    out_.close(connection);
    return false;
  }
  ++count;
  Link& link = links_[connection];
  link.address = address;
  link.heardMs = nowMs;
  return true;
}

void Registry::received(int connection, std::string_view bytes, std::int64_t nowMs) {
  auto it = links_.find(connection);
  if (it == links_.end()) return;
  // Before a registration, a line at a time: a JOIN line hands the rest of
  // the stream, game bytes, to the relay.
  while (!it->second.registered && !bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    if (end == std::string_view::npos) break;
    std::string first;
    const auto fed = it->second.reader.feed(bytes.substr(0, end + 1), [&](std::string_view l) { first = l; });
    bytes.remove_prefix(end + 1);
    if (fed == LineReader::Fed::TooLong) return refuse(connection, "line longer than " + std::to_string(kMaxLine) + " bytes");
    const HostLine parsed = parseHostLine(first);
    if (const auto* join = std::get_if<Join>(&parsed)) {
      forget(connection);
      return out_.joined(connection, join->token, bytes);
    }
    line(connection, it->second, first, nowMs);
    it = links_.find(connection);
    if (it == links_.end()) return;
  }
  // Lines are taken first and handled after: a handler may forget the link.
  std::vector<std::string> lines;
  const auto fed = it->second.reader.feed(bytes, [&](std::string_view l) { lines.emplace_back(l); });
  for (const auto& text : lines) {
    auto link = links_.find(connection);
    if (link == links_.end()) return;
    line(connection, link->second, text, nowMs);
  }
  if (fed == LineReader::Fed::TooLong && links_.count(connection))
    refuse(connection, "line longer than " + std::to_string(kMaxLine) + " bytes");
}

void Registry::line(int connection, Link& link, std::string_view text, std::int64_t nowMs) {
  link.heardMs = nowMs;
  const HostLine parsed = parseHostLine(text);
  if (const auto* bad = std::get_if<BadLine>(&parsed)) return refuse(connection, bad->why);
  if (const auto* r = std::get_if<Register>(&parsed)) {
    if (link.registered) return refuse(connection, "already registered");
    return enrol(connection, link, *r, nowMs);
  }
  if (!link.registered) return refuse(connection, "REGISTER first");
  if (std::holds_alternative<Join>(parsed)) return refuse(connection, "JOIN opens a connection of its own");
  if (std::holds_alternative<TakeRelay>(parsed)) {
    if (!link.offered) return refuse(connection, "RELAY without an offer");
    link.offered = false;
    return startRelay(connection, link, nowMs);
  }
  if (const auto* s = std::get_if<State>(&parsed)) link.game.state = s->state;
  if (const auto* r = std::get_if<Recheck>(&parsed)) {
    if (link.probing)
      link.recheckPort = r->port;
    else
      check(connection, link, r->port);
  }
  if (std::holds_alternative<Ping>(parsed)) out_.send(connection, pongLine());
  storage_.putGame(link.game, nowMs);
}

void Registry::enrol(int connection, Link& link, const Register& r, std::int64_t nowMs) {
  std::string code;
  std::string secret = r.secret;
  if (!r.code.empty() && storage_.claimCode(r.code, r.secret, nowMs)) {
    code = r.code;
    // The same host again, its old connection not yet silent: the new one takes over.
    for (auto it = links_.begin(); it != links_.end(); ++it) {
      if (it->first != connection && it->second.registered && it->second.game.code == code) {
        const int old = it->first;
        out_.send(old, errorLine("registered again on another connection"));
        forget(old);
        out_.close(old);
        break;
      }
    }
  } else {
    secret = randomHex(kSecretLength);
    code = newCode(secret, nowMs);
    if (code.empty()) return refuse(connection, "no invite code is free; try again later");
  }
  link.registered = true;
  link.secret = secret;
  link.game = Listing{code, r.title, link.address, r.port, r.isPublic, false, {}, r.version, nowMs};
  storage_.putGame(link.game, nowMs);
  out_.send(connection, codeLine({code, secret}));
  check(connection, link, r.port);
}

void Registry::check(int connection, Link& link, int port) {
  // A relayed game stays listed at its relay until the check finds the way in.
  if (!link.relayPort) link.game.port = port;
  link.checkPort = port;
  link.nonce = randomHex(16);
  link.probing = true;
  out_.probe(connection, link.address, port, link.nonce);
}

void Registry::probed(int connection, bool reached, const std::string& why, std::int64_t nowMs) {
  auto it = links_.find(connection);
  if (it == links_.end() || !it->second.registered) return;
  Link& link = it->second;
  link.probing = false;
  if (link.relayPort && reached) {
    // Reached at last (the router opened the port): its players come straight
    // in, and the relay's port goes back for a game that needs it.
    stopRelay(connection, link);
    link.game.address = link.address;
    link.game.port = link.checkPort;
  }
  if (link.relayPort) {
    out_.send(connection, reachLine({false, "", link.relayPort}));
  } else {
    link.game.reachable = reached;
    storage_.putGame(link.game, nowMs);
    out_.send(connection, reachLine({reached, reached ? "" : why}));
  }
  if (const int port = std::exchange(link.recheckPort, 0)) check(connection, link, port);
  else if (!reached && !link.relayPort && limits_.lastRelayPort > 0) {
    link.offered = true;
    out_.send(connection, relayOfferLine());
  }
}

void Registry::startRelay(int connection, Link& link, std::int64_t nowMs) {
  const auto refused = [&](const std::string& why) {
    out_.send(connection, reachLine({false, "the directory's relay is refused: " + why}));
  };
  if (int(relayPorts_.size()) >= limits_.relayGames)
    return refused("it relays " + std::to_string(limits_.relayGames) + " games already; try again later");
  // From where the last search stopped, so that a port just freed is not the next one given.
  const int first = limits_.firstRelayPort, count = limits_.lastRelayPort - first + 1;
  for (int i = 0; i < count; ++i) {
    const int port = first + (nextRelayPort_ + i) % count;
    if (relayPorts_.count(port)) continue;
    const auto address = out_.relay(connection, port);
    if (!address) continue;
    nextRelayPort_ = (port - first + 1) % count;
    relayPorts_.insert(port);
    link.relayPort = port;
    link.game.address = *address;
    link.game.port = port;
    link.game.reachable = true;
    storage_.putGame(link.game, nowMs);
    return out_.send(connection, reachLine({false, "", port}));
  }
  refused("no relay port is free");
}

void Registry::stopRelay(int connection, Link& link) {
  relayPorts_.erase(std::exchange(link.relayPort, 0));
  out_.unrelay(connection);
}

void Registry::closed(int connection) { forget(connection); }

void Registry::tick(std::int64_t nowMs) {
  std::vector<int> silent;
  for (const auto& [id, link] : links_)
    if (nowMs - link.heardMs >= limits_.silenceMs) silent.push_back(id);
  for (int id : silent) refuse(id, "silent for " + std::to_string(limits_.silenceMs / 1000) + " s");
}

void Registry::refuse(int connection, const std::string& why) {
  out_.send(connection, errorLine(why));
  forget(connection);
  out_.close(connection);
}

void Registry::forget(int connection) {
  auto it = links_.find(connection);
  if (it == links_.end()) return;
  if (it->second.registered) storage_.removeGame(it->second.game.code);
  if (it->second.relayPort) stopRelay(connection, it->second);
  auto count = perAddress_.find(it->second.address);
  if (count != perAddress_.end() && --count->second <= 0) perAddress_.erase(count);
  links_.erase(it);
}

std::string Registry::randomHex(std::size_t length) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  while (out.size() < length) {
    std::uint64_t word = random_();
    for (int i = 0; i < 16 && out.size() < length; ++i, word >>= 4) out += kHex[word & 15];
  }
  return out;
}

std::string Registry::newCode(const std::string& secret, std::int64_t nowMs) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::string code;
    for (std::size_t i = 0; i < kCodeLength; ++i) code += kCodeAlphabet[random_() % kCodeAlphabet.size()];
    if (storage_.claimCode(code, secret, nowMs)) return code;
  }
  return {};
}

bool Lookups::allow(const std::string& address, std::int64_t nowMs) {
  std::lock_guard lock(mutex_);
  if (windows_.size() >= limits_.maxLookupAddresses)
    std::erase_if(windows_, [&](const auto& w) { return nowMs - w.second.startMs >= 60000; });
  auto it = windows_.find(address);
  if (it == windows_.end()) {
    if (windows_.size() >= limits_.maxLookupAddresses) return false;
    it = windows_.emplace(address, Window{nowMs, 0}).first;
  }
  Window& w = it->second;
  if (nowMs - w.startMs >= 60000) w = Window{nowMs, 0};
  if (w.count >= limits_.lookupsPerMinute) return false;
  ++w.count;
  return true;
}

Lookups::Invite Lookups::invite(const std::string& address, std::string_view typed, std::int64_t nowMs) {
  if (!allow(address, nowMs)) return TooMany{};
  const auto code = readCode(typed);
  if (!code) return NotFound{};
  auto game = storage_.game(*code, nowMs);
  if (!game) return NotFound{};
  return *game;
}

std::vector<Listing> Lookups::publicGames(std::int64_t nowMs) {
  auto games = storage_.games(nowMs);
  std::erase_if(games, [](const Listing& g) { return !g.isPublic || !g.reachable; });
  return games;
}

}  // namespace tw::dir
