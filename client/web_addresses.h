// The maker's web addresses: the page the logo and the about window open, and
// where the lobby program's installer is downloaded from.
#pragma once

#include <string_view>

namespace tw {

inline constexpr std::string_view kMakerWebPage = "https://tilewhirl.example.org/";
inline constexpr std::string_view kMakerServer = "https://tilewhirl.example.org";
inline constexpr std::string_view kLobbyInstallerPath = "/lobby/vxlsetup.exe";

}  // namespace tw
