// The computer's levels as every part names them: the host plays them, the
// window's menu and help list them, tilewhirl-host takes them by name.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

// Weakest first, numbered as the main window and its settings number them.
enum class ComputerLevel { Beginner = 0, Casual = 1, Club = 2, Strong = 3, Expert = 4 };
inline constexpr int kComputerLevelCount = 5;

// The points a turn each level scores on average, Beginner to Expert, as
// tools/tune_levels.py measured them with tilewhirl-strength (it rewrites
// this line). CI fails when a level plays more than a few points away from
// its figure, so labels follow play.
inline constexpr std::array<int, kComputerLevelCount> kLevelPointsATurn = {11, 13, 17, 22, 25};

// "Beginner", "Casual", "Club", "Strong", "Expert".
constexpr std::string_view levelName(ComputerLevel level) {
  constexpr std::array<std::string_view, kComputerLevelCount> kNames = {"Beginner", "Casual", "Club", "Strong",
                                                                        "Expert"};
  const int n = int(level);
  return n >= 0 && n < kComputerLevelCount ? kNames[std::size_t(n)] : kNames[0];
}

// "Club: about 17 points a turn".
inline std::string levelLabel(ComputerLevel level) {
  const int n = int(level) >= 0 && int(level) < kComputerLevelCount ? int(level) : 0;
  return std::string(levelName(level)) + ": about " + std::to_string(kLevelPointsATurn[std::size_t(n)]) +
         " points a turn";
}

// Any case of a level's name.
inline std::optional<ComputerLevel> parseComputerLevel(std::string_view text) {
  for (int n = 0; n < kComputerLevelCount; ++n) {
    const std::string_view name = levelName(ComputerLevel(n));
    if (name.size() != text.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size(); ++i) same = same && (text[i] | 0x20) == (name[i] | 0x20);
    if (same) return ComputerLevel(n);
  }
  return std::nullopt;
}

}  // namespace tw
