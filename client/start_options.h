// What the command line asks of the game window: the lobby's three
// parameters (name, host, "true" to host) and the program's own options.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct StartArgs {
  enum class Action { Run, Help, Version, Error };
  Action action = Action::Run;
  std::string error;                // Action::Error: what is wrong, for the user
  std::vector<std::string> params;  // the lobby's parameters, at most three
  int port = 0;                     // filled with the game port unless --port says otherwise
  bool newInstance = false;

  // No parameters: a solo game hosted on this copy.
  bool solo() const { return params.empty(); }
  // Only all three parameters make a connection; fewer show the loading line.
  bool complete() const { return params.size() >= 3; }
  bool hosting() const { return solo() || (complete() && params[2] == "true"); }
};

// `args` without the program's name. Only "--port N" (or "--port=N"),
// "--new-instance", "--help" and "--version" are options, and only before a
// "--"; anything else, "-Bob" too, is a parameter, and parameters after the
// third are ignored.
StartArgs parseStartArgs(const std::vector<std::string>& args);

// The --help text, with the places where this copy keeps its settings and
// its tally of games.
std::string startHelp(std::string_view settingsPath, std::string_view tallyPath);

}  // namespace tw
