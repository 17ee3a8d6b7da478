// Pacing what one peer can make the host do for everyone: its chat, actions
// and sounds are relayed to all nine connections, so each connection gets a
// small allowance that fills again with time; and refused connections, which
// a peer can make by the thousand, are logged as one line and then a count.
#include "host/server.h"
#include "net/commands.h"

namespace tw {

namespace {
bool relayed(std::string_view command) {
  return command == cmd::chat || command == cmd::action || command == cmd::playasound;
}
}  // namespace

bool TServer::mayHandle(int slot, std::string_view line) {
  if (!relayed(splitCommand(line).name)) return true;
  Connection& connection = *slots_.at(slot);
  if (connection.chatTokens == 0) {
    if (!connection.chatHeld)
      log_("seat " + std::to_string(slot) + ": more than " + std::to_string(chatLimits_.burst) +
           " chat lines at once; the next wait their turn, one every " + std::to_string(kChatRefillMs) +
           " ms");
    connection.chatHeld = true;
    return false;
  }
  --connection.chatTokens;
  if (!ratetimer_.running()) ratetimer_.start(kChatRefillMs);
  return true;
}

void TServer::logRefusal(const std::string& line) {
  if (refusalQuietMs_ > 0) {
    ++refusalsUntold_;
    return;
  }
  log_(line);
  refusalQuietMs_ = kRefusalQuietMs;
  if (!ratetimer_.running()) ratetimer_.start(kChatRefillMs);
}

void TServer::ratetimerTimer() {
  Settle settle(*this);
  bool waiting = false;
  for (int slot = 1; slot <= kSlots; ++slot) {
    Connection* connection = slots_.at(slot);
    if (!connection) continue;
    if (connection->chatTokens < chatLimits_.burst) ++connection->chatTokens;
    if (connection->chatTokens >= chatLimits_.burst) connection->chatHeld = false;
    waiting = waiting || connection->chatTokens < chatLimits_.burst;
  }
  if (refusalQuietMs_ > 0) {
    refusalQuietMs_ = std::max(0, refusalQuietMs_ - kChatRefillMs);
    if (refusalQuietMs_ == 0 && refusalsUntold_ > 0) {
      log_(std::to_string(refusalsUntold_) + " more connection(s) refused in the last " +
           std::to_string(kRefusalQuietMs / 1000) + " s");
      refusalsUntold_ = 0;
      // The count starts a quiet time of its own, so that a steady stream of
      // refusals is one line each time.
      refusalQuietMs_ = kRefusalQuietMs;
    }
    waiting = waiting || refusalQuietMs_ > 0;
  }
  if (queued_ > 0 && !socktimer_.running()) socktimer_.start(0);
  if (!waiting) ratetimer_.stop();
}

}  // namespace tw
