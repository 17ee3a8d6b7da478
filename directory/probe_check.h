// The directory's side of a reachability check on a game port: what it sends,
// and whether what came back proves that the registered host itself answers.
#pragma once

#include <string>
#include <string_view>

#include "net/framing.h"

namespace tw::dir {

class ProbeCheck {
 public:
  enum class Result { Waiting, Reached, Failed };
  explicit ProbeCheck(std::string nonce) : nonce_(std::move(nonce)) {}

  // The bytes to send once connected.
  std::string request() const;
  // Takes bytes from the game port; Failed says why in why().
  Result feed(std::string_view bytes);
  const std::string& why() const { return why_; }

  // More than this from a game port before the answer is not a host of ours.
  static constexpr std::size_t kMaxBytes = 4096;

 private:
  Result fail(std::string why);

  std::string nonce_;
  MessageSplitter splitter_;
  std::size_t seen_ = 0;
  Result result_ = Result::Waiting;
  std::string why_;
};

}  // namespace tw::dir
