// The maker's web addresses: the page the logo and the about window open, and
// where the lobby program's installer is downloaded from. A build configures
// them (TW_HOME_PAGE, TW_LOBBY_ADDRESS), and the game directory's
// (TW_DIRECTORY_ADDRESS); without them the game offers none of these. And
// which addresses the game opens at all.
#pragma once

#include <string_view>

#ifndef TW_HOME_PAGE
#define TW_HOME_PAGE ""
#endif
#ifndef TW_DIRECTORY_ADDRESS
#define TW_DIRECTORY_ADDRESS ""
#endif
#ifndef TW_LOBBY_ADDRESS
#define TW_LOBBY_ADDRESS ""
#endif

namespace tw {

inline constexpr std::string_view kMakerWebPage = TW_HOME_PAGE;
inline constexpr std::string_view kLobbyAddress = TW_LOBBY_ADDRESS;
// The game directory Play with Others asks (HOST or HOST:PORT of its registrations).
inline constexpr std::string_view kDirectoryAddress = TW_DIRECTORY_ADDRESS;
// The installer's name when the address does not end in one.
inline constexpr std::string_view kLobbyInstallerPath = "/lobby/vxlsetup.exe";

// The one rule for what the game hands to the browser, be it a link a peer
// sent in the chat or an address the build or the settings give: "http://"
// or "https://" (any case), a host of letters, digits, '.', '-' and '_' (or
// an IPv6 address in brackets), an optional port, and after it only what a
// web address may hold, with every '%' starting an escape. No other scheme,
// no blank, control character, quote, angle bracket or backslash.
bool isWebAddress(std::string_view address);

}  // namespace tw
