// The table of held seats.
#include "host/held_seats.h"

namespace tw {

namespace {
bool inRange(int seat) { return seat >= 1 && seat <= HeldSeats::kSeats; }
const std::string kNoName;
}  // namespace

void HeldSeats::hold(int seat, std::string name, std::string address, std::string key) {
  if (!inRange(seat)) return;
  entries_[std::size_t(seat)] = Entry{true, std::move(name), std::move(address), std::move(key)};
}

void HeldSeats::release(int seat) {
  if (inRange(seat)) entries_[std::size_t(seat)] = Entry{};
}

void HeldSeats::clear() { entries_.fill(Entry{}); }

bool HeldSeats::held(int seat) const { return inRange(seat) && entries_[std::size_t(seat)].held; }

const std::string& HeldSeats::name(int seat) const {
  return held(seat) ? entries_[std::size_t(seat)].name : kNoName;
}

int HeldSeats::find(std::string_view name, std::string_view address) const {
  for (int seat = 1; seat <= kSeats; ++seat) {
    const Entry& e = entries_[std::size_t(seat)];
    if (e.held && e.name == name && e.address == address) return seat;
  }
  return 0;
}

int HeldSeats::findKey(std::string_view key) const {
  for (int seat = 1; seat <= kSeats && !key.empty(); ++seat) {
    const Entry& e = entries_[std::size_t(seat)];
    if (e.held && e.key == key) return seat;
  }
  return 0;
}

}  // namespace tw
