// Sending to the connections in their slots, and who sits where.
#include "host/slots.h"

#include <utility>

namespace tw {

const std::string& Slots::name(int slot) const {
  static const std::string none;
  const Connection* connection = at(slot);
  return connection ? connection->name : none;
}

Connection& Slots::open(int slot, Connection connection) {
  open_[slot] = std::move(connection);
  return *open_[slot];
}

void Slots::sendTo(int slot, const std::string& message) {
  Connection* connection = at(slot);
  if (!connection || connection->lagging) return;
  transport_.send(slot, message);
  if (transport_.unsent(slot) > kMaxUnsentBytes) connection->lagging = true;
}

void Slots::broadcast(const std::string& message) {
  for (int s = 1; s <= slotCount_; ++s) sendTo(s, message);
}

void Slots::sendToAllBut(int slot, const std::string& message) {
  for (int s = 1; s <= slotCount_; ++s)
    if (s != slot) sendTo(s, message);
}

}  // namespace tw
