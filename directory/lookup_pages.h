// What the directory's HTTP look-ups answer: the public list as JSON and as a
// small HTML page, and one invite code's game. Host texts are Latin-1 bytes,
// already cleaned of control bytes; here they become escaped UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "directory/storage.h"

namespace tw::dir {

std::string gamesJson(const std::vector<Listing>& games, std::int64_t nowMs);
std::string inviteJson(const Listing& game);
std::string homePage(const std::vector<Listing>& games, std::int64_t nowMs, int registrationPort);
// A JSON object with one "error" member.
std::string errorJson(const std::string& why);

}  // namespace tw::dir
