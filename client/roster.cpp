// The roster's seats and spectators.
#include "client/roster.h"

#include <algorithm>

namespace tw {

namespace {
const std::string kNoName;
constexpr std::string_view kYou = "You";
}  // namespace

std::string possessive(std::string_view name) {
  return name == kYou ? std::string("Your") : std::string(name) + "'s";
}

std::string sentence(std::string_view name, std::string_view verb, std::string_view youVerb) {
  return std::string(name) + " " + std::string(name == kYou ? youVerb : verb);
}

Roster::Roster() {
  for (int s = 1; s <= seatCount; ++s) names_[std::size_t(s)] = kWaiting;
}

std::string_view Roster::computerName(int seat) {
  static constexpr std::string_view names[] = {"", "", "Klot", "Klick", "Kling", "Klick", "Krazy"};
  return playingSeat(seat) ? names[seat] : std::string_view{};
}

const std::string& Roster::name(int seat) const {
  return playingSeat(seat) ? names_[std::size_t(seat)] : kNoName;
}

void Roster::setName(int seat, std::string name, bool visible) {
  if (!playingSeat(seat)) return;
  names_[std::size_t(seat)] = std::move(name);
  visible_[std::size_t(seat)] = visible;
}

void Roster::setWatching(int seat, bool watching) {
  if (playingSeat(seat)) watching_[std::size_t(seat)] = watching;
}

std::string Roster::spyEntry(const Spy& spy) { return std::to_string(spy.seat) + ": " + spy.name; }

void Roster::addSpy(int seat, std::string_view name) { spies_.push_back({seat, std::string(name)}); }

bool Roster::removeSpy(int seat, std::string_view name) {
  const auto it = std::find(spies_.begin(), spies_.end(), Spy{seat, std::string(name)});
  if (it == spies_.end()) return false;
  spies_.erase(it);
  return true;
}

std::vector<std::string> Roster::opponents(int ownSeat) const {
  std::vector<std::string> names;
  for (int s = 1; s <= seatCount; ++s)
    if (s != ownSeat && !empty(s)) names.push_back(name(s));
  return names;
}

}  // namespace tw
