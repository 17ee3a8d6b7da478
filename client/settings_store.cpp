// The settings file as a whole: load it, change some keys, save it.
#include "client/settings_store.h"

namespace tw {

Settings SettingsStore::load(const Settings& current) const {
  return readSettings(IniFile::load(path_), kSettingsSection, current);
}

bool SettingsStore::save(const Settings& settings, std::string* why) const {
  IniFile file = IniFile::load(path_);
  writeSettings(file, kSettingsSection, settings);
  return file.save(path_, why);
}

bool SettingsStore::savePhrases(const Phrases& phrases, std::string* why) const {
  IniFile file = IniFile::load(path_);
  writePhrases(file, kSettingsSection, phrases);
  return file.save(path_, why);
}

JoinChoices SettingsStore::loadJoin() const { return readJoin(IniFile::load(path_), kSettingsSection); }

bool SettingsStore::saveJoin(const JoinChoices& choices, std::string* why) const {
  IniFile file = IniFile::load(path_);
  writeJoin(file, kSettingsSection, choices);
  return file.save(path_, why);
}

DirectoryPlace SettingsStore::loadDirectory(std::string_view defaultAddress) const {
  return readDirectory(IniFile::load(path_), kSettingsSection, defaultAddress);
}

bool SettingsStore::saveDirectory(const DirectoryPlace& place, std::string_view defaultAddress,
                                  std::string* why) const {
  IniFile file = IniFile::load(path_);
  writeDirectory(file, kSettingsSection, place, defaultAddress);
  return file.save(path_, why);
}

LobbyPlaces SettingsStore::loadLobby(std::string_view defaultAddress, std::string_view defaultProgram) const {
  return readLobby(IniFile::load(path_), kSettingsSection, defaultAddress, defaultProgram);
}

}  // namespace tw
