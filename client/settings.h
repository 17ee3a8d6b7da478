// The user's preferences: their built-in values, the colour text they are
// stored as, and how they are read from and written to the settings file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "client/ini_file.h"
#include "net/commands.h"
#include "rules/game_rules.h"

namespace tw {

// A colour as 0x00BBGGRR.
using Colour = std::uint32_t;
inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kRed = 0x0000FF;
inline constexpr Colour kBlue = 0xFF0000;
inline constexpr Colour kNavy = 0x800000;
// The system's window text colour, resolved by the window.
inline constexpr Colour kWindowText = 0x80000008;

// One of the 16 standard colour names, else "$" and eight hex digits.
std::string colourToText(Colour colour);
// Accepts the standard names (any case) and integers (decimal or "$" hex) of
// 0x00BBGGRR values; anything else gives nullopt.
std::optional<Colour> textToColour(std::string_view text);

inline constexpr std::string_view kSettingsFile = "veltrixlobby.ini";
inline constexpr std::string_view kSettingsSection = "Tilewhirl";

struct Geometry {
  int left = 3;
  int top = 3;
  int width = 720;
  int height = 535;
  friend bool operator==(const Geometry&, const Geometry&) = default;
};

// The computer's levels, weakest first, as the file "Computerlevel" names them.
inline constexpr std::array<std::string_view, 5> kLevelKeys = {"beginner", "casual", "club", "strong", "expert"};
inline constexpr int kComputerLevels = int(kLevelKeys.size());

inline constexpr int kPhraseCount = 9;
// One per phrase button; empty keeps the button's built-in phrase.
using Phrases = std::array<std::string, kPhraseCount>;

struct Settings {
  int textSize = 8;
  Geometry geometry;
  Colour textColour = kBlack;
  int playToScore = 250;
  int timePerTurn = 60;
  bool viewable = false;
  bool fourPlayer = false;
  int gameMode = rules::kBlind;
  int botSpeed = rules::kBotNormalMs;
  // The hosting copy tells every seat every letter, as before the fair board.
  bool openBoard = false;
  int computerLevel = 0;  // 0 Beginner, 1 Casual, 2 Club, 3 Strong, 4 Expert
  Phrases phrases{};
  bool playSounds = true;
  bool clearWord = false;
  bool seeTheirs = true;
  int turnSound = 0;  // 0 Classic, 1 New
  bool chatterSounds = true;
};

// Reads every key of `section`, each falling back as the file format says.
// `current` supplies the values a key that is not a number leaves unchanged.
Settings readSettings(const IniFile& file, std::string_view section, const Settings& current = {});
// Writes every key but the phrases, in the file's order of keys.
void writeSettings(IniFile& file, std::string_view section, const Settings& settings);

// The host-or-join window's last choices.
struct JoinChoices {
  std::string name;
  std::string host;
  int port = kGamePort;
  bool hosting = false;
  bool announce = true;  // a game hosted here is announced on the local network
  // Who else finds a game hosted here through the game directory.
  enum Listing { kThisNetwork, kByInvite, kListedPublicly };
  Listing listing = kThisNetwork;
};

// Where the lobby program's installer and the installed program are.
struct LobbyPlaces {
  std::string address;
  std::string program;
};

// The game directory Play with Others looks games up at. An empty address:
// none, and the window offers neither invite codes nor the public list.
inline constexpr int kDirectoryLookupPort = 7791;
struct DirectoryPlace {
  std::string address;  // HOST or HOST:PORT of its registrations, as a host's --directory takes it
  int lookupPort = kDirectoryLookupPort;  // its HTTP look-ups
  // The host part of the address.
  std::string host() const;
};

void writePhrases(IniFile& file, std::string_view section, const Phrases& phrases);
// A port outside 1..65535 reads as the game's port.
JoinChoices readJoin(const IniFile& file, std::string_view section);
void writeJoin(IniFile& file, std::string_view section, const JoinChoices& choices);
DirectoryPlace readDirectory(const IniFile& file, std::string_view section, std::string_view defaultAddress);
// Writes a key only once it differs from its default or is in the file already.
void writeDirectory(IniFile& file, std::string_view section, const DirectoryPlace& place,
                    std::string_view defaultAddress);
LobbyPlaces readLobby(const IniFile& file, std::string_view section, std::string_view defaultAddress,
                      std::string_view defaultProgram);

// Where a file of the player's lies: beside the executable when that folder
// (or the file) can be written, else in `fallbackDir` (created when missing).
std::string dataFilePath(const std::string& exeDir, const std::string& fallbackDir,
                         std::string_view fileName);
// The settings file's place, as dataFilePath gives it.
std::string settingsPath(const std::string& exeDir, const std::string& fallbackDir);

}  // namespace tw
