// How each computer level plays and the points a turn it scores on
// average, as tools/tune_levels.py found them with tilewhirl-strength;
// generated, do not edit. CI reruns a short harness and fails when a level
// plays more than a few points away from its figure, so labels follow play.
#pragma once

#include <array>

#include "computer_engine.h"

namespace tw {

// forgetPercent, listPercent, buyBelow, listSize, choices.
inline constexpr LevelSkills kTunedSkills = {
    // Beginner
    LevelSkill{0, 100, 0, 0, 1},
    // Casual
    LevelSkill{62, 35, 8, 10, 4},
    // Club
    LevelSkill{82, 14, 2, 35, 6},
    // Strong
    LevelSkill{82, 14, 2, 70, 6},
    // Expert
    LevelSkill{82, 14, 2, 0, 6},
};

// Beginner, Casual, Club, Strong, Expert.
inline constexpr std::array<int, 5> kLevelPointsATurn = {11, 13, 17, 22, 25};

}  // namespace tw
