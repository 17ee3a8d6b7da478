// Checking the answer of a game port to the directory's probe.
#include "directory/probe_check.h"

#include <vector>

#include "net/commands.h"

namespace tw::dir {

std::string ProbeCheck::request() const { return MessageBuilder(cmd::dirprobe).last(nonce_).done(); }

ProbeCheck::Result ProbeCheck::fail(std::string why) {
  result_ = Result::Failed;
  why_ = std::move(why);
  return result_;
}

ProbeCheck::Result ProbeCheck::feed(std::string_view bytes) {
  if (result_ != Result::Waiting) return result_;
  seen_ += bytes.size();
  if (seen_ > kMaxBytes) return fail("the game port says too much; is it a Tilewhirl host?");
  std::vector<std::string> messages;
  splitter_.feed(bytes, messages);
  for (const auto& m : messages) {
    const Command c = splitCommand(m);
    if (c.name == cmd::dirprobed) {
      if (c.body == nonce_) return result_ = Result::Reached;
      return fail("another host answers at the game port");
    }
    if (c.name == cmd::full) return fail("the game is full, so it could not be checked");
  }
  return result_;
}

}  // namespace tw::dir
