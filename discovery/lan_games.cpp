// The TXT records of a game on the local network, and the bounded list of
// games found. Everything a neighbour sends is checked here.
#include "discovery/lan_games.h"

#include <charconv>

#include "rules/game_rules.h"

namespace tw {

namespace {

constexpr int kWatchSlots = rules::kSlotCount - rules::kSeatCount;

// "N/M" with 0 <= N <= most and M == most.
std::optional<int> readCount(std::string_view text, int most) {
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos || slash == 0 || slash > 2) return std::nullopt;
  int n = -1;
  int m = -1;
  const char* const end = text.data() + text.size();
  const auto a = std::from_chars(text.data(), text.data() + slash, n);
  const auto b = std::from_chars(text.data() + slash + 1, end, m);
  if (a.ptr != text.data() + slash || a.ec != std::errc() || b.ptr != end || b.ec != std::errc()) return std::nullopt;
  if (n < 0 || n > most || m != most) return std::nullopt;
  return n;
}

}  // namespace

std::vector<std::string> lanRecords(const GameListing& listing) {
  return {"v=1", "name=" + cleanLanText(listing.title, kMaxLanTitle),
          "seats=" + std::to_string(listing.seatsTaken) + "/" + std::to_string(rules::kSeatCount),
          "watch=" + std::to_string(listing.watchers) + "/" + std::to_string(kWatchSlots),
          std::string("state=") + (listing.playing ? "playing" : "open")};
}

bool LanGame::full() const { return seatsTaken >= rules::kSeatCount; }

std::string cleanLanText(std::string_view text, std::size_t maxBytes) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) {  // not UTF-8: dropped
      ++i;
      continue;
    }
    bool whole = true;
    for (std::size_t k = 1; k < length; ++k)
      whole = whole && (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    // C0 controls, DEL, and the C1 controls (U+0080..U+009F).
    const bool control = c < 0x20 || c == 0x7F || (length == 2 && c == 0xC2 && (unsigned char)text[i + 1] < 0xA0);
    if (whole && !control) {
      if (out.size() + length > maxBytes) break;
      out.append(text.substr(i, length));
    }
    i += whole ? length : 1;
  }
  return out;
}

bool readLanRecords(const std::vector<std::string>& records, LanGame& game) {
  std::optional<std::string> version, title;
  std::optional<int> seats, watch;
  std::optional<bool> playing;
  for (std::size_t i = 0; i < records.size() && i < kMaxLanRecords; ++i) {
    const std::string_view record = records[i];
    const std::size_t eq = record.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = record.substr(0, eq);
    const std::string_view value = record.substr(eq + 1);
    // The first of a repeated key counts, as DNS-SD has it.
    if (key == "v" && !version)
      version = std::string(value.substr(0, 8));
    else if (key == "name" && !title)
      title = cleanLanText(value, kMaxLanTitle);
    else if (key == "seats" && !seats)
      seats = readCount(value, rules::kSeatCount).value_or(-1);
    else if (key == "watch" && !watch)
      watch = readCount(value, kWatchSlots).value_or(-1);
    else if (key == "state" && !playing && (value == "open" || value == "playing"))
      playing = value == "playing";
  }
  if (version != "1" || !seats || *seats < 0 || !watch || *watch < 0 || !playing) return false;
  game.title = title && !title->empty() ? *title : game.service;
  game.seatsTaken = *seats;
  game.watchers = *watch;
  game.playing = *playing;
  return true;
}

bool LanGames::put(const LanGame& game, int sighting) {
  auto it = games_.find(game.service);
  if (it == games_.end()) {
    if (games_.size() >= kMaxLanGames) return false;
    games_.emplace(game.service, Entry{game, {sighting}, sighting});
    return true;
  }
  Entry& entry = it->second;
  entry.sightings.insert(sighting);
  LanGame next = game;
  // The machine is reached at the address it was first found at while that
  // sighting lasts, so the list does not flicker between its addresses.
  if (sighting != entry.addressSighting && entry.sightings.count(entry.addressSighting)) {
    next.address = entry.game.address;
    next.hostName = entry.game.hostName;
  } else {
    entry.addressSighting = sighting;
  }
  if (entry.game == next) return false;
  entry.game = std::move(next);
  return true;
}

bool LanGames::remove(const std::string& service, int sighting) {
  auto it = games_.find(service);
  if (it == games_.end()) return false;
  it->second.sightings.erase(sighting);
  if (!it->second.sightings.empty()) return false;
  games_.erase(it);
  return true;
}

bool LanGames::clear() {
  const bool had = !games_.empty();
  games_.clear();
  return had;
}

const LanGame* LanGames::find(const std::string& service) const {
  auto it = games_.find(service);
  return it == games_.end() ? nullptr : &it->second.game;
}

std::vector<LanGame> LanGames::games() const {
  std::vector<LanGame> out;
  out.reserve(games_.size());
  for (const auto& [service, entry] : games_) out.push_back(entry.game);
  return out;
}

}  // namespace tw
