// Settings keys, their defaults and the colour text of the settings file.
#include "client/settings.h"

#include <filesystem>
#include <fstream>

namespace tw {

namespace {

struct NamedColour {
  std::string_view name;
  Colour value;
};
constexpr NamedColour kColourNames[] = {
    {"clBlack", 0x000000},  {"clMaroon", 0x000080},  {"clGreen", 0x008000}, {"clOlive", 0x008080},
    {"clNavy", 0x800000},   {"clPurple", 0x800080},  {"clTeal", 0x808000},  {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0}, {"clRed", 0x0000FF},     {"clLime", 0x00FF00},  {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},   {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},  {"clWhite", 0xFFFFFF},
};

bool sameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool checkedUnless(const IniFile& f, std::string_view s, std::string_view key, std::string_view off) {
  auto v = f.value(s, key);
  return !v || *v != off;
}

std::string phraseKey(std::size_t index) { return "Phrase" + std::to_string(index + 1); }

}  // namespace

std::string colourToText(Colour colour) {
  for (const auto& c : kColourNames)
    if (c.value == colour) return std::string(c.name);
  static const char digits[] = "0123456789ABCDEF";
  std::string out = "$";
  for (int shift = 28; shift >= 0; shift -= 4) out += digits[(colour >> shift) & 0xF];
  return out;
}

std::optional<Colour> textToColour(std::string_view text) {
  for (const auto& c : kColourNames)
    if (sameText(c.name, text)) return c.value;
  if (text.empty() || text.front() == ' ' || text.back() == ' ') return std::nullopt;
  const auto n = parseInteger(text);
  if (!n || *n < 0 || *n > 0xFFFFFF) return std::nullopt;
  return Colour(*n);
}

Settings readSettings(const IniFile& f, std::string_view s, const Settings& current) {
  Settings out = current;
  out.textSize = f.readInteger(s, "Textsize", 8);
  out.geometry.top = f.readInteger(s, "Top", 3);
  out.geometry.left = f.readInteger(s, "Left", 3);
  out.geometry.width = f.readInteger(s, "Width", 720);
  out.geometry.height = f.readInteger(s, "Height", 535);
  out.textColour = textToColour(f.readString(s, "Textcolor", "clblack")).value_or(kBlack);
  if (auto n = parseInteger(f.readString(s, "Playtoscore", "250"))) out.playToScore = *n;
  if (auto n = parseInteger(f.readString(s, "Timeperturn", "60"))) out.timePerTurn = *n;
  out.viewable = f.readString(s, "Viewable", "0") != "0";
  out.fourPlayer = f.readString(s, "4Player", "0") != "0";
  const rules::GameMode* mode = rules::modeByNumber(f.readString(s, "Gamemode", "1"));
  out.gameMode = mode ? mode->number : rules::kBlind;
  const std::string speed = f.readString(s, "Botspeed", "");
  out.botSpeed = rules::kBotNormalMs;
  for (const int ms : {rules::kBotSlowMs, rules::kBotFastMs})
    if (speed == std::to_string(ms)) out.botSpeed = ms;
  out.openBoard = f.readString(s, "Openboard", "false") == "true";
  std::string level = f.readString(s, "Computerlevel", "beginner");
  for (char& c : level) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  out.computerLevel = 0;
  for (std::size_t n = 0; n < kLevelKeys.size(); ++n)
    if (level == kLevelKeys[n]) out.computerLevel = int(n);
  for (std::size_t i = 0; i < out.phrases.size(); ++i) out.phrases[i] = f.readString(s, phraseKey(i), "");
  out.playSounds = checkedUnless(f, s, "Playsounds", "false");
  out.clearWord = f.readString(s, "Clearword", "false") == "true";
  out.seeTheirs = checkedUnless(f, s, "Seetheirs", "false");
  out.turnSound = f.readString(s, "Turnsound", "0") == "1" ? 1 : 0;
  out.chatterSounds = checkedUnless(f, s, "ChatterSounds", "false");
  return out;
}

void writeSettings(IniFile& f, std::string_view s, const Settings& v) {
  const auto flag = [](bool b) { return b ? "true" : "false"; };
  f.writeString(s, "Textsize", std::to_string(v.textSize));
  f.writeString(s, "Top", std::to_string(v.geometry.top));
  f.writeString(s, "Left", std::to_string(v.geometry.left));
  f.writeString(s, "Width", std::to_string(v.geometry.width));
  f.writeString(s, "Height", std::to_string(v.geometry.height));
  f.writeString(s, "Textcolor", colourToText(v.textColour));
  f.writeString(s, "Playtoscore", std::to_string(v.playToScore));
  f.writeString(s, "Timeperturn", std::to_string(v.timePerTurn));
  f.writeString(s, "Viewable", v.viewable ? "1" : "0");
  f.writeString(s, "4Player", v.fourPlayer ? "1" : "0");
  f.writeString(s, "Gamemode", std::to_string(v.gameMode));
  f.writeString(s, "Botspeed", std::to_string(v.botSpeed));
  f.writeString(s, "Openboard", flag(v.openBoard));
  f.writeString(s, "Computerlevel",
                kLevelKeys[std::size_t(v.computerLevel >= 0 && v.computerLevel < kComputerLevels ? v.computerLevel : 0)]);
  f.writeString(s, "Playsounds", flag(v.playSounds));
  f.writeString(s, "Clearword", flag(v.clearWord));
  f.writeString(s, "Seetheirs", flag(v.seeTheirs));
  f.writeString(s, "Turnsound", v.turnSound == 1 ? "1" : "0");
  f.writeString(s, "ChatterSounds", flag(v.chatterSounds));
}

void writePhrases(IniFile& f, std::string_view s, const Phrases& phrases) {
  for (std::size_t i = 0; i < phrases.size(); ++i) f.writeString(s, phraseKey(i), phrases[i]);
}

JoinChoices readJoin(const IniFile& f, std::string_view s) {
  JoinChoices out;
  out.name = f.readString(s, "Joinname", "");
  out.host = f.readString(s, "Joinhost", "");
  const int port = f.readInteger(s, "Joinport", kGamePort);
  out.port = port >= 1 && port <= 65535 ? port : kGamePort;
  out.hosting = f.readString(s, "Joinhosting", "false") == "true";
  out.announce = f.readString(s, "Joinannounce", "true") != "false";
  const std::string listing = f.readString(s, "Joinlisting", "network");
  out.listing = listing == "public"   ? JoinChoices::kListedPublicly
                : listing == "invite" ? JoinChoices::kByInvite
                                      : JoinChoices::kThisNetwork;
  return out;
}

void writeJoin(IniFile& f, std::string_view s, const JoinChoices& c) {
  f.writeString(s, "Joinname", c.name);
  f.writeString(s, "Joinhost", c.host);
  f.writeString(s, "Joinport", std::to_string(c.port));
  f.writeString(s, "Joinhosting", c.hosting ? "true" : "false");
  // Written once it differs from the default, so older files stay as they were.
  if (!c.announce || !f.readString(s, "Joinannounce", "").empty())
    f.writeString(s, "Joinannounce", c.announce ? "true" : "false");
  if (c.listing != JoinChoices::kThisNetwork || !f.readString(s, "Joinlisting", "").empty())
    f.writeString(s, "Joinlisting", c.listing == JoinChoices::kListedPublicly ? "public"
                                    : c.listing == JoinChoices::kByInvite     ? "invite"
                                                                              : "network");
}

std::string DirectoryPlace::host() const {
  if (!address.empty() && address.front() == '[') return address.substr(1, address.find(']') - 1);
  // One colon: HOST:PORT; more: a bare IPv6 address.
  const std::size_t colon = address.find(':');
  if (colon != std::string::npos && address.find(':', colon + 1) == std::string::npos)
    return address.substr(0, colon);
  return address;
}

DirectoryPlace readDirectory(const IniFile& f, std::string_view s, std::string_view defaultAddress) {
  DirectoryPlace out;
  out.address = f.readString(s, "Directoryaddress", defaultAddress);
  const int port = f.readInteger(s, "Directoryport", kDirectoryLookupPort);
  out.lookupPort = port >= 1 && port <= 65535 ? port : kDirectoryLookupPort;
  return out;
}

void writeDirectory(IniFile& f, std::string_view s, const DirectoryPlace& p, std::string_view defaultAddress) {
  if (p.address != defaultAddress || !f.readString(s, "Directoryaddress", "").empty())
    f.writeString(s, "Directoryaddress", p.address);
  if (p.lookupPort != kDirectoryLookupPort || !f.readString(s, "Directoryport", "").empty())
    f.writeString(s, "Directoryport", std::to_string(p.lookupPort));
}

LobbyPlaces readLobby(const IniFile& f, std::string_view s, std::string_view defaultAddress,
                      std::string_view defaultProgram) {
  return {f.readString(s, "Lobbyaddress", defaultAddress), f.readString(s, "Lobbyprogram", defaultProgram)};
}

std::string settingsPath(const std::string& exeDir, const std::string& fallbackDir) {
  return dataFilePath(exeDir, fallbackDir, kSettingsFile);
}

std::string dataFilePath(const std::string& exeDir, const std::string& fallbackDir,
                         std::string_view fileName) {
  namespace fs = std::filesystem;
  const fs::path beside = fs::path(exeDir) / std::string(fileName);
  std::error_code ec;
  // The file is replaced by renaming a new one over it, so the folder itself
  // must take new files; an existing file must also be open to update.
  const fs::path probePath = fs::path(exeDir) / ".tilewhirl-write-probe";
  bool writable = false;
  {
    std::ofstream probe(probePath, std::ios::binary);
    writable = bool(probe);
  }
  fs::remove(probePath, ec);
  if (writable && fs::exists(beside, ec)) {
    // Opening for update neither creates nor truncates.
    std::fstream probe(beside, std::ios::in | std::ios::out | std::ios::binary);
    writable = bool(probe);
  }
  if (writable) return beside.string();
  fs::create_directories(fallbackDir, ec);
  return (fs::path(fallbackDir) / std::string(fileName)).string();
}

}  // namespace tw
