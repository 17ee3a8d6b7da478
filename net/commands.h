// Every command of the game protocol, with its body fields in order.
// A message is the name, '+', the fields joined by '+', and the byte 0xFF.
#pragma once

#include <string_view>

namespace tw::cmd {

// Client to host, in the host's order of comparison.
inline constexpr std::string_view logininfo = "CMD_logininfo";  // seat, version, name (rest)
inline constexpr std::string_view kickhim = "CMD_kickhim";      // kicker seat, target seat, +
inline constexpr std::string_view chat = "CMD_chat";            // seat, text|colour (rest)
inline constexpr std::string_view action = "CMD_action";        // seat, text|colour (rest)
inline constexpr std::string_view startgame =
    "CMD_startgame";  // name, play-to, seconds, viewable t/f, mode 1-3, four-player 0/1, +
inline constexpr std::string_view justwatch = "CMD_justwatch";  // seat, mode 1 watch / 2 play (rest)
inline constexpr std::string_view iflip = "CMD_iflip";          // seat, x, y, +
inline constexpr std::string_view idone = "CMD_idone";          // seat, then one cell per letter
inline constexpr std::string_view useboardletter = "CMD_useboardletter";  // seat, x, y, wordpos, +
inline constexpr std::string_view usebarletter = "CMD_usebarletter";      // seat, slot, wordpos, +
inline constexpr std::string_view hepass = "CMD_hepass";                  // seat, +
inline constexpr std::string_view clickclear = "CMD_clickclear";          // seat, then pairs wordpos, cell
inline constexpr std::string_view clickbuy = "CMD_clickbuy";              // seat, +
inline constexpr std::string_view playasound = "CMD_playasound";          // seat, "wave1".."wave20", +
// Both ways, unknown to older copies, which ignore it: the host gives each
// login a key; a copy coming back shows it just before its login, which
// proves it is the player who left.
inline constexpr std::string_view rejoinkey = "CMD_rejoinkey";  // seat, key

// Host to client (names shared with the list above are not repeated).
inline constexpr std::string_view sendlogininfo = "CMD_sendlogininfo";            // seat
inline constexpr std::string_view newplayerinfo = "CMD_newplayerinfo";            // seat, name
inline constexpr std::string_view havewrongversion = "CMD_havewrongversion";      // name
inline constexpr std::string_view wrongversion = "CMD_wrongversion";              // empty
inline constexpr std::string_view existingplayers = "CMD_existingplayers";        // seat, name
inline constexpr std::string_view playerdisconnected = "CMD_playerdisconnected";  // seat, name
inline constexpr std::string_view nextplayer = "CMD_nextplayer";                  // seat, +
inline constexpr std::string_view winner = "CMD_winner";                          // name, +
inline constexpr std::string_view full = "CMD_full";                              // empty
inline constexpr std::string_view justwatching = "CMD_justwatching";              // seat, mode
inline constexpr std::string_view theboard = "CMD_theboard";                      // groups x, y, code
inline constexpr std::string_view mytiles = "CMD_mytiles";                        // seat, groups slot, code
inline constexpr std::string_view heflip = "CMD_heflip";    // seat, x, y, last t/f, flips left, +
inline constexpr std::string_view invalid = "CMD_invalid";  // seat, +
inline constexpr std::string_view hisword = "CMD_hisword";  // seat, word, total, word score, codes...
inline constexpr std::string_view timeup = "CMD_timeup";    // seat, +
inline constexpr std::string_view heuseboardletter = "CMD_heuseboardletter";  // seat, x, y, wordpos, code, +
inline constexpr std::string_view heusebarletter = "CMD_heusebarletter";      // seat, wordpos, code, +
inline constexpr std::string_view hepasses = "CMD_hepasses";                  // seat, +
inline constexpr std::string_view heclickclear = "CMD_heclickclear";          // seat, pairs wordpos, cell
inline constexpr std::string_view tie = "CMD_tie";                            // empty
inline constexpr std::string_view buytiles = "CMD_buytiles";                  // seat, new score, "20", +
inline constexpr std::string_view notenough = "CMD_notenough";                // seat, +
inline constexpr std::string_view stats =
    "CMD_stats";  // seat, play-to, seconds, on turn, left, mode word, four-player, 6 x (seat, score)
inline constexpr std::string_view isflipped = "CMD_isflipped";    // seat, groups x, y
inline constexpr std::string_view theirtiles = "CMD_theirtiles";  // seat, 7 x (slot, code)
inline constexpr std::string_view sneak = "CMD_sneak";            // seat, +
inline constexpr std::string_view sneaker = "CMD_sneaker";        // seat or 0, +
// Said just before the host closes a connection on purpose, so that the window
// can tell its player why; a peer that does not know them ignores them.
inline constexpr std::string_view kicked = "CMD_kicked";        // +  (removed by seat 1)
inline constexpr std::string_view hostended = "CMD_hostended";  // +  (the host stops)
// A game directory checks that it reaches this very host: it sends the nonce it
// gave the host's registration before any login, and the host echoes it and
// closes. No player's client sends or is sent either.
inline constexpr std::string_view dirprobe = "CMD_dirprobe";    // nonce (rest)
inline constexpr std::string_view dirprobed = "CMD_dirprobed";  // nonce (rest)

}  // namespace tw::cmd

// The build gives the version, from the project's one version number.
#ifndef TW_VERSION
#error "TW_VERSION comes from the build (tw_net's compile definitions)"
#endif

namespace tw {
// The version every peer compares at login.
inline constexpr std::string_view kVersion = TW_VERSION;
inline constexpr int kGamePort = 7772;
}  // namespace tw
