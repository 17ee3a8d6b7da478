// The host's registration with a game directory.
#include "discovery/directory_link.h"

#include <algorithm>
#include <vector>

#include "net/commands.h"

namespace tw {

dir::GameState directoryState(const GameListing& listing) {
  int level = 0;
  if (!listing.computerLevel.empty()) {
    std::string name = listing.computerLevel;
    for (char& c : name) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    level = name == "expert" ? 3 : name == "club" ? 2 : 1;
  }
  return {std::clamp(listing.seatsTaken, 0, 6), std::clamp(listing.watchers, 0, 3), listing.playing, level};
}

DirectoryLink::DirectoryLink(DirectoryLinkOutput& out, Timer& pingTimer, Timer& retryTimer, int gamePort,
                             bool isPublic, std::string title)
    : out_(out),
      pingTimer_(pingTimer),
      retryTimer_(retryTimer),
      gamePort_(gamePort),
      isPublic_(isPublic),
      title_(dir::cleanText(title, dir::kMaxTitle)) {}

void DirectoryLink::start() {
  if (running_) return;
  running_ = true;
  connecting_ = true;
  out_.open();
}

void DirectoryLink::stop() {
  running_ = false;
  connecting_ = false;
  open_ = false;
  online_ = false;
  pingTimer_.stop();
  retryTimer_.stop();
  out_.close();
}

void DirectoryLink::connected() {
  if (!running_) return;
  connecting_ = false;
  open_ = true;
  reader_ = dir::LineReader{};
  unanswered_ = 0;
  sent_.reset();
  out_.send(dir::registerLine({dir::kProtocol, mappedPort_ ? mappedPort_ : gamePort_, isPublic_, std::string(kVersion), code_, secret_, title_}));
  pingTimer_.start(dir::kPingMs);
}

void DirectoryLink::received(std::string_view bytes) {
  if (!running_ || !open_) return;
  std::vector<std::string> lines;
  if (reader_.feed(bytes, [&](std::string_view l) { lines.emplace_back(l); }) == dir::LineReader::Fed::TooLong)
    return retryLater("the directory sent a line too long");
  for (const auto& l : lines) {
    if (!open_) return;
    line(l);
  }
}

void DirectoryLink::line(std::string_view text) {
  unanswered_ = 0;
  const dir::DirectoryLine parsed = dir::parseDirectoryLine(text);
  if (const auto* c = std::get_if<dir::Code>(&parsed)) {
    const bool changed = c->code != code_;
    code_ = c->code;
    secret_ = c->secret;
    online_ = true;
    retryMs_ = kFirstRetryMs;
    if (changed) out_.codeGiven(dir::showCode(code_));
    if (state_) publish(*state_);
  } else if (const auto* r = std::get_if<dir::Reach>(&parsed)) {
    using Way = Reachability::Way;
    Reachability how{Way::Unreachable, "", "", gamePort_, 0};
    if (r->relayPort > 0) {
      how.way = Way::Relayed;
      how.relay = ":" + std::to_string(r->relayPort);
    } else if (!r->direct) {
      how.why = r->why;
    } else if (mappedPort_) {
      how.way = Way::PortMapped;
      how.mappedPort = mappedPort_;
    } else {
      how.way = Way::Direct;
    }
    out_.reachability(how);
  } else if (std::holds_alternative<dir::RelayOffer>(parsed)) {
    if (relayable_) out_.send(dir::takeRelayLine());
  } else if (const auto* o = std::get_if<dir::Open>(&parsed)) {
    if (relayable_) out_.openRelay(o->token);
  } else if (const auto* refusal = std::get_if<dir::Refusal>(&parsed)) {
    retryLater("the directory refused: " + refusal->why);
  } else if (const auto* bad = std::get_if<dir::BadLine>(&parsed)) {
    out_.log("directory: " + bad->why + " ignored");
  }
}

void DirectoryLink::setMappedPort(int port) {
  if (port == mappedPort_) return;
  mappedPort_ = port;
  // A directory that does not know RECHECK refuses it; registering again then checks anew.
  if (online_) out_.send(dir::recheckLine(mappedPort_ ? mappedPort_ : gamePort_));
}

void DirectoryLink::dropped(const std::string& why) {
  if (!running_ || retryTimer_.running()) return;
  open_ = false;
  retryLater(why);
}

void DirectoryLink::retryLater(const std::string& why) {
  out_.close();
  open_ = false;
  online_ = false;
  connecting_ = false;
  pingTimer_.stop();
  out_.log("directory: " + why + "; trying again in " + std::to_string(retryMs_ / 1000) + " s");
  retryTimer_.start(retryMs_);
  retryMs_ = std::min(retryMs_ * 2, kLastRetryMs);
}

void DirectoryLink::retryTimerTimer() {
  retryTimer_.stop();
  if (!running_) return;
  connecting_ = true;
  out_.open();
}

void DirectoryLink::pingTimerTimer() {
  if (!open_) return;
  if (++unanswered_ > kUnansweredPings) return retryLater("the directory stopped answering");
  out_.send(dir::pingLine());
}

void DirectoryLink::publish(const dir::GameState& state) {
  state_ = state;
  if (!online_ || sent_ == state) return;
  sent_ = state;
  out_.send(dir::stateLine(state));
}

}  // namespace tw
