// The log line of a listing.
#include "discovery/game_listing.h"

#include "rules/game_rules.h"

namespace tw {

std::string describe(const GameListing& listing) {
  std::string line = listing.title + " on port " + std::to_string(listing.port) + ": " +
                     std::to_string(listing.seatsTaken) + "/" + std::to_string(rules::kSeatCount) + " seats, " +
                     std::to_string(listing.watchers) + "/" +
                     std::to_string(rules::kSlotCount - rules::kSeatCount) + " watching, " +
                     (listing.playing ? "playing" : "open");
  if (!listing.computerLevel.empty()) line += ", computer " + listing.computerLevel;
  return line;
}

}  // namespace tw
