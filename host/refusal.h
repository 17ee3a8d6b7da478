// A refused command is logged as "seat N: CMD_x refused: why", one form for
// every command and every part of the host, so that a reader can count
// refusals without their reasons.
#pragma once

#include <string>
#include <string_view>

#include "net/commands.h"

namespace tw {

inline constexpr std::string_view kRefusedText = " refused: ";

inline std::string refusal(int seat, std::string_view command, std::string_view reason) {
  return "seat " + std::to_string(seat) + ": " + std::string(command) + std::string(kRefusedText) +
         std::string(reason);
}

// True for the line of a refused word, whether a player's or the computer's.
inline bool refusesWord(std::string_view line) {
  return line.rfind("seat ", 0) == 0 && line.find(std::string(cmd::idone) + std::string(kRefusedText)) != line.npos;
}

}  // namespace tw
