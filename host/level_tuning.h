// How each computer level plays, as tools/tune_levels.py found it with
// tilewhirl-strength; generated, do not edit. The points a turn each level
// scored go to rules/computer_levels.h.
#pragma once

#include <array>

#include "host/computer_engine.h"

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

}  // namespace tw
