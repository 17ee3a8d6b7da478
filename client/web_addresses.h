// The maker's web addresses: the page the logo and the about window open, and
// where the lobby program's installer is downloaded from. A build configures
// them (TW_HOME_PAGE, TW_LOBBY_ADDRESS); without them the game offers neither.
#pragma once

#include <string_view>

#ifndef TW_HOME_PAGE
#define TW_HOME_PAGE ""
#endif
#ifndef TW_LOBBY_ADDRESS
#define TW_LOBBY_ADDRESS ""
#endif

namespace tw {

inline constexpr std::string_view kMakerWebPage = TW_HOME_PAGE;
inline constexpr std::string_view kLobbyAddress = TW_LOBBY_ADDRESS;
// The installer's name when the address does not end in one.
inline constexpr std::string_view kLobbyInstallerPath = "/lobby/vxlsetup.exe";

}  // namespace tw
