// SettingsStore: the one owner of the settings file. The session, the
// phrases window, the host-or-join window and the download window read and
// change the file only through it. Each save reads the file afresh and
// changes only its own keys, so what another part wrote (or the user added
// by hand) stays as it is.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "client/settings.h"

namespace tw {

class SettingsStore {
 public:
  explicit SettingsStore(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }

  // The preferences; `current` supplies what a key that is not a number
  // leaves unchanged.
  Settings load(const Settings& current = {}) const;
  // Every preference but the phrases. False with the reason in `why` when
  // the file could not be written.
  bool save(const Settings& settings, std::string* why = nullptr) const;
  bool savePhrases(const Phrases& phrases, std::string* why = nullptr) const;

  JoinChoices loadJoin() const;
  bool saveJoin(const JoinChoices& choices, std::string* why = nullptr) const;

  // The game directory; `defaultAddress` is the build's.
  DirectoryPlace loadDirectory(std::string_view defaultAddress) const;
  bool saveDirectory(const DirectoryPlace& place, std::string_view defaultAddress, std::string* why = nullptr) const;

  // Where the lobby program comes from; the defaults fill missing keys.
  LobbyPlaces loadLobby(std::string_view defaultAddress, std::string_view defaultProgram) const;

 private:
  std::string path_;
};

}  // namespace tw
